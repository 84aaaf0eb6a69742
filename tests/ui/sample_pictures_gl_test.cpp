// The sample game's pictures of the menus and the play screen, drawn from its archive: the menus'
// pointer, the talk, search and hack markers, the crosshair that each "render_crosshair" value 0
// to 3 chooses, and the red edge of a hit.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "characters/player.h"
#include "foundation/var.h"
#include "platform/window.h"
#include "render/draw2d.h"
#include "render/render.h"
#include "render/texture.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "ui/ui.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/object.h"
#include "world/tick.h"

namespace {

class SamplePictures : public tw_test::SampleGameGlTest {
 protected:
  void SetUp() override {
    SampleGameGlTest::SetUp();
    if (Stopped()) return;
    StartOpenGl();
    if (HasFatalFailure()) return;
  }
  static void Begin() {
    Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
    Render_Clear(1, 0, 0, 0);
    View_ResetRenderState();
    Render_SetDepthTest(0);
  }
  // The lit pixels of the frame (anything not black), with the frame's bytes.
  static int Lit(std::vector<uint8_t>* bytes = nullptr) {
    std::vector<uint8_t> px = tw_test::ReadScreenAndEndFrame().bgra;
    int n = 0;
    for (size_t i = 0; i < px.size(); i += 4) n += px[i] + px[i + 1] + px[i + 2] > 60;
    if (bytes) *bytes = std::move(px);
    return n;
  }
};

TEST_F(SamplePictures, PointerMarkersAndEveryCrosshairAreInTheSample) {
  for (const char* name : {"sprites\\Menu\\cursor", "sprites\\sbar\\talkplace", "sprites\\sbar\\search",
                           "sprites\\sbar\\hack", "sprites\\SBar\\cross00", "sprites\\SBar\\cross000",
                           "sprites\\SBar\\cross0000"}) {
    Picture p{};
    EXPECT_GT(Draw2D_LoadPicture(name, &p), 0) << name;
    Begin();
    Draw2D_PictureAt(100, 100, &p, 1, Color8{255, 255, 255, 255});
    EXPECT_GT(Lit(), 10) << name << " shows nothing";
  }
  // Each crosshair setting draws its own picture in the middle of the play screen.
  static VarRecord crosshair{"render_crosshair", 0, VAR_SETTABLE, 0, "0", 0, nullptr};
  VarRecord* setting = Var_Register(&crosshair);
  ASSERT_NE(setting, nullptr);
  GameObject* player = Obj_Alloc();
  player->person.state = 1;
  Obj_Player = player;
  std::set<std::vector<uint8_t>> frames;
  for (int choice = 0; choice < 4; choice++) {
    Var_SetValue(setting, float(choice));
    Begin();
    Game_Draw2D();
    std::vector<uint8_t> px;
    EXPECT_GT(Lit(&px), 10) << "render_crosshair " << choice;
    frames.insert(px);
  }
  EXPECT_EQ(frames.size(), 4u);
  // The menus draw the pointer where it is.
  Obj_Player = nullptr;
  Game_MenuOpen = 1;
  ASSERT_EQ(UI_PushMenu(UI_System, "mainmenu", nullptr), 1);
  Game_CursorX = 20;
  Game_CursorY = 20;
  Begin();
  Game_Draw2D();
  std::vector<uint8_t> px;
  Lit(&px);
  const int w = Render_ScreenWidth, h = Render_ScreenHeight;
  int yellow = 0;  // in the pointer's 16 x 16 layout box from (20, 20)
  for (int y = h - 1 - int(36.0f * float(h) / 480); y < h - int(20.0f * float(h) / 480); y++)
    for (int x = int(20.0f * float(w) / 640); x < int(36.0f * float(w) / 640); x++) {
      const uint8_t* p = &px[(size_t(y) * size_t(w) + size_t(x)) * 4];
      yellow += p[2] > 200 && p[1] > 180 && p[0] < 140;
    }
  EXPECT_GT(yellow, 5) << "no pointer";
  UI_ClearMenuStack(UI_System);
  Game_MenuOpen = 0;
  Game_CentreCursor();
}

// A hit flashes the screen's edges red ("sprites\damage"), and the flash fades within a second or two.
TEST_F(SamplePictures, AHitFlashesTheEdgesOfThePlayScreenRed) {
  GameObject* player = Obj_Alloc();
  player->classNum = MACHINEPLAYER;
  Load_ObjectX(player);
  player->person.state = 1;
  player->person.health = player->person.maxHealth = 100;
  Obj_Player = player;
  // Red pixels in the bottom right corner (clear of the HUD's lines at the bottom left).
  auto redCorner = [] {
    Begin();
    Game_Draw2D();
    std::vector<uint8_t> px;
    Lit(&px);
    const int w = Render_ScreenWidth, h = Render_ScreenHeight;
    int red = 0;
    for (int y = 0; y < h / 10; y++)
      for (int x = w - w / 10; x < w; x++) {
        const uint8_t* p = &px[(size_t(y) * size_t(w) + size_t(x)) * 4];
        red += p[2] > 90 && p[1] < 60 && p[0] < 60;
      }
    return red;
  };
  EXPECT_EQ(redCorner(), 0);
  Player_Damage(player, nullptr, 25.0f, 0, nullptr, 0, 0);
  ASSERT_EQ(player->person.state, 1);
  EXPECT_GT(redCorner(), 100) << "a hit shows no damage flash";
  for (int i = 0; i < 20; i++) {
    Game_TickFrame = DemoFrame{0.1f, 0, 0, 0};
    Player_Think(player);
  }
  EXPECT_EQ(redCorner(), 0) << "the flash did not fade";
  Obj_Player = nullptr;
}

}  // namespace
