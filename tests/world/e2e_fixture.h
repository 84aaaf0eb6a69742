// The real executable in a sample game folder, driven by real key events: start, grabs, keys,
// waiting for a picture, and the way from the intro into a new game and back out to quit. The
// game's standard output goes to "stdout.txt" in the game folder.
#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/test_support.h"
#include "ui/ui.h"

namespace tw_test {

// Pixels of the menus' selection bar.
inline int BarPixels(const ScreenImage& img) {
  int n = 0;
  for (size_t i = 0; i + 2 < img.rgb.size(); i += 3)
    if (std::abs(img.rgb[i] - kUiBarColor[0]) < 6 && std::abs(img.rgb[i + 1] - kUiBarColor[1]) < 6 &&
        std::abs(img.rgb[i + 2] - kUiBarColor[2]) < 6)
      n++;
  return n;
}

// Mean absolute difference of two grabs over a box in the middle of the screen (0..255).
inline double MiddleDifference(const ScreenImage& a, const ScreenImage& b) {
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
inline int Spread(const ScreenImage& img) {
  bool seen[256] = {};
  int n = 0;
  for (size_t i = 0; i < img.rgb.size(); i += 3 * 7) {
    int v = (img.rgb[i] + img.rgb[i + 1] + img.rgb[i + 2]) / 3;
    if (!seen[v]) n += seen[v] = true;
  }
  return n;
}

class GameE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    ASSERT_TRUE(MakeSampleGame(dir_.Path()));
    PrepareGame();
    Start();
  }
  // Starts the game in the sample folder (again, once an earlier run has ended).
  void Start() {
    ended_ = false;
    pid_ = StartGameProcess(nullptr, "stdout.txt");
    ASSERT_GT(pid_, 0);
  }
  void TearDown() override {
    if (pid_ > 0 && !ended_) EndGameProcess(pid_);
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
      *img = GrabScreen();
      if (img->width && want(*img)) return true;
    }
    return false;
  }
  // Waits until the game's log holds `line`; false on time out or when the game ended.
  bool WaitForLog(const std::string& line, int seconds) { return WaitForLogAfter(0, line, seconds); }
  // Likewise for a line past the log's first `from` bytes (what a step has written since).
  bool WaitForLogAfter(size_t from, const std::string& line, int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until && Running()) {
      const std::string log = ReadFile("log");
      if (log.size() > from && log.find(line, from) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  // In the game folder, after the sample is made and before the game starts.
  virtual void PrepareGame() {}
  // Keys with the pointer over the window (so the window has the keyboard): at the screen's
  // middle, or where MoveMouse left it.
  void Keys(std::initializer_list<const char*> keys, int holdMs = 60) {
    PlacePointer();
    ASSERT_TRUE(SendKeys(pointerX_, pointerY_, std::vector<std::string>(keys.begin(), keys.end()), 250, holdMs));
  }
  // The pointer starts at the middle and stays where the test puts it.
  void PlacePointer() {
    if (pointerX_ >= 0) return;
    ScreenImage img = GrabScreen();
    pointerX_ = img.width / 2, pointerY_ = img.height / 2;
    MovePointer(pointerX_, pointerY_);
  }
  // Moves the pointer by (dx, dy) from where the keys put it: mouse motion for the game.
  void MoveMouse(int dx, int dy) {
    PlacePointer();
    pointerX_ += dx;
    pointerY_ += dy;
    ASSERT_TRUE(MovePointer(pointerX_, pointerY_));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  // A left-button click where the pointer is.
  static void Click() {
    ASSERT_TRUE(ClickPointer(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
  }
  // Where the game's pointer is on the screen: the sample's pointer picture is a yellow arrow
  // whose tip (the pointer's place) lies a pixel or two above and left of its yellow inside;
  // false when it does not show.
  static bool FindPointer(const ScreenImage& img, int* x, int* y) {
    int minX = img.width, minY = img.height;
    for (int py = 0; py < img.height; py++)
      for (int px = 0; px < img.width; px++) {
        const uint8_t* p = &img.rgb[(size_t(py) * img.width + px) * 3];
        if (std::abs(p[0] - 255) < 25 && std::abs(p[1] - 225) < 25 && std::abs(p[2] - 90) < 25) {
          minX = std::min(minX, px);
          minY = std::min(minY, py);
        }
      }
    if (minX == img.width) return false;
    *x = minX - 1;
    *y = minY - 2;
    return true;
  }
  // Moves the game's pointer to a place of the 640 x 480 layout, by mouse motion. The screen's
  // pointer may have run far from the game's (it stops at the screen's edges, the game's at the
  // layout's): a sweep to the far corner and back to the near one puts both at the top left first.
  void PointAt(int layoutX, int layoutY) {
    ScreenImage screen = GrabScreen();
    MoveMouse(screen.width - 1 - pointerX_, screen.height - 1 - pointerY_);
    MoveMouse(-pointerX_, -pointerY_);
    MoveMouse(layoutX * screen.width / 640, layoutY * screen.height / 480);
    for (int step = 0; step < 3; step++) {
      ScreenImage img = GrabScreen();
      int x, y;
      ASSERT_TRUE(FindPointer(img, &x, &y)) << "no pointer on the screen";
      const int dx = layoutX * img.width / 640 - x, dy = layoutY * img.height / 480 - y;
      if (std::abs(dx) < 3 && std::abs(dy) < 3) return;
      MoveMouse(dx, dy);
    }
  }
  static bool Menu(const ScreenImage& i) { return BarPixels(i) > 2000; }
  // Skips the intro (Escape), then a new game with the second hero until the level shows.
  void StartNewGame() {
    ScreenImage img;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    Keys({"Escape"});
    ASSERT_TRUE(WaitFor(Menu, &img, 60)) << "no main menu; the log:\n" << ReadFile("log");
    menuGrab_ = img;
    Keys({"Return"});
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Keys({"Down", "Return"});
    auto level = [&](const ScreenImage& i) {
      return BarPixels(i) == 0 && Spread(i) > 8 && MiddleDifference(i, menuGrab_) > 5;
    };
    ASSERT_TRUE(WaitFor(level, &img, 60)) << "the level did not show; the log:\n" << ReadFile("log");
  }
  // Escape, then the in-game menu's item (0 Resume, 1 Save game, 2 Record demo, 3 Stop recording,
  // 4 Load game, 5 End game, 6 Quit), the shorter way round. The Escape goes at once and the menu takes as few
  // keys as it can: a demo plays on under the menu.
  void InGameMenu(int item) {
    ScreenImage img;
    PlacePointer();
    ASSERT_TRUE(SendKeys(pointerX_, pointerY_, {"Escape"}, 20, 60));
    ASSERT_TRUE(WaitFor(Menu, &img, 20)) << "no in-game menu; the log:\n" << ReadFile("log");
    constexpr int kItems = 7;
    std::vector<std::string> keys = item <= kItems / 2 ? std::vector<std::string>(size_t(item), "Down")
                                                       : std::vector<std::string>(size_t(kItems - item), "Up");
    keys.push_back("Return");
    // The pointer stays where it is: moved over the menu it would take the bar to its row.
    ASSERT_TRUE(SendKeys(pointerX_, pointerY_, keys, 250, 60));
  }
  // Escape, End game, then Quit in the main menu; the game ends with status 0.
  void EndGameAndQuit() {
    ScreenImage img;
    InGameMenu(5);
    if (HasFatalFailure()) return;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ASSERT_TRUE(WaitFor(Menu, &img, 20)) << "no main menu after End game; the log:\n" << ReadFile("log");
    Keys({"Up", "Return"});  // Quit, the last item
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Running() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(ended_) << "Quit did not end the game";
    ASSERT_TRUE(WIFEXITED(status_));
    EXPECT_EQ(WEXITSTATUS(status_), 0);
  }
  TempDir dir_;
  ScreenImage menuGrab_;
  int pointerX_ = -1, pointerY_ = -1;
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

}  // namespace tw_test
