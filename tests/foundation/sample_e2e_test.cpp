// The sample game as a player starts it: the real executable in a folder built by make_sample
// shows the intro movie on the screen, and a window-manager close request ends it through the
// full shutdown.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace {

// Pixels of the intro's gold title lettering in the screen's middle band.
int TitlePixels(const tw_test::ScreenImage& img) {
  int n = 0;
  for (int y = img.height / 3; y < img.height * 2 / 3; y++)
    for (int x = 0; x < img.width; x++) {
      const uint8_t* p = &img.rgb[(size_t(y) * img.width + x) * 3];
      if (p[0] > 180 && p[1] > 140 && p[0] > p[2] + 30) n++;
    }
  return n;
}

// Starts the real executable here; `attended` runs it as a person does, with message boxes.
pid_t StartGame(bool attended) {
  return tw_test::StartGameProcess(nullptr, nullptr, attended);
}

// The most title pixels seen while the intro plays (it fades in), or -1 when the game ended itself.
int WatchIntro(pid_t pid) {
  int best = 0;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < until && best < 2000) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    tw_test::ScreenImage img = tw_test::GrabScreen();
    if (img.width) best = std::max(best, TitlePixels(img));
    int status;
    if (waitpid(pid, &status, WNOHANG) == pid) return -1;
  }
  return best;
}

// Asks the game's window to close until the game ends; its exit status, or -1 when it would not.
int CloseGame(pid_t pid) {
  int status = 0;
  pid_t done = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
    tw_test::CloseWindowByTitle("Tarnwick", 100, pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  if (done == 0) {
    tw_test::EndGameProcess(pid, &status);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(SampleGameE2E, IntroMoviePlaysOnTheScreen) {
  if (!tw_test::HaveDisplay()) GTEST_SKIP() << "no display";
  tw_test::TempDir dir;
  ASSERT_TRUE(tw_test::MakeSampleGame(dir.Path()));
  ASSERT_TRUE(tw_test::FileExists("main/data00.twk"));
  pid_t pid = StartGame(false);
  ASSERT_GE(pid, 0);
  int best = WatchIntro(pid);
  ASSERT_NE(best, -1) << "the game ended by itself";
  int exitCode = CloseGame(pid);
  std::string log = tw_test::ReadFile("log");
  EXPECT_GE(best, 2000) << "the intro's title never showed; the log:\n" << log;
  EXPECT_EQ(exitCode, 0) << "the game did not end cleanly after the close request";
  EXPECT_NE(log.find("WMVGenTexture"), std::string::npos);
  // The shutdown was whole: start-up, the intro's level and shutdown report the memory; settings saved.
  EXPECT_EQ(tw_test::CountOccurrences(log, "Global_MemoryStatus: "), 3) << log;
  EXPECT_TRUE(tw_test::FileExists("settings"));
}

// Run as a person runs it (no TW_UNATTENDED) on this display's software renderer, the game asks
// whether to go on without hardware acceleration. The box takes the focus from the game's window,
// as a window manager gives it; answered from the keyboard, the box closes and the game's window
// takes the focus back, so its frames run and the intro shows.
TEST(SampleGameE2E, AfterTheWarningBoxIsAnsweredTheIntroShows) {
  if (!tw_test::HaveDisplay()) GTEST_SKIP() << "no display";
  tw_test::TempDir dir;
  ASSERT_TRUE(tw_test::MakeSampleGame(dir.Path()));
  pid_t pid = StartGame(true);
  ASSERT_GE(pid, 0);
  bool focused = tw_test::FocusWindowByTitle("Tarnwick", 30000, pid);
  bool answered = tw_test::FocusWindowByTitle("OPENGL warning", 30000, 0, "Return");
  int best = answered ? WatchIntro(pid) : 0;
  int exitCode = CloseGame(pid);
  std::string log = tw_test::ReadFile("log");
  EXPECT_TRUE(focused);
  ASSERT_TRUE(answered) << "no warning box; the log:\n" << log;
  EXPECT_NE(best, -1) << "the game ended by itself; the log:\n" << log;
  EXPECT_GE(best, 2000) << "the intro never showed; the log:\n" << log;
  EXPECT_EQ(exitCode, 0);
}
