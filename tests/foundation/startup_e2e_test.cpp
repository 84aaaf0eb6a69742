// The real executable under the test display: a window-manager close request ends it through
// the full shutdown, with exit status 0, the log and the settings file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/test_support.h"

TEST(StartupE2E, CloseRequestEndsTheGameCleanly) {
  if (!tw_test::HaveDisplay()) GTEST_SKIP() << "no display";
  tw_test::TempDir dir;
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::string exe = std::string(TW_BIN_DIR) + "/tarnwick";
    execl(exe.c_str(), exe.c_str(), nullptr);
    _exit(127);
  }
  // Let it run a moment of frames, then ask the window to close.
  bool sent = tw_test::CloseWindowByTitle("Tarnwick", 20000, pid);
  if (sent) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
    if (sent) tw_test::CloseWindowByTitle("Tarnwick", 100, pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the game did not end after the close request; its log:\n" << tw_test::ReadFile("log");
  }
  ASSERT_TRUE(sent) << "no window titled Tarnwick appeared";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string log = tw_test::ReadFile("log");
  EXPECT_EQ(log.rfind("3d-engine test WINNT build 927.\n", 0), 0u) << log;
  EXPECT_EQ(tw_test::CountOccurrences(log, "Global_MemoryStatus: "), 2) << log;
  EXPECT_TRUE(tw_test::FileExists("settings"));
}
