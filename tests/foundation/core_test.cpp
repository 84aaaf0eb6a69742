// The lowest layer: name hash, the runtime generator and random table, the tracked allocator,
// the log and the date caption.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"
#include "foundation/random.h"
#include "foundation/sys.h"
#include "support/test_support.h"

using tw_test::CountOccurrences;
using tw_test::ReadFile;

TEST(GoldenValues, NameHashGeneratorRandomTableDateCaptionAndTheReopenedLog) {
  EXPECT_EQ(Name_HashStr("abc"), 0xCADBBE3Du);
  EXPECT_EQ(Name_HashStr("ABC"), 0xCADBBE3Du);
  // Only A..Z fold: "\" and "/" stay distinct.
  EXPECT_NE(Name_HashStr("a\\b"), Name_HashStr("a/b"));
  // The runtime generator's golden sequence and the random table's wrap.
  Crt_Srand(18);
  EXPECT_EQ(Crt_Rand(), 97);
  int last = 0;
  for (int i = 1; i < 4096; i++) last = Crt_Rand();
  EXPECT_EQ(last, 3339);
  Math_RandInit();
  float first = Math_RandNext();
  EXPECT_FLOAT_EQ(first, 0.0029602954f);
  for (int i = 1; i < 4096; i++) Math_RandNext();
  EXPECT_EQ(Math_RandGetIndex(), 0);
  EXPECT_EQ(Math_RandNext(), first);
  Math_RandSetIndex(-1);
  EXPECT_EQ(Math_RandGetIndex(), 4095);
  // The date caption in both styles, and bad fields.
  SysTime t{2026, 12, 0, 6, 9, 5, 3, 0};
  char out[64];
  Sys_FormatDateTime(&t, out, 1);
  EXPECT_STREQ(out, "06-12-2026 09:05:03");
  Sys_FormatDateTime(&t, out, 0);
  EXPECT_STREQ(out, "Sun 06-12-2026 09:05:03");
  t.month = 13;
  t.dayOfWeek = 9;
  Sys_FormatDateTime(&t, out, 0);
  EXPECT_STREQ(out, "\?\?\? 06-\?\?\?-2026 09:05:03");
  // The log, reopened for each line, recreates a deleted log.
  tw_test::TempDir dir;
  DebugSwitches saved = Sys_Debug;
  Sys_Debug.openLog = 0;
  Log_Open();
  Log_Printf("first\n");
  std::remove("log");
  Log_Printf("second %d\n", 2);
  EXPECT_EQ(tw_test::ReadFile("log"), "second 2\n");
  Sys_Debug = saved;
}

// The log open in a private directory with tracking and guard bytes on; switches restored after.
class AllocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Sys_Debug;
    Sys_Debug.debugMem = 1;
    Sys_Debug.printMem = 0;
    Sys_Debug.boundsCheckSize = 8;
    Sys_Debug.boundsCheckChar = 24;
    Sys_Debug.openLog = 1;
    Global_ResetTracking();
    Log_Open();
  }
  void TearDown() override {
    Log_Close();
    Global_ResetTracking();
    Sys_Debug = saved_;
  }
  std::string Log() { return ReadFile("log"); }
  tw_test::TempDir dir_;
  DebugSwitches saved_{};
};

TEST_F(AllocatorTest, GuardBytesReportEachDamagedByteAFullTableRefusesAndUnknownPointersAreLogged) {
  // The writes land in the guard bytes that tracking puts behind each block.
  auto* a = static_cast<unsigned char*>(Global_Malloc(10, "one"));
  volatile unsigned char* pa = a;
  pa[10] = 0;
  Global_Free(a);
  auto* b = static_cast<unsigned char*>(Global_Malloc(10, "three"));
  volatile unsigned char* pb = b;
  for (int i = 10; i < 13; i++) pb[i] = 0;
  Global_Free(b);
  std::string log = Log();
  EXPECT_EQ(CountOccurrences(log, "GlobalBoundCheckError:"), 4);
  EXPECT_EQ(CountOccurrences(log, "[one]"), 1);
  EXPECT_EQ(CountOccurrences(log, "[three]"), 3);
  // A full table refuses; an unknown pointer is logged.
  std::vector<void*> blocks;
  for (int i = 0; i < kAllocRecords; i++) {
    void* p = Global_Malloc(1, "fill");
    ASSERT_NE(p, nullptr) << i;
    blocks.push_back(p);
  }
  EXPECT_EQ(Global_Malloc(1, "over"), nullptr);
  for (void* p : blocks) Global_Free(p);
  int local = 0;  // an address the allocator never handed out
  Global_Free(&local);
  Global_Free(nullptr);
  EXPECT_EQ(CountOccurrences(Log(), "GlobalError: Trying Global_Free unknown pointer"), 2);
}

TEST_F(AllocatorTest, PrintMemLogsEveryBlockAndOversizedGuardIsClamped) {
  Sys_Debug.printMem = 1;
  Sys_Debug.boundsCheckSize = -50;  // a damaged switch file must not shrink the block
  auto* p = static_cast<char*>(Global_Malloc(16, "pm"));
  std::memset(p, 1, 16);
  Global_Free(p);
  std::string log = Log();
  EXPECT_EQ(CountOccurrences(log, "GlobalMalloc: ") + CountOccurrences(log, "GlobalFree: "), 2);
  EXPECT_EQ(CountOccurrences(log, "GlobalBoundCheckError"), 0);
}

// A zero-filled block is zero; the memory report counts it and names it by at most seven
// characters of its tag.
TEST_F(AllocatorTest, ZeroFillTagsAndReport) {
  auto* p = static_cast<unsigned char*>(Global_MallocZero(100, "longtagname"));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 100; i++) ASSERT_EQ(p[i], 0);
  Global_MemoryStatus();
  std::string log = Log();
  EXPECT_NE(log.find("Global_MemoryStatus: 1 prt 100 bytes\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\tp[longtag]=[0x"), std::string::npos) << log;
  Global_Free(p);
}
