// The real executable with "render_api" "D3D8" in its settings: the Direct3D 8 back end starts on
// the game window, frames run, and a close request ends the game cleanly.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "support/test_support.h"

TEST(D3d8E2E, GameRunsOnTheDirect3D8BackEnd) {
  if (!tw_test::HaveDisplay()) GTEST_SKIP() << "no display";
  tw_test::TempDir dir;
  tw_test::WriteFile("settings", "\"render_api\" \"D3D8\"\n");
  pid_t pid = tw_test::StartGameProcess();
  ASSERT_GT(pid, 0);
  bool sent = tw_test::CloseWindowByTitle("Tarnwick", 20000, pid);
  if (sent) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
    if (sent) tw_test::CloseWindowByTitle("Tarnwick", 100, pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (done == 0) {
    tw_test::EndGameProcess(pid, &status);
    FAIL() << "the game did not end after the close request; its log:\n" << tw_test::ReadFile("log");
  }
  ASSERT_TRUE(sent) << "no window titled Tarnwick appeared";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("D3D8: OK\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("D3DERR_"), std::string::npos) << log;
  EXPECT_NE(tw_test::ReadFile("settings").find("\"render_api\" \"D3D8\""), std::string::npos);
}
