// The sample game as a player meets the Transport System and the terminal: travelling from the
// street to the rooms, the arena and back through the Transport System's screen, each place drawn
// on arrival, and playing the terminal's mini-game and giving it up.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "tools/ts_assets.h"
#include "world/e2e_fixture.h"

namespace {

using tw_test::ScreenImage;

// Pixels within 10 of a colour.
int ColourPixels(const ScreenImage& img, int r, int g, int b) {
  int n = 0;
  for (size_t i = 0; i + 2 < img.rgb.size(); i += 3)
    n += std::abs(img.rgb[i] - r) < 10 && std::abs(img.rgb[i + 1] - g) < 10 && std::abs(img.rgb[i + 2] - b) < 10;
  return n;
}

// The share of nearly black pixels in the upper half of the screen, above the hero.
double DarkShareAbove(const ScreenImage& img) {
  int dark = 0, all = 0;
  for (int y = 0; y < img.height / 2; y++)
    for (int x = 0; x < img.width; x++, all++) {
      const uint8_t* p = &img.rgb[(size_t(y) * img.width + x) * 3];
      dark += p[0] + p[1] + p[2] < 60;
    }
  return all ? double(dark) / all : 1;
}

// The Transport System's exit box and the mini-game's board.
int ExitBoxPixels(const ScreenImage& i) { return ColourPixels(i, 150, 40, 40); }
int BoardPixels(const ScreenImage& i) { return ColourPixels(i, 10, 24, 18); }

class TravelE2E : public tw_test::GameE2E {
 protected:
  // Sensitivity 50: the view turns 0.0192 radians a count of mouse motion.
  void PrepareGame() override { tw_test::WriteFile("settings", tw_test::ReadFile("settings") + "\"mouse_sensitivity\" \"50\"\n"); }
  // From a level's start (facing +x), turned towards its Transport System point: E opens the
  // screen; the district at the middle, then the place's entry, then Go.
  void Travel(int place, const std::string& level) {
    ScreenImage img;
    const size_t logSize = tw_test::ReadFile("log").size();
    MoveMouse(-112, 0);  // 2.14 radians to the left at 0.0192 radians a count
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Keys({"e"}, 100);
    ASSERT_TRUE(WaitFor([](const ScreenImage& i) { return ExitBoxPixels(i) > 800; }, &img, 10))
        << "no Transport System screen; the log:\n" << tw_test::ReadFile("log");
    PointAt(320, 240);  // the district
    Click();
    PointAt(320 + int(kTsSampleEntryCentres[place][0] / 10), 240);
    Click();
    PointAt(541, 241);  // the Go box
    Click();
    EXPECT_TRUE(WaitForLogAfter(logSize, "Level_Load: " + level, 20)) << "no travel to " << level << "; the log:\n"
                                                                          << tw_test::ReadFile("log");
    auto play = [](const ScreenImage& i) { return ExitBoxPixels(i) < 100 && tw_test::Spread(i) > 8; };
    EXPECT_TRUE(WaitFor(play, &img, 20)) << "the level did not show after the journey";
    std::this_thread::sleep_for(std::chrono::seconds(1));  // each arrival faces +x, as at the start
    WaitFor([](const ScreenImage& i) { return DarkShareAbove(i) < 0.25; }, &img, 5);
    EXPECT_LT(DarkShareAbove(img), 0.25) << level << " is not drawn: the picture is dark";
  }
};

TEST_F(TravelE2E, TheHeroTravelsToTheRoomsTheArenaAndBackThroughTheTransportSystemAndEachPlaceIsDrawn) {
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Travel(2, "rooms");
  if (HasFatalFailure()) return;
  Travel(1, "arena");
  if (HasFatalFailure()) return;
  Travel(0, "street");
  if (HasFatalFailure()) return;
  EndGameAndQuit();
}

// The terminal beside the start: with money in hand (Ctrl+Alt+F3), E starts the mini-game; clicks
// and Space go to it; Escape gives it up and play comes back.
TEST_F(TravelE2E, TheTerminalsMiniGameTakesClicksAndKeysAndEscapeGivesItUp) {
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ASSERT_TRUE(tw_test::SendKeyChordEvents({"Control_L", "Alt_L", "F3"}));
  MoveMouse(-52, 0);  // one radian to the left: the terminal
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const ScreenImage before = tw_test::GrabScreen();
  ScreenImage img;
  Keys({"e"}, 100);
  ASSERT_TRUE(WaitFor([](const ScreenImage& i) { return BoardPixels(i) > 20000; }, &img, 10))
      << "no mini-game; the log:\n" << tw_test::ReadFile("log");
  EXPECT_NE(tw_test::ReadFile("log").find("minigame: the lock is ready"), std::string::npos);
  // A cell under the pointer lights up; a click and Space pick it.
  PointAt(205, 175);
  const int lit = ColourPixels(tw_test::GrabScreen(), 90, 140, 110);
  EXPECT_GT(lit, 1000) << "the pointed cell did not light up";
  Click();
  Keys({"space"});
  EXPECT_TRUE(Running());
  Keys({"Escape"});
  EXPECT_TRUE(WaitForLog("minigame: 1 given up", 10)) << tw_test::ReadFile("log");
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return BoardPixels(i) < 100 && tw_test::MiddleDifference(i, before) < 8; },
                      &img, 10))
      << "play did not come back";
  EndGameAndQuit();
}

}  // namespace
