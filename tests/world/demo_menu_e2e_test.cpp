// A demo's playback: F5 leaves the quick save alone; Escape's in-game menu stays while the demo
// starts again under it, and Escape brings the playing demo back (the menu used to vanish at the
// restart and leave a black screen that no key cleared).
#include <string>

#include "e2e_fixture.h"

namespace {

using tw_test::ScreenImage;
using DemoMenuE2E = tw_test::GameE2E;

TEST_F(DemoMenuE2E, EscapeDuringADemoAndBack) {
  StartNewGame();
  if (HasFatalFailure()) return;
  InGameMenu(2);  // Record demo
  if (HasFatalFailure()) return;
  Keys({"w"}, 600);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  InGameMenu(3);  // Stop recording
  if (HasFatalFailure()) return;
  ASSERT_TRUE(WaitForLog("StartRecord:ended.", 10)) << tw_test::ReadFile("log");
  InGameMenu(5);  // End game
  if (HasFatalFailure()) return;
  ScreenImage img;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ASSERT_TRUE(WaitFor(Menu, &img, 20)) << "no main menu; the log:\n" << tw_test::ReadFile("log");
  Keys({"Down", "Down", "Down", "Return"});  // Play demo
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Keys({"Return"});  // the recorded demo
  ASSERT_TRUE(WaitForLog("StartDemo:playdemo.", 10)) << tw_test::ReadFile("log");
  // F5 during the playback leaves the quick save as it was (it used to take the demo's world).
  const std::string earlier = "an earlier quick save";
  tw_test::WriteFile("save/quicksave/quick.sav", earlier);
  const size_t logSize = tw_test::ReadFile("log").size();
  Keys({"F5"});
  WaitForLogAfter(logSize, "Save:", 10);  // the refusal, or a save
  EXPECT_TRUE(tw_test::ReadFile("save/quicksave/quick.sav") == earlier) << "F5 during a demo replaced the quick save";
  EXPECT_NE(tw_test::ReadFile("log").find("Save:not during a playback."), std::string::npos) << tw_test::ReadFile("log");
  Keys({"Escape"});
  ASSERT_TRUE(WaitFor(Menu, &img, 20)) << "no in-game menu over the demo";
  // The demo ends under the menu and starts again by its chain.
  auto starts = [] { return tw_test::CountOccurrences(tw_test::ReadFile("log"), "StartDemo:playdemo."); };
  for (int i = 0; i < 150 && starts() < 2 && Running(); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_GE(starts(), 2u) << tw_test::ReadFile("log");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  img = tw_test::GrabScreen();
  EXPECT_TRUE(Menu(img)) << "the in-game menu went with the restart";
  // Escape resumes: the demo shows again.
  Keys({"Escape"});
  auto playing = [](const ScreenImage& i) { return !Menu(i) && tw_test::Spread(i) > 8; };
  EXPECT_TRUE(WaitFor(playing, &img, 20)) << "the screen stayed black or in the menu (bar pixels " << tw_test::BarPixels(img)
                                           << ", spread " << tw_test::Spread(img) << "); the log:\n" << tw_test::ReadFile("log");
  EndGameAndQuit();
}

}  // namespace
