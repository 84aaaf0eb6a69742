// The road a new player takes: the real executable in a sample game folder, driven by real key
// events. Skip the intro, start a new game with the second hero, walk the street, quick save and
// quick load, take a screenshot, end the game and quit; walk to the street door and open it with
// the use key; record a demo, then play it captured and leave it by End game.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "e2e_fixture.h"

namespace {

using tw_test::ScreenImage;
using PlayE2E = tw_test::GameE2E;

// Pixels of the sample's green doors.
int DoorPixels(const ScreenImage& img) {
  int n = 0;
  for (size_t i = 0; i + 2 < img.rgb.size(); i += 3)
    n += img.rgb[i + 1] > 90 && img.rgb[i + 1] > img.rgb[i] + 40 && img.rgb[i + 1] > img.rgb[i + 2] + 40;
  return n;
}

TEST_F(PlayE2E, NewGameWalksTheStreetTakesAScreenshotAndQuits) {
  StartNewGame();
  if (HasFatalFailure()) return;
  // Standing still the picture keeps; after W is held for a second the middle has changed.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ScreenImage a = tw_test::GrabScreen();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ScreenImage b = tw_test::GrabScreen();
  EXPECT_LT(tw_test::MiddleDifference(a, b), 3.0);
  Keys({"w"}, 1000);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ScreenImage c = tw_test::GrabScreen();
  EXPECT_GT(tw_test::MiddleDifference(b, c), 3.0) << "walking changed nothing";
  // F5 writes the quick save; after walking back, F6 puts the hero where it was saved.
  Keys({"F5"});
  for (int i = 0; i < 50 && !tw_test::FileExists("save/quicksave/quick.sav"); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(tw_test::FileExists("save/quicksave/quick.sav")) << tw_test::ReadFile("log");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ScreenImage saved = tw_test::GrabScreen();
  Keys({"s"}, 1000);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_GT(tw_test::MiddleDifference(saved, tw_test::GrabScreen()), 3.0) << "walking back changed nothing";
  Keys({"F6"});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_LT(tw_test::MiddleDifference(saved, tw_test::GrabScreen()), 3.0) << "the quick load did not put the hero back";
  // F12 writes the first screenshot, showing the level.
  Keys({"F12"});
  for (int i = 0; i < 50 && !tw_test::FileExists("scr000.tga"); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::string shot = tw_test::ReadFile("scr000.tga");
  ASSERT_GT(shot.size(), 18u);
  EXPECT_EQ(uint8_t(shot[2]), 2);
  EXPECT_EQ(uint8_t(shot[16]), 32);
  // Escape, End game, then Quit in the main menu.
  EndGameAndQuit();
  if (HasFatalFailure()) return;
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

// The street door stands 400 units to the hero's right: the hero strafes there by key until the
// door stops it, turns to face it and presses Use; the door slides up out of the picture and comes
// down again after its pause.
TEST_F(PlayE2E, TheHeroWalksToTheStreetDoorAndOpensItWithTheUseKey) {
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Keys({"d"}, 2500);
  Keys({"Right"}, 640);  // a quarter turn at 2.44 radians a second
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  ScreenImage closed = tw_test::GrabScreen(), img;
  const int door = DoorPixels(closed), pixels = closed.width * closed.height;
  ASSERT_GT(door, pixels / 20) << "the door is not before the hero; the log:\n" << tw_test::ReadFile("log");
  Keys({"e"});
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return DoorPixels(i) < door / 10; }, &img, 3)) << "the door stayed shut";
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return DoorPixels(i) > door / 2; }, &img, 10)) << "the door did not close";
}

// A demo recorded from the in-game menu, played in the next run with "render_drawavi" 1 and left
// by End game: "Record demo" during the playback is refused, and at Quit the capture is finished
// into "demo.avi" with no temporary file left.
TEST_F(PlayE2E, ADemoPlayedCapturedAndLeftByEndGameLeavesAFinishedDemoAvi) {
  StartNewGame();
  if (HasFatalFailure()) return;
  InGameMenu(2);  // Record demo
  if (HasFatalFailure()) return;
  Keys({"w"}, 1000);
  std::this_thread::sleep_for(std::chrono::seconds(8));  // long enough to be left before its end
  InGameMenu(3);  // Stop recording
  if (HasFatalFailure()) return;
  for (int i = 0; i < 50 && !tw_test::FileExists("demo/demo01.dem"); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(tw_test::FileExists("demo/demo01.dem")) << tw_test::ReadFile("log");
  EndGameAndQuit();
  if (HasFatalFailure()) return;

  std::string settings = tw_test::ReadFile("settings");
  size_t at = settings.find("\"render_drawavi\" \"");
  ASSERT_NE(at, std::string::npos) << settings;
  settings.replace(at, settings.find('\n', at) - at, "\"render_drawavi\" \"1\"");
  tw_test::WriteFile("settings", settings);
  Start();
  ScreenImage img;
  std::this_thread::sleep_for(std::chrono::seconds(2));
  Keys({"Escape"});
  ASSERT_TRUE(WaitFor(Menu, &img, 60)) << tw_test::ReadFile("log");
  Keys({"Down", "Down", "Down", "Return"});  // Play demo
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Keys({"Return"});  // the first demo
  for (int i = 0; i < 100 && !tw_test::FileExists("demo.avi.tmp"); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(tw_test::FileExists("demo.avi.tmp")) << tw_test::ReadFile("log");
  InGameMenu(2);  // Record demo, refused while the demo plays
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EndGameAndQuit();
  if (HasFatalFailure()) return;
  EXPECT_TRUE(tw_test::FileExists("demo.avi")) << tw_test::ReadFile("log");
  EXPECT_FALSE(tw_test::FileExists("demo.avi.tmp"));
  EXPECT_FALSE(tw_test::FileExists("demo/demo02.dem"));
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("StartDemo:not during a playback."), std::string::npos) << log;
  EXPECT_NE(log.find("EndDemo:enddemo."), std::string::npos) << log;
  EXPECT_EQ(tw_test::CountOccurrences(log, "StartDemo:playdemo."), 1) << "the demo ended before End game";
}

}  // namespace
