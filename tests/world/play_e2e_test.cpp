// The road a new player takes: the real executable in a sample game folder, driven by real key
// events. Skip the intro, start a new game with the second hero, walk the street, quick save and
// quick load, take a screenshot, end the game and quit.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "support/test_support.h"
#include "ui/ui.h"

namespace {

using tw_test::ScreenImage;

// Pixels of the menus' selection bar.
int BarPixels(const ScreenImage& img) {
  int n = 0;
  for (size_t i = 0; i + 2 < img.rgb.size(); i += 3)
    if (std::abs(img.rgb[i] - kUiBarColor[0]) < 6 && std::abs(img.rgb[i + 1] - kUiBarColor[1]) < 6 &&
        std::abs(img.rgb[i + 2] - kUiBarColor[2]) < 6)
      n++;
  return n;
}

// Mean absolute difference of two grabs over a box in the middle of the screen (0..255).
double MiddleDifference(const ScreenImage& a, const ScreenImage& b) {
  if (a.width != b.width || a.height != b.height || !a.width) return 255;
  double sum = 0;
  int n = 0;
  for (int y = a.height / 3; y < a.height * 2 / 3; y++)
    for (int x = a.width / 3; x < a.width * 2 / 3; x++)
      for (int c = 0; c < 3; c++, n++) {
        size_t i = (size_t(y) * a.width + x) * 3 + c;
        sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
      }
  return n ? sum / n : 255;
}

// Distinct grey levels of a grab: a uniform screen has one.
int Spread(const ScreenImage& img) {
  bool seen[256] = {};
  int n = 0;
  for (size_t i = 0; i < img.rgb.size(); i += 3 * 7) {
    int v = (img.rgb[i] + img.rgb[i + 1] + img.rgb[i + 2]) / 3;
    if (!seen[v]) n += seen[v] = true;
  }
  return n;
}

class PlayE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tw_test::HaveDisplay()) GTEST_SKIP() << "no display";
    ASSERT_TRUE(tw_test::MakeSampleGame(dir_.Path()));
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      std::string exe = std::string(TW_BIN_DIR) + "/tarnwick";
      execl(exe.c_str(), exe.c_str(), nullptr);
      _exit(127);
    }
  }
  void TearDown() override {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Running() {
    if (!ended_ && waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
    return !ended_;
  }
  // Waits until the grab satisfies `want`; false on time out or when the game ended.
  template <typename F>
  bool WaitFor(F want, ScreenImage* img, int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until && Running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      *img = tw_test::GrabScreen();
      if (img->width && want(*img)) return true;
    }
    return false;
  }
  // Keys with the pointer over the window's middle (so the window has the keyboard).
  void Keys(std::initializer_list<const char*> keys, int holdMs = 60) {
    ScreenImage img = tw_test::GrabScreen();
    ASSERT_TRUE(tw_test::SendKeys(img.width / 2, img.height / 2, std::vector<std::string>(keys.begin(), keys.end()), 250, holdMs));
  }
  tw_test::TempDir dir_;
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

TEST_F(PlayE2E, NewGameWalksTheStreetTakesAScreenshotAndQuits) {
  ScreenImage img;
  auto menu = [](const ScreenImage& i) { return BarPixels(i) > 2000; };
  // The intro plays; Escape skips it and the main menu shows.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  Keys({"Escape"});
  ASSERT_TRUE(WaitFor(menu, &img, 60)) << "no main menu; the log:\n" << tw_test::ReadFile("log");
  ScreenImage menuGrab = img;
  // New game with the second hero.
  Keys({"Return"});
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Keys({"Down", "Return"});
  auto level = [&](const ScreenImage& i) {
    return BarPixels(i) == 0 && Spread(i) > 8 && MiddleDifference(i, menuGrab) > 5;
  };
  ASSERT_TRUE(WaitFor(level, &img, 60)) << "the level did not show; the log:\n" << tw_test::ReadFile("log");
  // Standing still the picture keeps; after W is held for a second the middle has changed.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ScreenImage a = tw_test::GrabScreen();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ScreenImage b = tw_test::GrabScreen();
  EXPECT_LT(MiddleDifference(a, b), 3.0);
  Keys({"w"}, 1000);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ScreenImage c = tw_test::GrabScreen();
  EXPECT_GT(MiddleDifference(b, c), 3.0) << "walking changed nothing";
  // F5 writes the quick save; after walking back, F6 puts the hero where it was saved.
  Keys({"F5"});
  for (int i = 0; i < 50 && !tw_test::FileExists("save/quicksave/quick.sav"); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(tw_test::FileExists("save/quicksave/quick.sav")) << tw_test::ReadFile("log");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ScreenImage saved = tw_test::GrabScreen();
  Keys({"s"}, 1000);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_GT(MiddleDifference(saved, tw_test::GrabScreen()), 3.0) << "walking back changed nothing";
  Keys({"F6"});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_LT(MiddleDifference(saved, tw_test::GrabScreen()), 3.0) << "the quick load did not put the hero back";
  // F12 writes the first screenshot, showing the level.
  Keys({"F12"});
  for (int i = 0; i < 50 && !tw_test::FileExists("scr000.tga"); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::string shot = tw_test::ReadFile("scr000.tga");
  ASSERT_GT(shot.size(), 18u);
  EXPECT_EQ(uint8_t(shot[2]), 2);
  EXPECT_EQ(uint8_t(shot[16]), 32);
  // Escape, End game, then Quit in the main menu.
  Keys({"Escape"});
  ASSERT_TRUE(WaitFor(menu, &img, 20));
  Keys({"Up", "Up", "Return"});
  std::this_thread::sleep_for(std::chrono::seconds(2));
  ASSERT_TRUE(WaitFor(menu, &img, 20));
  Keys({"Up", "Return"});
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Running() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(ended_) << "Quit did not end the game";
  ASSERT_TRUE(WIFEXITED(status_));
  EXPECT_EQ(WEXITSTATUS(status_), 0);
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("creategame"), std::string::npos);
  EXPECT_EQ(log.find("refused"), std::string::npos) << log;
  // The hero walked: its last place lies well away from the start at the origin.
  std::string settings = tw_test::ReadFile("settings");
  auto value = [&](const char* name) {
    size_t at = settings.find(std::string("\"") + name + "\" \"");
    return at == std::string::npos ? 0.0 : std::atof(settings.c_str() + at + std::strlen(name) + 4);
  };
  double x = value("game_lastoriginx"), y = value("game_lastoriginy");
  EXPECT_GE(std::sqrt(x * x + y * y), 100.0) << settings;
}

}  // namespace
