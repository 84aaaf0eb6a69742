// The frame on the screen: the world drawn through the off-screen buffer.
#include <gtest/gtest.h>

#include "foundation/var.h"
#include "render/render.h"
#include "support/render_support.h"
#include "world_fixture.h"

namespace {

bool g_gl;

class FrameOnScreen : public tw_test::WorldTest {
 protected:
  static void SetUpTestSuite() { g_gl = tw_test::StartGlWindow("world frame"); }
  static void TearDownTestSuite() {
    if (g_gl) tw_test::StopGlWindow();
  }
  void SetUp() override {
    if (!g_gl) GTEST_SKIP() << "no OpenGL";
    WorldTest::SetUp();
  }
  // The centre pixel of the frame just drawn (before the next frame presents it).
  static void Centre(uint8_t bgra[4]) {
    Render_ReadPixels(Render_ScreenWidth / 2, Render_ScreenHeight / 2, 1, 1, bgra);
  }
};

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

}  // namespace
