// The renderer on a real OpenGL context (Mesa llvmpipe under the test display): start-up, the
// llvmpipe extension flags, clears, blend modes, fog, depth order, matrices, read-back, the
// off-screen buffer, all checked on pixels read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "platform/window.h"
#include "render/glext.h"
#include "render/render.h"
#include "support/render_support.h"

namespace {

struct Bgra {
  int b, g, r, a;
};

int Byte(float f) { return static_cast<int>(std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f)); }

void ExpectNear(const Bgra& got, int r, int g, int b, int tolerance, const char* what) {
  EXPECT_NEAR(got.r, r, tolerance) << what;
  EXPECT_NEAR(got.g, g, tolerance) << what;
  EXPECT_NEAR(got.b, b, tolerance) << what;
}

class RenderGl : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    if (!tw_test::HaveDisplay()) GTEST_SKIP() << "no display";
    setenv("TW_UNATTENDED", "1", 1);
    LoggedTest::SetUp();
    ASSERT_EQ(Plat_WindowCreate("Tarnwick render test"), 1);
    Var_ResetTable();
    Render_Init(0);
    w_ = Plat_WindowWidth();
    h_ = Plat_WindowHeight();
    Render_SetScreenSize(w_, h_);
    RenderFogWanted = 0;
    Sys_QuitRequested = 0;
  }
  void TearDown() override {
    Render_Shutdown();
    Plat_WindowDestroy();
    Var_ResetTable();
    LoggedTest::TearDown();
  }
  void Start(float pbuffer = 0) {
    render_pbuffer.value = pbuffer;
    Render_Init(1);
    ASSERT_EQ(RenderApi, 1u) << Log();
  }
  static Bgra Pixel(int x, int y) {
    unsigned char p[4] = {};
    Render_ReadPixels(x, y, 1, 1, p);
    return {p[0], p[1], p[2], p[3]};
  }
  Bgra Centre() const { return Pixel(w_ / 2, h_ / 2); }
  // A 2D layer in pixels, untextured.
  void Begin2D() {
    Render_BeginFrame(0, 0, w_, h_);
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(0, w_, 0, h_, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    gl.glDisable(GL_TEXTURE_2D);
    Render_SetDepthTest(0);
  }
  void FullQuad(int r, int g, int b, int a, float u1 = 1, float v1 = 1) {
    ImmVertex v0 = {0, 0, 0, uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a), 0, 0};
    ImmVertex v1w = {float(w_), 0, 0, uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a), u1, 0};
    ImmVertex v2 = {float(w_), float(h_), 0, uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a), u1, v1};
    ImmVertex v3 = {0, float(h_), 0, uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a), 0, v1};
    Render_DrawTriangle(&v0, &v1w, &v2);
    Render_DrawTriangle(&v0, &v2, &v3);
  }
  // A big triangle across the view in the plane `distance` units ahead of a camera at rest.
  static void WallAhead(float distance, int r, int g, int b) {
    ImmVertex a = {-1000, distance, -1000, uint8_t(r), uint8_t(g), uint8_t(b), 255, 0, 0};
    ImmVertex c = {1000, distance, -1000, uint8_t(r), uint8_t(g), uint8_t(b), 255, 0, 0};
    ImmVertex d = {0, distance, 1000, uint8_t(r), uint8_t(g), uint8_t(b), 255, 0, 0};
    Render_DrawTriangle(&a, &c, &d);
  }
  // Draws red into the buffer, returns to the window and checks the texture and a textured quad.
  void RoundTrip(PBuffer* pb, int w, int h, GLenum target) {
    PBuffer_MakeCurrent(pb);
    Render_BeginFrame(0, 0, w, h);
    Render_Clear(1, 1, 0, 0);
    ExpectNear(Pixel(w / 2, h / 2), 255, 0, 0, 0, "drawn into the buffer");
    PBuffer_MakeWindowCurrent(pb);
    Begin2D();
    Render_Clear(1, 0, 0, 1);
    if (target == GL_TEXTURE_2D) gl.glEnable(GL_TEXTURE_2D);
    PBuffer_BindTexture(pb);
    Render_SetBlend(0);
    FullQuad(255, 255, 255, 255, target == GL_TEXTURE_2D ? 1.0f : float(w), target == GL_TEXTURE_2D ? 1.0f : float(h));
    PBuffer_ReleaseTexture(pb);
    ExpectNear(Centre(), 255, 0, 0, 0, "the buffer's texture on the screen");
  }
  int w_ = 0, h_ = 0;
};

}  // namespace

TEST_F(RenderGl, StartUpOnLlvmpipeAndClearsReadBackBottomRowFirst) {
  ASSERT_NO_FATAL_FAILURE(Start());
  std::string log = Log();
  // A software rasterizer: the warning is logged and answered by its default.
  for (const char* line : {"GL_RENDERER:llvmpipe", "Compatibility Profile", "   cDepthBits:24\n   cStencilBits:8\n",
                           "WGL_EXTENSIONS: WGL_ARB_pbuffer WGL_ARB_pixel_format WGL_ARB_render_texture",
                           "OPENGL_FindPixelFormat: no hardware acceleration found\n", "MessageBox[OPENGL warning]"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
  EXPECT_EQ(Sys_QuitRequested, 0);
  EXPECT_EQ(std::vector<int>({GlLimits.maxTextureUnits, GlExtFlags.ARB_vertex_program, GlExtFlags.ATI_fragment_shader,
                              GlExtFlags.NV_register_combiners}),
            std::vector<int>({8, 1, 1, 0}));
  EXPECT_EQ(Render_PBuffer, nullptr);  // not without the setting
  // Clears read back bottom row first.
  Render_BeginFrame(0, 0, w_, h_);
  Render_Clear(1, 0.6f, 0.6f, 0.65f);
  ExpectNear(Centre(), 153, 153, 166, 1, "clear colour");
  Render_Clear(0, 0, 0, 0);
  ExpectNear(Pixel(3, 3), 153, 153, 166, 1, "a depth-only clear keeps the colour");
  Render_Clear(1, 0, 0, 1);
  Render_SetScissor(0, 0, 10, 10);
  Render_Clear(1, 1, 0, 0);
  Render_SetScissor(0, 0, w_, h_);
  ExpectNear(Pixel(0, 0), 255, 0, 0, 0, "lower left");
  ExpectNear(Pixel(w_ - 1, h_ - 1), 0, 0, 255, 0, "upper right");
}

TEST_F(RenderGl, EveryBlendModeOnAKnownBackgroundAndTheOpaqueModesAlphaTest) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const float bg[3] = {0.2f, 0.4f, 0.6f};
  const int s[4] = {200, 100, 50, 128};
  for (int mode = 0; mode <= 7; ++mode) {
    Begin2D();
    Render_Clear(1, bg[0], bg[1], bg[2]);
    Render_SetBlend(mode);
    FullQuad(s[0], s[1], s[2], s[3]);
    Bgra p = Centre();
    int want[3];
    for (int c = 0; c < 3; ++c) {
      float d = Byte(bg[c]) / 255.0f, sc = s[c] / 255.0f, a = s[3] / 255.0f;
      float out = 0;
      switch (mode) {
        case 0: out = sc; break;
        case 1: out = sc + d; break;
        case 2: out = d * sc; break;
        case 3: out = d * (1 - sc); break;
        case 4: out = 2 * sc * d; break;
        case 5: out = sc * a + d * (1 - a); break;
        case 6: out = sc * a + d; break;
        case 7: out = sc * (1 - a) + d; break;
      }
      want[c] = Byte(out);
    }
    std::string what = "mode " + std::to_string(mode);
    ExpectNear(p, want[0], want[1], want[2], 1, what.c_str());
  }
  // The opaque mode drops texels of alpha 0.
  Begin2D();
  Render_Clear(1, 0, 0, 1);
  Render_SetBlend(0);
  FullQuad(255, 0, 0, 0);
  ExpectNear(Centre(), 0, 0, 255, 1, "alpha 0 is dropped");
  FullQuad(255, 0, 0, 1);
  ExpectNear(Centre(), 255, 0, 0, 1, "alpha 1 is drawn");
}

TEST_F(RenderGl, FogOnlyWhenWantedAndOnlyWithBlendModeZeroAndTheDrawOrderSettingReversesTheDepthTest) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const float red[4] = {1, 0, 0, 1};
  Render_SetFog(0, 10, red);
  RenderFogWanted = 1;
  // Blend mode 0 with fog; a new frame turns it off; mode 0 on again; other modes have none.
  const struct {
    bool newFrame;
    int blend;
    int r, g;
  } steps[] = {{true, 0, 128, 128}, {true, -1, 0, 255}, {false, 0, 128, 128}, {false, 1, 0, 255}};
  for (const auto& step : steps) {
    if (step.newFrame) Render_BeginFrame(0, 0, w_, h_);
    gl.glDisable(GL_TEXTURE_2D);
    if (step.blend >= 0) Render_SetBlend(step.blend);
    Render_Clear(1, 0, 0, 0);
    WallAhead(5, 0, 255, 0);  // half way into the fog
    ExpectNear(Centre(), step.r, step.g, 0, 3, "fog step");
  }
  RenderFogWanted = 0;
  // The draw-order setting reverses the depth test.
  for (int reversed = 0; reversed <= 1; ++reversed) {
    render_draworder.value = float(reversed);
    Render_BeginFrame(0, 0, w_, h_);
    gl.glDisable(GL_TEXTURE_2D);
    Render_Clear(1, 0, 0, 0);
    WallAhead(5, 255, 0, 0);   // near
    WallAhead(10, 0, 255, 0);  // far
    if (reversed)
      ExpectNear(Centre(), 0, 255, 0, 1, "greater-or-equal: the far wall wins");
    else
      ExpectNear(Centre(), 255, 0, 0, 1, "less-or-equal: the near wall stays");
  }
  render_draworder.value = 0;
}

// Looking along +X (yaw 90) from (10, 20, 30): a wall 5 units ahead fills the view; the same wall
// moved by a model matrix (rotation and origin) behind the camera is not seen.
TEST_F(RenderGl, CameraLooksAlongItsAnglesModelMatricesMoveGeometryAndSubImagesLandInTheBoundTexture) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const float angles[3] = {float(M_PI / 2), 0, 0}, origin[3] = {10, 20, 30};
  const float rot[9] = {-1, 0, 0, 0, -1, 0, 0, 0, 1}, org[3] = {20, 40, 0};  // half a turn about z
  for (bool moved : {false, true}) {
    Render_BeginFrame(0, 0, w_, h_);
    gl.glDisable(GL_TEXTURE_2D);
    Render_SetCamera(angles, origin);
    Render_Clear(1, 0, 0, 0);
    if (moved) Render_MultMatrix(rot, org);
    ImmVertex a = {15, -1000, -1000, 255, 0, 0, 255, 0, 0}, b = {15, 1000, -1000, 255, 0, 0, 255, 0, 0};
    ImmVertex c = {15, 20, 1000, 255, 0, 0, 255, 0, 0};
    Render_DrawTriangle(&a, &b, &c);
    Render_DrawTriangle(&a, &c, &b);  // either winding
    ExpectNear(Centre(), moved ? 0 : 255, 0, 0, 1, moved ? "moved behind" : "ahead");
  }
  // The sub-image update writes the bound texture.
  Render_BeginFrame(0, 0, w_, h_);
  // Texture index 0 binds texture name 0, the context's default texture.
  Tex_Bind(0, 0, 1);
  std::vector<unsigned char> black(4 * 4 * 4, 0);
  gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_BGRA, GL_UNSIGNED_BYTE, black.data());
  const unsigned char bgr[3 * 2 * 2] = {10, 20, 30, 10, 20, 30, 10, 20, 30, 10, 20, 30};
  Render_UpdateTexSubImage(0, 1, 1, 2, 2, 24, bgr);
  const unsigned char lum[4] = {99, 99, 99, 99};
  Render_UpdateTexSubImage(0, 0, 0, 2, 2, 12, lum);  // an unknown depth uploads nothing
  std::vector<unsigned char> out(4 * 4 * 4);
  gl.glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, out.data());
  EXPECT_EQ(std::vector<int>({out[(1 * 4 + 1) * 4 + 0], out[(1 * 4 + 1) * 4 + 2], out[(2 * 4 + 2) * 4 + 1], out[0]}),
            std::vector<int>({10, 30, 20, 0}));
  Render_UpdateTexSubImage(0, 0, 0, 2, 2, 8, lum);
  gl.glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, out.data());
  EXPECT_EQ(out[0] + out[2], 2 * 99);
}

// A power-of-two side draws into a 2D texture; other sides (the setting truncated) into a rectangle.
TEST_F(RenderGl, PBufferDrawsIntoItsTexture) {
  for (float side : {256.0f, 300.7f}) {
    const int n = int(side);
    ASSERT_NO_FATAL_FAILURE(Start(side));
    ASSERT_NE(Render_PBuffer, nullptr);
    int pw = 0, ph = 0;
    PBuffer_GetSize(Render_PBuffer, &pw, &ph);
    EXPECT_EQ(std::vector<int>({pw, ph, Render_PBuffer->powerOfTwo}), std::vector<int>({n, n, n == 256}));
    RoundTrip(Render_PBuffer, n, n, n == 256 ? GL_TEXTURE_2D : GL_TEXTURE_RECTANGLE_NV);
    Render_Shutdown();
  }
  EXPECT_NE(Log().find("PBuffer created 256x256\n"), std::string::npos);
}
