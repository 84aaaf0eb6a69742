// Start-up and shutdown order of the real WinMain, seen through the step observer, in a private
// working directory on the test display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/sys.h"
#include "support/test_support.h"

namespace {

std::vector<std::string> g_steps;
std::string g_quitAt;
int g_frames;

void Record(const char* step) {
  g_steps.push_back(step);
  if (g_quitAt == step) Sys_QuitRequested = 1;
}

std::vector<std::string> RunMain(const std::string& quitAt) {
  g_steps.clear();
  g_quitAt = quitAt;
  g_frames = 0;
  Sys_TraceHook = Record;
  char arg0[] = "/opt/my games/tarnwick", arg1[] = "-window";
  char* argv[] = {arg0, arg1, nullptr};
  EXPECT_EQ(WinMain(2, argv), 0);
  Sys_TraceHook = nullptr;
  return g_steps;
}

}  // namespace

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tw_test::HaveDisplay()) GTEST_SKIP() << "no display";
  }
  tw_test::TempDir dir_;
};

TEST_F(StartupTest, FullOrderWhenTheLoopIsLeftByQuit) {
  std::vector<std::string> want = {"Plat_WindowCreate", "Sys_InitDevices(0)", "Game_Init(0)", "Var_Rd",
                                   "Sys_InitDevices(1)", "Game_Init(1)", "MessageLoop", "Game_Shutdown",
                                   "Sys_ShutdownDevices", "Plat_WindowDestroy"};
  EXPECT_EQ(RunMain("MessageLoop"), want);
  std::string log = tw_test::ReadFile("log");
  EXPECT_EQ(log.rfind("3d-engine test WINNT build 927.\n", 0), 0u) << log;
  EXPECT_NE(log.find("CommandLine=\"/opt/my games/tarnwick\" -window\n"), std::string::npos) << log;
  EXPECT_NE(log.find("CommandParameters={-window}\n"), std::string::npos);
  // Start-up, the empty level of the intro and shutdown report the memory.
  EXPECT_EQ(tw_test::CountOccurrences(log, "Global_MemoryStatus: "), 3);
  EXPECT_TRUE(tw_test::FileExists("settings"));
}

TEST_F(StartupTest, QuitDuringStageOneSkipsTheLoopButStillShutsDownFully) {
  std::vector<std::string> want = {"Plat_WindowCreate", "Sys_InitDevices(0)", "Game_Init(0)", "Var_Rd",
                                   "Sys_InitDevices(1)", "Game_Init(1)", "Game_Shutdown", "Sys_ShutdownDevices",
                                   "Plat_WindowDestroy"};
  EXPECT_EQ(RunMain("Game_Init(1)"), want);
  EXPECT_TRUE(tw_test::FileExists("settings"));
}

TEST_F(StartupTest, QuitBeforeSettingsSkipsStageOne) {
  std::vector<std::string> want = {"Plat_WindowCreate", "Sys_InitDevices(0)", "Game_Init(0)", "Var_Rd",
                                   "Game_Shutdown", "Sys_ShutdownDevices", "Plat_WindowDestroy"};
  EXPECT_EQ(RunMain("Var_Rd"), want);
}
