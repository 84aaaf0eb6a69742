// The HUD on the test display, read back as real pixels: it is exactly its text drawn directly.
// (The menus' bar and rows are read off the screen by the front end's end-to-end test.)
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "foundation/text.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "hud/hud.h"
#include "render/render.h"
#include "render/text.h"
#include "support/render_support.h"
#include "world/object.h"

namespace {

class HudScreen : public tw_test::VideoScreenTest {
 protected:
  static void SetUpTestSuite() {
    VideoScreenTest::SetUpTestSuite();
    if (up_) Var_Find("video_text_shadow")->value = 0;
  }
  void SetUp() override {
    if (!haveFont_) GTEST_SKIP() << "no DejaVu font";
    VideoScreenTest::SetUp();
  }
  void TearDown() override { Obj_ClearAll(); }
};

TEST_F(HudScreen, TheHudIsItsTextDrawnDirectly) {
  GameObject* player = Obj_Alloc();
  player->person.health = 80;
  player->person.maxHealth = 100;
  Obj_Player = player;
  Hud_Draw();
  std::vector<uint8_t> hud = Read();
  Obj_Player = nullptr;
  Begin();
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(0);
  Print_SetWidthScale(kHudTextSize);
  Print_SetSize(kHudTextSize);
  Print_SetColor(kHudTextColor[0], kHudTextColor[1], kHudTextColor[2], kHudTextColor[3]);
  Print_TextBox(kHudBox[0], kHudBox[1], kHudBox[2], kHudBox[3], "Health 80 / 100\n");
  std::vector<uint8_t> direct = Read();
  size_t lit = 0;
  for (size_t i = 0; i < hud.size(); i += 4) lit += hud[i + 2] > 100;
  EXPECT_GT(lit, 100u) << "the HUD drew nothing";
  EXPECT_TRUE(hud == direct) << "the HUD differs from its text drawn directly";
  Begin();
  Hud_Draw();  // no player: nothing
  std::vector<uint8_t> none = Read();
  for (size_t i = 0; i < none.size(); i += 4) ASSERT_EQ(none[i + 2], 0) << i;
}

// The live lines show from the top, oldest first, one below the other, exactly as their text drawn
// in the message style; once the newest has expired nothing shows.
TEST_F(HudScreen, MessageLinesShowFromTheTopUntilTheyExpire) {
  Console_Clear();
  const double saved = Timer_FrameTime;
  Timer_FrameTime = 100.0;
  Console_AddMessage(u"hidden: older than an expired line", 200.0);
  Console_AddMessage(u"expired", 99.0);
  Console_AddMessage(u"You got 10000 money", 107.0);
  Console_AddMessage(u"x", 107.0);  // one character: left out
  Console_AddMessage(u"god mode on", 107.0);
  Begin();
  Hud_DrawMessageLines();
  std::vector<uint8_t> lines = Read();
  Begin();
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(0);
  Print_SetWidthScale(kHudMessageSize);
  Print_SetSize(kHudMessageSize);
  Print_SetColor(1.0f, 1.0f, 1.0f, 0.8f);
  float next = Print_TextBoxHeightW(10, 0, 630, 480, u"You got 10000 money");
  Print_TextBoxW(10, 0, 630, next, u"You got 10000 money");
  Print_TextBoxW(10, next, 630, 480, u"god mode on");
  std::vector<uint8_t> direct = Read();
  // Lit rows: all within the top tenth of the screen (rows are stored bottom first).
  const size_t row = size_t(Render_ScreenWidth) * 4;
  size_t lit = 0, lowest = lines.size();
  for (size_t i = 0; i < lines.size(); i += 4)
    if (lines[i + 2] > 100) lit++, lowest = std::min(lowest, i / row);
  EXPECT_GT(lit, 100u) << "no message line drawn";
  EXPECT_GT(lowest, size_t(Render_ScreenHeight) * 9 / 10);
  EXPECT_TRUE(lines == direct) << "the lines differ from their text drawn directly";
  Timer_FrameTime = 107.5;
  Begin();
  Hud_DrawMessageLines();
  std::vector<uint8_t> none = Read();
  for (size_t i = 0; i < none.size(); i += 4) ASSERT_EQ(none[i + 2], 0) << i;
  Timer_FrameTime = saved;
  Console_Clear();
}

}  // namespace
