// The real executable under the test display: a window-manager close request ends it through
// the full shutdown, with exit status 0, the log and the settings file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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
  // Ask the window to close as soon as it exists, and again every second until the game has
  // ended (a slow start under load may still be setting up when the first request comes).
  int status = 0;
  int requests = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  auto nextRequest = std::chrono::steady_clock::now();
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
    if (std::chrono::steady_clock::now() >= nextRequest && tw_test::CloseWindowByTitle("Tarnwick", 100, pid)) {
      requests++;
      nextRequest = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (done == 0) {
    // Where the game is stuck, for the test's output.
    std::string bt = "gdb -p " + std::to_string(pid) + " -batch -ex 'thread apply 1 bt 20' 2>/dev/null | grep '^#'";
    if (std::system(bt.c_str()) != 0) std::fprintf(stderr, "(no backtrace)\n");
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the game did not end after " << requests << " close requests; its log:\n"
           << tw_test::ReadFile("log");
  }
  ASSERT_GT(requests, 0) << "no window titled Tarnwick appeared";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string log = tw_test::ReadFile("log");
  EXPECT_EQ(log.rfind("3d-engine test WINNT build 927.\n", 0), 0u) << log;
  // Start-up, the empty level of the intro and shutdown report the memory.
  EXPECT_EQ(tw_test::CountOccurrences(log, "Global_MemoryStatus: "), 3) << log;
  EXPECT_TRUE(tw_test::FileExists("settings"));
}
