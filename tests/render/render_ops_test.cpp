// The render operations against the recording GL table: the blend and unit caches, the filters,
// bounds of units and indices, presenting, and the no-back-end and Direct3D paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/var.h"
#include "platform/gl_context_sdl.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"

namespace {

using Calls = std::vector<std::string>;

template <typename... A>
std::string C(const char* name, A... args) {
  return GlRecord_Format(name, args...);
}

int g_swaps;
std::vector<int> g_intervals;
void FakeSwap() { ++g_swaps; }
int FakeInterval(int i) {
  g_intervals.push_back(i);
  return 0;
}

class RenderOps : public ::testing::Test {
 protected:
  void SetUp() override {
    Render_ResetBlock();
    GlDispatch_InstallRecording();
    RenderApi = RENDER_API_OPENGL;
    GlExtFlags.ARB_multitexture = 1;
    Render_SetScreenSize(800, 600);
    CurrentBlendMode = -1;
    ActiveTexUnit = -1;
    RenderFogWanted = 0;
    render_filter.value = 0;
    render_draworder.value = 0;
    render_vsync.value = 0;
    for (int& u : UnitFromDds) u = 0;
    g_swaps = 0;
    g_intervals.clear();
  }
  void TearDown() override {
    Render_ResetBlock();
    Plat_GlRestoreDefaults();
  }
  static Calls Take() {
    Calls c = GlRecord_Calls();
    GlRecord_Clear();
    return c;
  }
};

// Calls every operation once with harmless arguments.
void EveryOperation() {
  ImmVertex v = {};
  float f4[4] = {0, 0, 0, 1};
  float m9[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  Render_BeginFrame(0, 0, 800, 600);
  Render_Clear(1, 1, 1, 1);
  Render_ClearStencil(0);
  Render_SetBlend(3);
  Render_SelectTexUnit(1);
  Render_SelectClientTexUnit(1);
  Tex_Bind(2, 0, 2);
  Tex_BindCube(0, 0, 2);
  Render_SetTexWrap(0, 1);
  Render_SetDepthTest(1);
  Render_SetDepthWrite(1);
  Render_SetDepthFunc(1);
  Render_SetLineWidth(2);
  Render_SetPointSize(2);
  Render_SetCull(2);
  Render_SetLighting(1);
  Render_EnableLight(0, 1);
  Render_SetLight(0, f4, f4, f4, f4);
  Render_SetMaterialColor(f4, f4, f4);
  Render_SetPolygonOffset(1);
  Render_SetFogEnable(1);
  Render_SetFog(0, 1, f4);
  Render_SetColorMask(1, 1, 1, 1);
  Render_SetPolygonMode(1);
  Render_DrawPoint(&v);
  Render_DrawLine(&v, &v);
  Render_DrawTriangle(&v, &v, &v);
  Render_SetPerspective(60, 100, 1);
  Render_SetCamera(f4, f4);
  Render_PushMatrix();
  Render_MultMatrix(m9, f4);
  Render_Translate(1, 2, 3);
  Render_Rotate(1, 0, 0, 1);
  Render_Scale(1, 1, 1);
  Render_PopMatrix();
  Render_SetViewport(0, 0, 1, 1);
  Render_SetScissor(0, 0, 1, 1);
  unsigned char px[4] = {};
  Render_UpdateTexSubImage(0, 0, 0, 1, 1, 32, px);
  Render_EndFrame(1, 1);
}

}  // namespace

TEST_F(RenderOps, BlendAndUnitRepeatsAreSkippedUntilTheNextFrame) {
  Render_SetBlend(5);
  const Calls blend = Take();
  EXPECT_EQ(blend[1], C("glBlendFunc", GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA));
  Render_SetBlend(5);
  Render_SelectTexUnit(1);
  Render_SelectTexUnit(1);
  EXPECT_EQ(Take(), Calls{C("glActiveTextureARB", GL_TEXTURE1_ARB)});
  Render_BeginFrame(0, 0, 800, 600);
  Take();
  Render_SetBlend(5);
  EXPECT_EQ(Take(), blend);
  // A mode above seven changes nothing but is remembered.
  Render_SetBlend(9);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(CurrentBlendMode, 9);
}

TEST_F(RenderOps, ANewBindingSetsTheFilterOfItsKindAndSetting) {
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_2D, {7});
  GlLimits.maxAnisotropy = 8;
  const int nearestMip = GL_LINEAR_MIPMAP_NEAREST, trilinear = GL_LINEAR_MIPMAP_LINEAR;
  struct Case {
    int kind;
    float filter;
    int anisotropic;
    std::string last;
  } cases[] = {
      {2, 0, 0, C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, nearestMip)},
      {2, 1.0f, 1, C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, trilinear)},
      {2, 1.5f, 1, C("glTexParameterf", GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 4.5f)},
      {2, 2.0f, 1, C("glTexParameterf", GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 8.0f)},
      {2, 2.5f, 1, C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, trilinear)},
      {2, 1.5f, 0, C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, trilinear)},
  };
  for (const Case& c : cases) {
    render_filter.value = c.filter;
    GlExtFlags.EXT_texture_filter_anisotropic = uint8_t(c.anisotropic);
    Tex_Bind(0, 0, c.kind);
    EXPECT_EQ(Take().back(), c.last) << c.kind << " " << c.filter << " " << c.anisotropic;
  }
  // A new cube binding clamps all three coordinates.
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_CUBE_MAP_ARB, {3});
  Tex_BindCube(2, 0, 1);
  Calls got = Take();
  EXPECT_NE(std::find(got.begin(), got.end(),
                      C("glTexParameteri", GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE)),
            got.end());
}

TEST_F(RenderOps, UnitsIndicesAndSwitchValuesOutsideTheirTablesAreSafe) {
  UnitFromDds[7] = 5;
  Tex_Bind(8, 0, 1);
  Tex_BindCube(100, 0, 1);
  Tex_Bind(-1, 0, 1);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(UnitFromDds[7], 5);
  Tex_Bind(7, 0, 1);
  EXPECT_EQ(UnitFromDds[7], 0);
  // A texture index outside the table binds texture zero.
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_2D, {5});
  for (int index : {1 << 20, -3}) {
    Take();
    Tex_Bind(0, index, 1);
    Calls got = Take();
    EXPECT_NE(std::find(got.begin(), got.end(), C("glBindTexture", GL_TEXTURE_2D, 0)), got.end()) << index;
  }
  // Without multitexture only unit 0 binds.
  GlExtFlags.ARB_multitexture = 0;
  Tex_Bind(1, 0, 1);
  Render_SelectTexUnit(2);
  EXPECT_TRUE(Take().empty());
  // Switches ignore values outside their list.
  Render_SetDepthTest(2);
  Render_SetDepthWrite(3);
  Render_SetPolygonMode(7);
  Render_SetCull(3);
  EXPECT_EQ(Take(), Calls{C("glDisable", GL_CULL_FACE)});
  Render_SetColorMask(0, 5, 1, 0);
  EXPECT_EQ(Take(), Calls{C("glColorMask", 0, 1, 1, 0)});
  // The field of view is horizontal: 90 degrees at 800 x 600 is a frustum of +-1 by +-0.75.
  Render_SetPerspective(90, 32000, 1);
  EXPECT_EQ(Take(), (Calls{C("glMatrixMode", GL_PROJECTION), C("glLoadIdentity"),
                           C("glFrustum", -1.0, 1.0, -0.75, 0.75, 1.0, 32000.0), C("glMatrixMode", GL_MODELVIEW)}));
  Render_SetScreenSize(0, 0);  // no frustum from a zero width
  Render_SetPerspective(90, 32000, 1);
  for (const auto& c : Take()) EXPECT_EQ(c.find("glFrustum"), std::string::npos) << c;
}

TEST_F(RenderOps, EndFrameFlushesSwapsAndFollowsVsyncOnlyWithSwapControl) {
  Plat_Gl.swapWindow = FakeSwap;
  Plat_Gl.setSwapInterval = FakeInterval;
  Render_EndFrame(1, 1);
  EXPECT_EQ(Take(), Calls{C("glFlush")});
  EXPECT_EQ(g_swaps, 1);
  EXPECT_TRUE(g_intervals.empty());  // no swap control
  Render_EndFrame(0, 0);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(g_swaps, 1);
  // With swap control the interval follows "render_vsync" from the next present on.
  GlExtFlags.WGL_EXT_swap_control = 1;
  OPENGL_ApplySwapInterval(0);
  g_intervals.clear();
  render_vsync.value = 1;
  Render_EndFrame(1, 1);
  Render_EndFrame(1, 1);
  EXPECT_EQ(g_intervals, std::vector<int>{1});
  render_vsync.value = 0;
  Render_EndFrame(1, 1);
  EXPECT_EQ(g_intervals, (std::vector<int>{1, 0}));
  EXPECT_EQ(g_swaps, 4);
}

TEST_F(RenderOps, WithNoBackEndOrDirect3DNoOperationReachesOpenGL) {
  Render_ResetBlock();  // every entry point null: a call would crash
  ASSERT_EQ(RenderApi, 0u);
  EveryOperation();
  int x = 5, y = 5, w = 5, h = 5;
  Render_GetViewport(&x, &y, &w, &h);
  EXPECT_EQ(x + y + w + h, 0);
  unsigned char px[4] = {1, 2, 3, 4};
  Render_ReadPixels(0, 0, 1, 1, px);
  EXPECT_EQ(px[0], 1);
  EXPECT_EQ(Render_CreateVertexBuffer(10, 0), 0u);
  // Direct3D: every operation goes to its twin; the blend cache works for both back ends.
  SetUp();
  RenderApi = RENDER_API_D3D8;
  EveryOperation();
  Render_ReadPixels(0, 0, 1, 1, px);
  EXPECT_EQ(PBuffer_Create(256, 256), nullptr);  // OpenGL only
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(CurrentBlendMode, 3);
  EXPECT_EQ(ActiveTexUnit, -1);  // units are an OpenGL matter
}
