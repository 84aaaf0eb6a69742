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

// Sizes come from the table of 66 primes: the first strictly above the capacity asked (over the
// load of 0.4 when a table is made); a table made again forgets its keys and takes its new size.
TEST(IntHash, SizesFromThePrimeTableAndInitAgainEmptiesTheTable) {
  const int32_t primes[66] = {11, 37, 71, 127, 179, 257, 359, 491, 661, 887, 1181, 1553, 2053, 2683, 3517, 4591, 6007,
                              7817, 10193, 13291, 17291, 22481, 29251, 38053, 49499, 64373, 83701, 108863, 141511,
                              184003, 239231, 310997, 404321, 525649, 683377, 888397, 1154947, 1501447, 1951949,
                              2537501, 3298807, 4288439, 5575001, 7247533, 9421793, 12248389, 15922903, 20699753,
                              26909713, 34982639, 45477503, 59120749, 76856959, 99914123, 129888349, 168854831,
                              219511301, 285364721, 370974151, 482266423, 626946367, 815030309, 1059539417,
                              1377401287, 1790621681, 2147483647};
  const int64_t asked[] = {0, 10, 11, 80, 2147483647, int64_t(1) << 40, -5};
  const int index[] = {0, 0, 1, 3, 65, 65, 0};
  for (int i = 0; i < 7; i++) EXPECT_EQ(IntHash_PrimeIndex(asked[i]), index[i]) << asked[i];
  IntHash* t = IntHash_Create(32, 0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(IntHash_Size(t), 127);
  // The first twelve indexes allocate their primes; an index below 0 the first.
  for (int i = 0; i < 12; i++) {
    ASSERT_EQ(IntHash_Alloc(t, i), 1);
    EXPECT_EQ(IntHash_Size(t), primes[i]) << i;
  }
  ASSERT_EQ(IntHash_Alloc(t, -3), 1);
  EXPECT_EQ(IntHash_Size(t), 11);
  for (int i = 0; i < 66; i++) EXPECT_EQ(IntHash_PrimeIndex(primes[i]), i < 65 ? i + 1 : 65) << i;
  for (int i = 1; i < 66; i++) EXPECT_EQ(IntHash_PrimeIndex(primes[i] - 1), i) << i;
  for (int32_t k = 0; k < 50; k++) IntHash_Insert(t, k, uint32_t(k + 1));
  ASSERT_EQ(IntHash_Init(t, 200, 5), 1);
  EXPECT_EQ(IntHash_Size(t), 661);
  EXPECT_EQ(t->count, 0);
  for (int32_t k = 0; k < 50; k++) EXPECT_EQ(IntHash_Get(t, k), 5u) << k;
  IntHash_Destroy(&t);
  EXPECT_EQ(t, nullptr);
  IntHash_Destroy(&t);  // a null table does nothing
}
