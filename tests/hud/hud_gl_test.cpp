// The HUD on the test display, read back as real pixels: it is exactly its text drawn directly.
// (The menus' bar and rows are read off the screen by the front end's end-to-end test.)
#include <gtest/gtest.h>

#include <vector>

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

}  // namespace
