// The HUD and the menus on the test display, read back as real pixels: the HUD is exactly its
// text drawn directly; the main menu and the hero choice show their bar and their rows.
#include <gtest/gtest.h>

#include <cstdlib>
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
#include "ui/menu.h"
#include "ui/ui.h"
#include "world/object.h"

namespace {

const char kDejaVu[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class HudScreen : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!tw_test::HaveDisplay() || !tw_test::FileExists(kDejaVu)) return;
    dir_ = new tw_test::TempDir();
    tw_test::WriteBytes("Face.ttf", tw_test::ReadBytes(kDejaVu));
    File_Init();
    up_ = Plat_WindowCreate("hud test") != 0;
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
  void TearDown() override {
    Obj_ClearAll();
    UI_ClearMenuStack(UI_System);
  }
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
  // B, G, R, A at (x, y) of the 640 x 480 layout.
  static const uint8_t* At(const std::vector<uint8_t>& px, float x, float y) {
    int sx = int(x * Video_ScreenWidth / 640.0f), sy = int(y * Video_ScreenHeight / 480.0f);
    return &px[(size_t(Video_ScreenHeight - 1 - sy) * Video_ScreenWidth + sx) * 4];
  }
  static bool IsBar(const uint8_t* p) {
    return std::abs(p[2] - kUiBarColor[0]) < 4 && std::abs(p[1] - kUiBarColor[1]) < 4 &&
           std::abs(p[0] - kUiBarColor[2]) < 4;
  }
  // Light text pixels in item row `row` (x 200..440).
  static int TextIn(const std::vector<uint8_t>& px, int row) {
    int n = 0;
    for (float y = kUiItemTop + row * kUiItemHeight; y < kUiItemTop + (row + 1) * kUiItemHeight; y += 1)
      for (float x = kUiItemLeft; x < kUiItemRight; x += 1) {
        const uint8_t* p = At(px, x, y);
        n += p[0] > 180 && p[1] > 180 && p[2] > 180;
      }
    return n;
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

TEST_F(HudScreen, TheMainMenuAndTheHeroChoiceShowTheirBarAndRows) {
  Menu_SetMain();
  Menu_Draw();
  std::vector<uint8_t> px = Read();
  EXPECT_TRUE(IsBar(At(px, kUiItemLeft + 4, kUiItemTop + 4)));
  EXPECT_FALSE(IsBar(At(px, kUiItemLeft + 4, kUiItemTop + kUiItemHeight + 4)));
  for (int row = 0; row < 3; row++) EXPECT_GT(TextIn(px, row), 20) << row;
  EXPECT_EQ(TextIn(px, 3), 0);
  ASSERT_EQ(UI_PushMenu(UI_System, "newgame", nullptr), 1);
  UI_System->stack[UI_System->depth - 1].selection = 1;
  Begin();
  Menu_Draw();
  px = Read();
  EXPECT_FALSE(IsBar(At(px, kUiItemLeft + 4, kUiItemTop + 4)));
  EXPECT_TRUE(IsBar(At(px, kUiItemLeft + 4, kUiItemTop + kUiItemHeight + 4)));
  EXPECT_GT(TextIn(px, 0), 20);
  EXPECT_GT(TextIn(px, 1), 20);
  EXPECT_EQ(TextIn(px, 2), 0);
}

}  // namespace
