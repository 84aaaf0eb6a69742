// The integer hash table: overwrite, negative and reserved keys, growth, and a model check
// against std::unordered_map.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>

#include "foundation/inthash.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "support/test_support.h"

namespace {

class IntHashLog : public ::testing::Test {
 protected:
  void SetUp() override { Log_Open(); }
  void TearDown() override { Log_Close(); }
  std::string Log() { return tw_test::ReadFile("log"); }
  tw_test::TempDir dir_;
};

}  // namespace

TEST_F(IntHashLog, ReservedKeysAreReportedAndStillKeptApart) {
  IntHash* t = IntHash_Create(32, 9);
  IntHash_Insert(t, INT32_MIN, 100);
  IntHash_Insert(t, INT32_MIN + 1, 200);
  IntHash_Insert(t, 3, 300);
  EXPECT_EQ(IntHash_Get(t, INT32_MIN), 100u);
  EXPECT_EQ(IntHash_Get(t, INT32_MIN + 1), 200u);
  EXPECT_EQ(IntHash_Get(t, 3), 300u);
  // Growth keeps them too.
  for (int i = 0; i < 200; i++) IntHash_Insert(t, 1000 + i, uint32_t(i));
  EXPECT_EQ(IntHash_Get(t, INT32_MIN), 100u);
  EXPECT_EQ(IntHash_Get(t, INT32_MIN + 1), 200u);
  EXPECT_EQ(t->count, 203);
  IntHash_Destroy(&t);
  IntHash_Destroy(&t);  // a null table does nothing
  EXPECT_GE(tw_test::CountOccurrences(Log(), "ERROR: IntHash: key can't be less than -2147483646\n"), 2);
}

TEST(IntHash, MatchesUnorderedMapOverRandomKeysAndKeepsCollidingKeysApart) {
  std::mt19937 rng(42);
  std::unordered_map<int32_t, uint32_t> model;
  IntHash* t = IntHash_Create(32, 0xFFFFFFFF);
  for (int i = 0; i < 100000; i++) {
    int32_t key = int32_t(rng());
    if (key < kIntHashLowestKey) continue;
    if (i % 3 == 0 && !model.empty()) key = model.begin()->first;  // overwrite an old key
    uint32_t value = rng();
    model[key] = value;
    IntHash_Insert(t, key, value);
  }
  EXPECT_EQ(size_t(t->count), model.size());
  EXPECT_LE(t->count, t->growLimit + 1);
  for (auto& [k, v] : model) ASSERT_EQ(IntHash_Get(t, k), v) << k;
  IntHash_Destroy(&t);
  // Absent keys give the default; keys that share a home slot in an 11-slot table stay apart.
  t = IntHash_Create(0, 77);
  EXPECT_EQ(IntHash_Size(t), 11);
  EXPECT_EQ(IntHash_Get(t, 6), 77u);
  const int32_t keys[] = {-1, -12, 10, -0x7FFFFFFE, 0x7FFFFFFF, 0x4000000};
  uint32_t v = 100;
  for (int32_t k : keys) IntHash_Insert(t, k, v++);
  v = 100;
  for (int32_t k : keys) EXPECT_EQ(IntHash_Get(t, k), v++) << k;
  IntHash_Destroy(&t);
}

