// The front end as a player meets it: the real executable in a sample game folder, driven by real
// key events. After the intro the main menu shows; New game offers both heroes; Escape goes back;
// Quit ends the game with its settings written.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "support/test_support.h"
#include "ui/ui.h"

namespace {

// Where the menu's selection bar lies on the screen, and the scale of the 640 x 480 layout.
struct MenuView {
  bool found = false;
  int left = 0, top = 0, right = 0, bottom = 0;
  double scale = 1;
};

bool IsBar(const uint8_t* p) {
  return std::abs(p[0] - kUiBarColor[0]) < 6 && std::abs(p[1] - kUiBarColor[1]) < 6 &&
         std::abs(p[2] - kUiBarColor[2]) < 6;
}

MenuView FindBar(const tw_test::ScreenImage& img) {
  MenuView v;
  v.left = img.width;
  v.top = img.height;
  int n = 0;
  for (int y = 0; y < img.height; y++)
    for (int x = 0; x < img.width; x++)
      if (IsBar(&img.rgb[(size_t(y) * img.width + x) * 3])) {
        n++;
        v.left = std::min(v.left, x);
        v.right = std::max(v.right, x + 1);
        v.top = std::min(v.top, y);
        v.bottom = std::max(v.bottom, y + 1);
      }
  v.found = n > 2000;
  if (v.found) v.scale = double(v.right - v.left) / double(kUiItemRight - kUiItemLeft);
  return v;
}

// The selected row (0, 1, 2...) of the bar in the layout.
int BarRow(const MenuView& v, const MenuView& first) {
  return int(std::lround((v.top - first.top) / (kUiItemHeight * first.scale)));
}

// Light text pixels in item row `row`, outside the bar.
int TextIn(const tw_test::ScreenImage& img, const MenuView& first, int row) {
  int y0 = first.top + int(row * kUiItemHeight * first.scale), y1 = y0 + int(kUiItemHeight * first.scale);
  int n = 0;
  for (int y = std::max(0, y0); y < std::min(img.height, y1); y++)
    for (int x = std::max(0, first.left); x < std::min(img.width, first.right); x++) {
      const uint8_t* p = &img.rgb[(size_t(y) * img.width + x) * 3];
      if (p[0] > 180 && p[1] > 180 && p[2] > 180) n++;
    }
  return n;
}

class FrontEndE2E : public tw_test::GameProcessTest {
 protected:
  // Waits until the screen shows a menu whose bar is on `row` of the first menu seen.
  bool WaitForBar(int row, tw_test::ScreenImage* img, int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      *img = tw_test::GrabScreen();
      MenuView v = FindBar(*img);
      if (v.found && !first_.found) first_ = v;
      if (v.found && BarRow(v, first_) == row) return true;
      if (!Running()) return false;
    }
    return false;
  }
  // Waits for a menu with the bar on its top row, text in its first `rows` rows and none below.
  bool WaitForMenu(int rows, tw_test::ScreenImage* img) {
    for (int tries = 0; tries < 25; tries++) {
      if (!WaitForBar(0, img, 10)) return false;
      bool shown = TextIn(*img, first_, rows) == 0;
      for (int r = 0; r < rows; r++) shown = shown && TextIn(*img, first_, r) > 20;
      if (shown) return true;
    }
    return false;
  }
  // Keys go out with the pointer in the middle of the screen, where the game keeps it (it reads
  // the pointer's motion only): a pointer that moved over the menu would take the bar to its row.
  void Keys(std::initializer_list<const char*> keys) {
    std::vector<std::string> list(keys.begin(), keys.end());
    const tw_test::ScreenImage screen = tw_test::GrabScreen();
    ASSERT_TRUE(tw_test::SendKeys(screen.width / 2, screen.height / 2, list));
  }
  MenuView first_;
};

TEST_F(FrontEndE2E, AfterTheIntroTheMenuLeadsToBothHeroesAndQuitWritesTheSettings) {
  tw_test::ScreenImage img;
  ASSERT_TRUE(WaitForBar(0, &img, 90)) << "no main menu after the intro; the log:\n" << tw_test::ReadFile("log");
  EXPECT_TRUE(WaitForMenu(6, &img)) << "the main menu did not show six items";
  Keys({"Return"});
  EXPECT_TRUE(WaitForMenu(2, &img)) << "the hero choice did not show two heroes";
  Keys({"Down"});
  EXPECT_TRUE(WaitForBar(1, &img, 10));
  // Escape goes back to the main menu; Up wraps to Quit, the last item; Enter.
  Keys({"Escape"});
  EXPECT_TRUE(WaitForMenu(6, &img)) << "Escape did not lead back to the main menu";
  Keys({"Up"});
  ASSERT_TRUE(WaitForBar(5, &img, 10));
  Keys({"Return"});
  ASSERT_TRUE(WaitForExit(30)) << "Quit did not end the game";
  ASSERT_TRUE(WIFEXITED(status_));
  EXPECT_EQ(WEXITSTATUS(status_), 0);
  EXPECT_TRUE(tw_test::FileExists("settings"));
  std::string log = tw_test::ReadFile("log");
  EXPECT_EQ(log.find("Que_Apply"), std::string::npos) << log;
}

}  // namespace
