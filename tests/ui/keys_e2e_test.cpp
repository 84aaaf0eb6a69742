// The key-binding screen as a player meets it with the mouse: the real executable, real pointer
// motion and clicks. A pointer moved down the rows takes the bar to the row under it and the rows
// stay where they are; a click, then a key, binds that key to the action the bar shows.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "characters/actions.h"
#include "ui/menu_keys.h"
#include "world/e2e_fixture.h"

namespace {

using tw_test::ScreenImage;

// The selection bar in the 640 x 480 layout: its top and height (0 with no bar).
struct Bar {
  double top = 0, height = 0;
};
Bar FindBar(const ScreenImage& img) {
  int top = img.height, bottom = -1;
  for (int y = 0; y < img.height; y++)
    for (int x = 0; x < img.width; x++) {
      const uint8_t* p = &img.rgb[(size_t(y) * img.width + x) * 3];
      if (std::abs(p[0] - kUiBarColor[0]) < 6 && std::abs(p[1] - kUiBarColor[1]) < 6 &&
          std::abs(p[2] - kUiBarColor[2]) < 6) {
        top = std::min(top, y);
        bottom = std::max(bottom, y + 1);
      }
    }
  if (bottom < 0 || BarPixels(img) < 2000) return Bar{};
  const double scale = 480.0 / img.height;
  return Bar{top * scale, (bottom - top) * scale};
}
// The row the bar covers on a screen whose rows are `height` units (30 the key-binding screen's,
// 40 the menus'); -1 when no bar of that height shows.
int BarRow(const ScreenImage& img, float height) {
  const Bar bar = FindBar(img);
  if (std::fabs(bar.height - height) > 4) return -1;
  return int(std::lround((bar.top - kUiItemTop) / height));
}

class KeysE2E : public tw_test::GameE2E {};

TEST_F(KeysE2E, APointerMovedDownTheRowsKeepsThemInPlaceAndAClickBindsTheActionTheBarShows) {
  ScreenImage img;
  std::this_thread::sleep_for(std::chrono::seconds(2));
  Keys({"Escape"});
  ASSERT_TRUE(WaitFor(Menu, &img, 60)) << "no main menu; the log:\n" << tw_test::ReadFile("log");
  Keys({"Down", "Down", "Down", "Down", "Return"});  // Key bindings
  auto keysScreen = [](const ScreenImage& i) { return BarRow(i, 30.0f) == 0; };
  ASSERT_TRUE(WaitFor(keysScreen, &img, 10)) << "no key-binding screen";

  // Row by row down the shown rows: the bar follows the pointer, so the rows never moved under it.
  constexpr int kLastRow = 6;
  static_assert(kLastRow < kMenuKeysRows);
  for (int row = 0; row <= kLastRow; row++) {
    PointAt(320, int(kUiItemTop) + 30 * row + 15);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(WaitFor([row](const ScreenImage& i) { return BarRow(i, 30.0f) == row; }, &img, 5))
        << "with the pointer over row " << row << " the bar is on row " << BarRow(img, 30.0f);
  }
  Click();
  Keys({"k"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  // Back to the main menu, then Quit (its last item) writes the settings.
  Keys({"Escape"});
  ASSERT_TRUE(WaitFor([](const ScreenImage& i) { return BarRow(i, kUiItemHeight) >= 0; },
                      &img, 10))
      << "no main menu after the key-binding screen";
  const int at = BarRow(img, kUiItemHeight);
  std::vector<std::string> keys(size_t(5 - at), "Down");
  keys.push_back("Return");
  ASSERT_TRUE(tw_test::SendKeys(pointerX_, pointerY_, keys, 250, 60));
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Running() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_FALSE(Running()) << "Quit did not end the game";

  const std::string settings = tw_test::ReadFile("settings");
  const std::string bound = std::string("\"Keyboard K\" \"") + PlayerActionTable[kLastRow].name + "\"";
  EXPECT_NE(settings.find(bound), std::string::npos) << "K is not bound to " << PlayerActionTable[kLastRow].name
                                                       << "; the settings:\n" << settings;
}

}  // namespace
