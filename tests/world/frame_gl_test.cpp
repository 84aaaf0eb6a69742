// The frame on the screen: objects drawn by their Draw operations through the world pass, no world
// under a menu, the world drawn through the off-screen buffer, and the black clear of the fixed
// capture rate.
#include <gtest/gtest.h>

#include "foundation/var.h"
#include "render/draw2d.h"
#include "tools/image_writer.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "render/material.h"
#include "render/render.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "world_fixture.h"

namespace {

bool g_gl;

// A red square 80 units wide at the object, drawn in the opaque pass.
void DrawRedSquare(GameObject* self, ViewParams* view) {
  if (view->pass != 0) return;
  Material_Bind(0, 0, 0.0, 2);
  Render_SetLighting(0);
  Render_SetBlend(0);
  auto v = [&](float x, float z) {
    ImmVertex c{};
    c.x = self->origin.x + x;
    c.y = self->origin.y;
    c.z = self->origin.z + z;
    c.r = 255;
    c.a = 255;
    return c;
  };
  ImmVertex a = v(-40, -40), b = v(40, -40), c = v(40, 40), d = v(-40, 40);
  Render_DrawTriangle(&a, &b, &c);
  Render_DrawTriangle(&a, &c, &d);
}

class FrameOnScreen : public tw_test::WorldTest {
 protected:
  static void SetUpTestSuite() { g_gl = tw_test::StartGlWindow("world frame"); }
  static void TearDownTestSuite() {
    if (g_gl) tw_test::StopGlWindow();
  }
  void SetUp() override {
    if (!g_gl) GTEST_SKIP() << "no OpenGL";
    WorldTest::SetUp();
    Game_Running = 1;  // with no game the front end's menu would cover the world
  }
  // The centre pixel of the frame just drawn (before the next frame presents it).
  static void Centre(uint8_t bgra[4]) {
    Render_ReadPixels(Render_ScreenWidth / 2, Render_ScreenHeight / 2, 1, 1, bgra);
  }
};

TEST_F(FrameOnScreen, DrawOperationsShowThroughTheWorldPassButNotUnderAMenu) {
  GameObject* box = Spawn(WORLD, 0, 200);
  box->slots.Draw = DrawRedSquare;
  uint8_t px[4];
  Game_Frame();
  Centre(px);
  EXPECT_GT(px[2], 200);  // red
  EXPECT_LT(px[1], 50);
  box->flags &= ~OBJ_ACTIVE;  // inactive objects are not drawn
  Game_Frame();
  Centre(px);
  EXPECT_LT(px[2], 50);
  box->flags |= OBJ_ACTIVE;
  Game_MenuOpen = 1;
  Game_Frame();
  Centre(px);
  EXPECT_LT(px[2], 50);
  Game_MenuOpen = 0;
}

TEST_F(FrameOnScreen, TheOffScreenPictureCoversTheWindow) {
  Render_PBuffer = PBuffer_Create(256, 256);
  ASSERT_NE(Render_PBuffer, nullptr) << Log();
  render_pbuffer.value = 256;
  // Fog on: the off-screen buffer is cleared to the fog colour.
  Var_SetValue(&render_fog, 1);
  Var_SetValue(&render_fog_r, 1);
  Var_SetValue(&render_fog_g, 0);
  Var_SetValue(&render_fog_b, 0);
  Game_Frame();
  uint8_t px[4];
  Centre(px);
  EXPECT_GT(px[2], 200);
  EXPECT_LT(px[1], 50);
  Var_SetValue(&render_fog, 0);
  render_pbuffer.value = 0;
  PBuffer_Destroy(Render_PBuffer);
  Render_PBuffer = nullptr;
  Game_Frame();  // without fog and buffer: black
  Centre(px);
  EXPECT_LT(px[2], 50);
}

// At the fixed capture rate the world is cleared black whatever the fog: for a demo's capture and
// for the camera sequence with "render_drawavi".
TEST_F(FrameOnScreen, TheFixedCaptureRateClearsBlackUnderFog) {
  Var_SetValue(&render_fog, 1);
  Var_SetValue(&render_fog_r, 1);
  Var_SetValue(&render_fog_g, 0);
  Var_SetValue(&render_fog_b, 0);
  uint8_t px[4];
  Game_Frame();
  Centre(px);
  EXPECT_GT(px[2], 200) << "fog colour in play";
  Game_SpecialFlag = 1;
  Game_Frame();
  Centre(px);
  EXPECT_GT(px[2], 200) << "the camera sequence alone keeps the fog colour";
  Var_SetValue(&render_drawavi, 1);
  Game_Frame();
  Centre(px);
  EXPECT_LT(px[2], 50) << "the camera sequence's capture kept the fog colour";
  Var_SetValue(&render_drawavi, 0);
  Game_SpecialFlag = 0;
  Game_DemoFlags |= DEMO_CAPTURE;
  Game_Frame();
  Centre(px);
  EXPECT_LT(px[2], 50) << "the demo's capture kept the fog colour";
  Game_DemoFlags &= ~DEMO_CAPTURE;
  Var_SetValue(&render_fog, 0);
}

// A 2D picture keeps its texture across a level release: the crosshair is white again after the
// texture table was emptied and its old ids given to other (red) pictures.
TEST_F(FrameOnScreen, TheCrosshairKeepsItsPictureAcrossALevelRelease) {
  tw_test::WriteBytes("sprites/SBar/cross0.tga", ImageTool_WriteTGA(ImageTool_Solid(16, 16, 255, 255, 255, 255), 32));
  const std::vector<uint8_t> red = ImageTool_WriteTGA(ImageTool_Solid(16, 16, 0, 0, 255, 255), 32);
  Var_SetValue(Var_Find("render_crosshair"), 0);
  Level_Free();
  uint8_t px[4];
  for (int round = 0; round < 2; round++) {
    StartGame();
    Game_Frame();
    Centre(px);
    EXPECT_GT(px[0], 200) << round;  // white, not one of the red pictures
    EXPECT_GT(px[1], 200) << round;
    Level_Free();
    for (int i = 0; i < 8; i++) {
      std::string name = "sprites/red" + std::to_string(i);
      tw_test::WriteBytes(name + ".tga", red);
      Picture picture;
      Draw2D_LoadPicture(name.c_str(), &picture);
    }
  }
}

}  // namespace
