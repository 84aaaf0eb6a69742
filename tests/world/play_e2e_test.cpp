// The road a new player takes: the real executable in a sample game folder, driven by real key
// events. Skip the intro, start a new game with the second hero, walk the street, quick save and
// quick load, take a screenshot, end the game and quit (the HUD shows health, energy and
// ammunition); walk to the street door and open it with the use key; record a demo, then play it
// captured and leave it by End game.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "foundation/vecmath.h"
#include "tools/entity_writer.h"
#include "tools/street_props.h"

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

// Lines of the HUD's pale yellow text in its box at the lower left (20..320 x 400..470 of 640 x 480).
int HudLines(const ScreenImage& img) {
  int lines = 0;
  bool inLine = false;
  for (int y = img.height * 400 / 480; y < img.height * 470 / 480; y++) {
    int lit = 0;
    for (int x = img.width * 20 / 640; x < img.width * 320 / 640; x++) {
      const uint8_t* p = &img.rgb[(size_t(y) * img.width + x) * 3];
      lit += p[0] > 200 && p[1] > 170 && p[2] < 200 && p[0] > p[2] + 50;
    }
    if (lit >= 3 && !inLine) lines++;
    inLine = lit >= 3;
  }
  return lines;
}

TEST_F(PlayE2E, NewGameWalksTheStreetTakesAScreenshotAndQuits) {
  StartNewGame();
  if (HasFatalFailure()) return;
  // Standing still the picture keeps; after W is held for a second the middle has changed.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ScreenImage a = tw_test::GrabScreen();
  // The HUD shows the hero's health, energy and the pistol's ammunition: three lines.
  EXPECT_EQ(HudLines(a), 3);
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

// Bright pixels of the message lines' first row at the top of the screen (x 10..400, y 0..22 of
// the 640 x 480 layout).
int TopLinePixels(const ScreenImage& img) {
  int n = 0;
  for (int y = 0; y < img.height * 22 / 480; y++)
    for (int x = img.width * 10 / 640; x < img.width * 400 / 640; x++) {
      const uint8_t* p = &img.rgb[(size_t(y) * img.width + x) * 3];
      n += p[0] > 170 && p[1] > 170 && p[2] > 170;
    }
  return n;
}

// Pixels of the sample's help pictures: their dark blue board.
int HelpBoardPixels(const ScreenImage& img) {
  int n = 0;
  for (size_t i = 0; i + 2 < img.rgb.size(); i += 3)
    n += std::abs(img.rgb[i] - 16) < 8 && std::abs(img.rgb[i + 1] - 40) < 8 && std::abs(img.rgb[i + 2] - 90) < 8;
  return n;
}

// Mean difference of two grabs over the crosshair (48 x 48 pixels at the middle).
double CrosshairDifference(const ScreenImage& a, const ScreenImage& b) {
  if (a.width != b.width || a.height != b.height || !a.width) return 255;
  double sum = 0;
  int n = 0;
  for (int y = a.height / 2 - 24; y < a.height / 2 + 24; y++)
    for (int x = a.width / 2 - 24; x < a.width / 2 + 24; x++)
      for (int c = 0; c < 3; c++, n++) {
        size_t i = (size_t(y) * a.width + x) * 3 + c;
        sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
      }
  return sum / n;
}

// The hot keys as a player meets them: F5 during the intro leaves the earlier quick save alone;
// F1 opens the help pictures and F1 closes them, J the goals screen likewise; Ctrl+Alt+F3 shows the money line at the top of
// the screen until it expires; after End game and a new game, F5 and F6 show the crosshair as it
// was. (The chord goes to the game's window as key events, past the X server's own Ctrl+Alt+F-key
// terminal switches.)
TEST_F(PlayE2E, HotKeysInTheIntroAndInPlayAndTheCrosshairAfterANewGame) {
  const std::string earlier = "an earlier quick save";
  tw_test::WriteFile("save/quicksave/quick.sav", earlier);
  ScreenImage img;
  auto intro = [](const ScreenImage& i) { return !Menu(i) && tw_test::Spread(i) > 8; };
  ASSERT_TRUE(WaitFor(intro, &img, 30)) << "no intro; the log:\n" << tw_test::ReadFile("log");
  Keys({"F5"});
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_TRUE(tw_test::ReadFile("save/quicksave/quick.sav") == earlier) << "F5 during the intro wrote a save";

  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const ScreenImage first = tw_test::GrabScreen();
  Keys({"F1"});
  EXPECT_TRUE(WaitFor([](const ScreenImage& i) { return HelpBoardPixels(i) > i.width * i.height / 2; }, &img, 5))
      << "F1 showed no help pictures";
  Keys({"F1"});
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return tw_test::MiddleDifference(i, first) < 3.0; }, &img, 5))
      << "F1 did not close the help";
  // J opens the goals screen, where the street gives way, and J again closes it.
  Keys({"j"});
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return tw_test::MiddleDifference(i, first) > 20.0; }, &img, 5))
      << "J showed no goals screen";
  Keys({"j"});
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return tw_test::MiddleDifference(i, first) < 3.0; }, &img, 5))
      << "J did not close the goals screen";

  const int before = TopLinePixels(tw_test::GrabScreen());
  ASSERT_TRUE(tw_test::SendKeyChordEvents({"Control_L", "Alt_L", "F3"}));
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return TopLinePixels(i) > before + 150; }, &img, 5))
      << "no money line at the top";
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return TopLinePixels(i) < before + 20; }, &img, 12))
      << "the money line did not expire";

  // End game, a new game, F5 and F6: the crosshair reads back as in the first game.
  Keys({"Escape"});
  ASSERT_TRUE(WaitFor(Menu, &img, 20));
  Keys({"Up", "Up", "Return"});
  StartNewGame();
  if (HasFatalFailure()) return;
  Keys({"F5"});
  for (int i = 0; i < 50 && tw_test::ReadFile("save/quicksave/quick.sav") == earlier; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(tw_test::ReadFile("save/quicksave/quick.sav") != earlier) << tw_test::ReadFile("log");
  Keys({"F6"});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_LT(CrosshairDifference(first, tw_test::GrabScreen()), 3.0) << "the crosshair changed";
  EndGameAndQuit();
}

// A game whose settings file gets extra lines, with the settings' values read back after it quit.
class MouseE2E : public tw_test::GameE2E {
 protected:
  void PrepareGame() override {
    std::string settings = tw_test::ReadFile("settings") + extraSettings_;
    tw_test::WriteFile("settings", settings);
  }
  static double Setting(const char* name) {
    std::string settings = tw_test::ReadFile("settings");
    size_t at = settings.find(std::string("\"") + name + "\" \"");
    return at == std::string::npos ? -1e9 : std::atof(settings.c_str() + at + std::strlen(name) + 4);
  }
  std::string extraSettings_;
};

// Sensitivity 5 with the pitch inverted: a move right by 100 and down by 40 turns the view by
// 100 x pi x 0.022 x 5 / 180 radians and lifts it by 40 x that x 0.75.
class SlowInvertedMouse : public MouseE2E {
 protected:
  void SetUp() override {
    extraSettings_ = "\"mouse_sensitivity\" \"5\"\n\"mouse_invert\" \"1\"\n";
    MouseE2E::SetUp();
  }
};

TEST_F(SlowInvertedMouse, TheViewTurnsByTheSensitivityAndLooksUpForAPointerGoingDown) {
  PlacePointer();
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  MoveMouse(100, 0);
  MoveMouse(0, 40);
  EndGameAndQuit();
  if (HasFatalFailure()) return;
  const double k = kMathPi * 0.022 * 5 / 180;
  EXPECT_NEAR(Setting("game_lastanglex"), kMathPi / 2 + 100 * k, 0.004);
  EXPECT_NEAR(Setting("game_lastangley"), 40 * k * 0.75, 0.003);
}

// Pixels of the HUD's text colour in its box (the lower left of a 640 x 480 layout).
std::vector<bool> HudText(const ScreenImage& img) {
  std::vector<bool> mask;
  const int x0 = img.width * 20 / 640, x1 = img.width * 320 / 640, y0 = img.height * 400 / 480, y1 = img.height * 470 / 480;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) {
      const uint8_t* p = &img.rgb[(size_t(y) * img.width + x) * 3];
      mask.push_back(p[0] > 190 && p[1] > 160 && p[2] > 80 && p[2] < 210 && p[0] > p[2] + 40);
    }
  return mask;
}
// The share of nearly black pixels.
double DarkShare(const ScreenImage& img) {
  size_t n = 0;
  for (size_t i = 0; i + 2 < img.rgb.size(); i += 3) n += img.rgb[i] + img.rgb[i + 1] + img.rgb[i + 2] < 30;
  return img.rgb.empty() ? 0 : double(n) * 3 / double(img.rgb.size());
}
// The share of the pixels above the middle of the screen (where a crate on its post shows over
// the hero's shoulder) that differ by more than 30 between two grabs.
double CrateDifference(const ScreenImage& a, const ScreenImage& b) {
  if (a.width != b.width || a.height != b.height || !a.width) return 0;
  int n = 0, all = 0;
  for (int y = a.height / 4; y < a.height / 2; y++)
    for (int x = a.width / 3; x < a.width * 2 / 3; x++, all++) {
      const size_t i = (size_t(y) * a.width + x) * 3;
      n += std::abs(a.rgb[i] - b.rgb[i]) + std::abs(a.rgb[i + 1] - b.rgb[i + 1]) + std::abs(a.rgb[i + 2] - b.rgb[i + 2]) > 30;
    }
  return double(n) / all;
}
int Changed(const std::vector<bool>& a, const std::vector<bool>& b) {
  int n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); i++) n += a[i] != b[i];
  return n;
}

// Sensitivity 50 and a yard behind the start made of the sample's own pieces: the bullet crate
// and the gate key crate in a row, then the parked car, and the corner shop's door beside the
// car. The hero turns about by mouse, looking level, walks into each crate and takes it with Use
// while it shows over his shoulder (the HUD's ammunition goes from 30 to 60 and the crate leaves
// the picture), walks into the car, enters it with the key, leaves it (Q)
// to the car's right, opens the shop facing its door and leaves it with Escape; then a mouse move
// right by 100 and down by 40 turns the view ten times as far as at sensitivity 5, looking down.
class YardMouse : public MouseE2E {
 protected:
  void SetUp() override {
    extraSettings_ = "\"mouse_sensitivity\" \"50\"\n";
    MouseE2E::SetUp();
  }
  void PrepareGame() override {
    MouseE2E::PrepareGame();
    std::string items;
    for (const auto& [name, text] : Tool_SampleEntityFiles())
      if (name == "scenes/street.items") items = text;
    auto move = [&](const char* from, const char* to) {
      size_t at = items.find(from);
      ASSERT_NE(at, std::string::npos) << from;
      items.replace(at, std::strlen(from), to);
    };
    move("\"200 -100 0\"", "\"-100 0 0\"");     // the bullets
    move("\"-1080 -450 0\"", "\"-200 0 0\"");  // the gate key
    for (EntityToolPairs block : StreetProps_Blocks()) {
      std::string id;
      for (const auto& [key, value] : block)
        if (key == "id") id = value;
      const char* origin = id == "parked_car" ? "-400 0 0" : id == "corner_shop" ? "-300 60 0" : nullptr;
      if (!origin) continue;
      for (auto& [key, value] : block)
        if (key == "origin") value = origin;
      ASSERT_TRUE(Tool_EntityBlock(block, &items));
    }
    tw_test::WriteFile("scenes/street.items", items);
  }
};

TEST_F(YardMouse, TheHeroTakesTheCratesDrivesOffInTheCarLeavesItAndVisitsTheShop) {
  PlacePointer();
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  MoveMouse(-164, 0);  // about turn: pi at 0.0192 radians a count
  Keys({"w"}, 600);
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const ScreenImage crate = tw_test::GrabScreen();
  const std::vector<bool> before = HudText(crate);
  ASSERT_LT(Changed(before, HudText(tw_test::GrabScreen())), 5) << "the HUD is not steady";
  Keys({"e"}, 100);
  ScreenImage taken;
  WaitFor([&](const ScreenImage& i) { return Changed(before, HudText(i)) > 20 && CrateDifference(crate, i) > 0.05; },
          &taken, 5);
  EXPECT_GT(Changed(before, HudText(taken)), 20) << "the ammunition did not change";
  EXPECT_GT(CrateDifference(crate, taken), 0.05) << "the crate taken was not in view";
  Keys({"w"}, 600);  // the taken crate is gone: on to the key
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Keys({"e"}, 100);
  Keys({"w"}, 800);  // on to the car
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  ScreenImage outside = tw_test::GrabScreen(), img;
  Keys({"e"}, 100);
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return tw_test::MiddleDifference(i, outside) > 5; }, &img, 3))
      << "entering the car changed nothing";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ScreenImage inside = tw_test::GrabScreen();
  Keys({"q"}, 100);
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return tw_test::MiddleDifference(i, inside) > 5; }, &img, 3))
      << "leaving the car changed nothing";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // The shop: a dark screen with its title and name; Escape brings the street back.
  ASSERT_LT(DarkShare(tw_test::GrabScreen()), 0.5);
  Keys({"e"}, 100);
  auto shop = [&](const ScreenImage& i) { return DarkShare(i) > 0.9 && DarkShare(i) < 0.999; };
  EXPECT_TRUE(WaitFor(shop, &img, 3)) << "no shop screen; the log:\n" << tw_test::ReadFile("log");
  Keys({"Escape"});
  EXPECT_TRUE(WaitFor([&](const ScreenImage& i) { return DarkShare(i) < 0.5; }, &img, 3))
      << "Escape did not return to the street";
  MoveMouse(100, 0);
  MoveMouse(0, 40);
  EndGameAndQuit();
  if (HasFatalFailure()) return;
  // The hero stands where it stepped out, beside the car; the car came back as its entity.
  EXPECT_NEAR(Setting("game_lastoriginx"), -300, 3);
  EXPECT_NEAR(Setting("game_lastoriginy"), 0, 3);
  EXPECT_NE(tw_test::ReadFile("stdout.txt").find("id car\n"), std::string::npos);
  // Entering the car set the hero's yaw and pitch to the car's (0).
  const double k = kMathPi * 0.022 * 50 / 180;
  EXPECT_NEAR(Setting("game_lastanglex"), 100 * k, 0.03);
  EXPECT_NEAR(Setting("game_lastangley"), -40 * k * 0.75, 0.02);
}

// Pixels below the middle of the screen of the runabout's blue paint and of the second hero's
// teal jacket.
int CarPaintPixels(const ScreenImage& img) {
  int n = 0;
  for (size_t i = img.rgb.size() / 2; i + 2 < img.rgb.size(); i += 3)
    n += img.rgb[i + 2] > img.rgb[i + 1] + 80 && img.rgb[i + 2] > img.rgb[i] + 100;
  return n;
}
int JacketPixels(const ScreenImage& img) {
  int n = 0;
  for (size_t i = img.rgb.size() / 2; i + 2 < img.rgb.size(); i += 3)
    n += img.rgb[i + 1] > img.rgb[i] + 45 && img.rgb[i + 2] > img.rgb[i] + 45 &&
         std::abs(img.rgb[i + 1] - img.rgb[i + 2]) < 25;
  return n;
}

// A runabout parked before the start, its front to the east, that needs no key: E enters it, and
// while W drives it along the road the car and the hero sitting in it show below the middle of
// the screen, and the log does not grow.
class DriveE2E : public PlayE2E {
 protected:
  void PrepareGame() override {
    std::string items;
    for (const auto& [name, text] : Tool_SampleEntityFiles())
      if (name == "scenes/street.items") items = text;
    ASSERT_TRUE(Tool_EntityBlock({{"classname", "world"}, {"id", "test_car"}, {"name", "anim\\props\\car"},
                                  {"origin", "110 0 0"}, {"angle", "90 0 0"}, {"command", "[car] [runabout]"},
                                  {"blocked", "1"}, {"drawed", "1"}, {"solidbox", "1"}, {"clipbox", "-60 -36 0 60 36 64"}},
                                 &items));
    tw_test::WriteFile("scenes/street.items", items);
  }
};

TEST_F(DriveE2E, TheCarAndTheHeroInItAreDrawnWhileItDrivesAndTheLogStaysStill) {
  StartNewGame();
  if (HasFatalFailure()) return;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const ScreenImage outside = tw_test::GrabScreen();
  ScreenImage img;
  Keys({"e"}, 100);
  ASSERT_TRUE(WaitFor([&](const ScreenImage& i) { return tw_test::MiddleDifference(i, outside) > 5; }, &img, 5))
      << "the hero did not get in; the log:\n" << tw_test::ReadFile("log");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const size_t logSize = tw_test::ReadFile("log").size();
  Keys({"w"}, 1200);
  const ScreenImage driving = tw_test::GrabScreen();
  EXPECT_GT(tw_test::MiddleDifference(driving, outside), 5) << "the car did not move";
  const int pixels = driving.width * driving.height;
  EXPECT_GT(CarPaintPixels(driving), pixels / 100) << "no car";
  EXPECT_GT(JacketPixels(driving), pixels / 2000) << "no hero in the car";
  const std::string log = tw_test::ReadFile("log");
  EXPECT_EQ(log.size(), logSize) << "the log grew while driving:\n" << log.substr(std::min(logSize, log.size()));
  EndGameAndQuit();
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
  // A captured playback takes one 1/24 s step a drawn frame, so on a fast machine the demo runs
  // many times faster than it was recorded, and under a menu it runs on in real time: each key
  // goes as soon as the game has done the step before, or the demo ends (and starts again by its
  // chain, uncaptured) before End game is chosen.
  ASSERT_TRUE(tw_test::SendKeys(pointerX_, pointerY_, {"Return"}, 20, 60));  // the first demo
  ASSERT_TRUE(WaitForLog("StartDemo:playdemo.", 10)) << tw_test::ReadFile("log");
  InGameMenu(2);  // Record demo, refused while the demo plays
  if (HasFatalFailure()) return;
  ASSERT_TRUE(WaitForLog("StartDemo:not during a playback.", 10)) << tw_test::ReadFile("log");
  ASSERT_TRUE(tw_test::FileExists("demo.avi.tmp")) << tw_test::ReadFile("log");
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
