// The HUD on the test display, read back as real pixels: it is exactly its text drawn directly.
// (The menus' bar and rows are read off the screen by the front end's end-to-end test.)
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "foundation/file.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "hud/hud.h"
#include "platform/display_sdl.h"
#include "platform/window.h"
#include "render/render.h"
#include "render/text.h"
#include "support/test_support.h"
#include "world/object.h"

namespace {

class HudScreen : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!tw_test::HaveDisplay()) return;
    dir_ = new tw_test::TempDir();
    File_Init();
    up_ = tw_test::PutTestFont("Face.ttf") && Plat_WindowCreate("hud test");
    if (!up_) return;
    Video_EnumDisplayModes(1);
    Video_Init(0);
    std::strcpy(Var_Find("video_font")->text, "Face");
    Var_Find("video_windowed")->value = 1;
    Video_Init(1);
    Var_Find("video_text_shadow")->value = 0;
  }
  static void TearDownTestSuite() {
    if (up_) {
      Video_Shutdown();
      Video_RestoreDisplayMode();
      Plat_WindowDestroy();
    }
    up_ = false;
    if (dir_) File_Shutdown();
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!up_ || RenderApi != RENDER_API_OPENGL) GTEST_SKIP() << "no display, OpenGL or DejaVu font";
    Begin();
  }
  void TearDown() override { Obj_ClearAll(); }
  static void Begin() {
    Render_BeginFrame(0, 0, Video_ScreenWidth, Video_ScreenHeight);
    Render_Clear(1, 0, 0, 0);
    Render_SetDepthTest(0);
    Render_SetCull(0);
    Render_SetBlend(5);
  }
  static std::vector<uint8_t> Read() {
    std::vector<uint8_t> px(size_t(Video_ScreenWidth) * Video_ScreenHeight * 4);
    Render_ReadPixels(0, 0, Video_ScreenWidth, Video_ScreenHeight, px.data());
    return px;
  }
  static tw_test::TempDir* dir_;
  static bool up_;
};
tw_test::TempDir* HudScreen::dir_;
bool HudScreen::up_;

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
