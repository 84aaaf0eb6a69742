// The render operations against the recording GL table: the blend and unit caches, the filters,
// bounds of units and indices, the frame defaults' order, presenting, and the no-back-end and
// Direct3D paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

TEST_F(RenderOps, BlendRepeatIsSkippedUntilTheNextFrame) {
  Render_SetBlend(5);
  Calls want = {C("glEnable", GL_BLEND), C("glBlendFunc", GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA),
                C("glDisable", GL_FOG)};
  EXPECT_EQ(Take(), want);
  Render_SetBlend(5);
  Render_SelectTexUnit(1);
  Render_SelectTexUnit(1);
  EXPECT_EQ(Take(), Calls{C("glActiveTextureARB", GL_TEXTURE1_ARB)});
  Render_BeginFrame(0, 0, 800, 600);
  EXPECT_EQ(CurrentBlendMode, -1);
  EXPECT_EQ(ActiveTexUnit, -1);
  Take();
  Render_SetBlend(5);
  EXPECT_EQ(Take(), want);
  // A mode above seven changes nothing but is remembered.
  Render_SetBlend(9);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(CurrentBlendMode, 9);
}

TEST_F(RenderOps, OpaqueBlendTurnsFogOnOnlyWhenTheSceneWantsIt) {
  RenderFogWanted = 1;
  Render_SetBlend(0);
  EXPECT_EQ(Take().back(), C("glEnable", GL_FOG));
  Render_SetBlend(1);
  EXPECT_EQ(Take().back(), C("glDisable", GL_FOG));
  RenderFogWanted = 0;
  Render_SetBlend(0);
  EXPECT_EQ(Take().back(), C("glDisable", GL_FOG));
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
      {0, 0, 0, C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST)},
      {1, 0, 0, C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR)},
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
  // Binding the bound texture sets no filter.
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_2D, {0});
  Tex_Bind(0, 0, 2);
  EXPECT_EQ(Take().back(), C("glGetIntegerv", GL_TEXTURE_BINDING_2D, (void*)1));
  // A new cube binding clamps all three coordinates.
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_CUBE_MAP_ARB, {3});
  Tex_BindCube(2, 0, 1);
  Calls got = Take();
  EXPECT_NE(std::find(got.begin(), got.end(),
                      C("glTexParameteri", GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE)),
            got.end());
}

TEST_F(RenderOps, UnitsAndIndicesOutsideTheirTablesAreSafe) {
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
  Render_SelectClientTexUnit(2);
  EXPECT_TRUE(Take().empty());
  Tex_Bind(0, 0, 1);
  EXPECT_EQ(Take()[1], C("glBindTexture", GL_TEXTURE_2D, 0));
}

TEST_F(RenderOps, SwitchesIgnoreValuesOutsideTheirList) {
  Render_SetDepthTest(2);
  Render_SetDepthWrite(3);
  Render_SetPolygonMode(7);
  Render_SetCull(3);
  EXPECT_EQ(Take(), Calls{C("glDisable", GL_CULL_FACE)});
  Render_SetColorMask(0, 5, 1, 0);
  EXPECT_EQ(Take(), Calls{C("glColorMask", 0, 1, 1, 0)});
  Render_SetScreenSize(0, 0);  // no frustum from a zero width
  Render_SetPerspective(90, 32000, 1);
  for (const auto& c : Take()) EXPECT_EQ(c.find("glFrustum"), std::string::npos) << c;
}

TEST_F(RenderOps, CameraWithPitchAndRollLooksAlongItsForwardAxis) {
  const float angles[3] = {0.3f, float(M_PI / 2), 0.7f}, origin[3] = {1, 2, 3};
  Render_SetCamera(angles, origin);
  Calls got = Take();
  ASSERT_FALSE(got.empty());
  // The recorded matrix, column-major: a point 4 units along +Z from the origin is 4 ahead.
  float m[16];
  ASSERT_EQ(std::sscanf(got.back().c_str(),
                        "glMultMatrixf([%f, %f, %f, %f, %f, %f, %f, %f, %f, %f, %f, %f, %f, %f, %f, %f])", &m[0],
                        &m[1], &m[2], &m[3], &m[4], &m[5], &m[6], &m[7], &m[8], &m[9], &m[10], &m[11], &m[12],
                        &m[13], &m[14], &m[15]),
            16);
  const float p[3] = {1, 2, 7};
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(m[i] * p[0] + m[4 + i] * p[1] + m[8 + i] * p[2] + m[12 + i], i == 2 ? -4 : 0, 1e-3) << i;
}

TEST_F(RenderOps, BeginFrameSetsItsDefaultsInOrder) {
  Render_BeginFrame(10, 20, 300, 200);
  Calls got = Take();
  // Everything off first, then the context defaults, depth, projection, viewport, camera, light.
  const Calls anchors = {C("glDisable", GL_ALPHA_TEST),
                         C("glDisable", GL_TEXTURE_GEN_T),
                         C("glEnable", GL_NORMALIZE),
                         C("glScissor", 0, 0, 800, 600),
                         C("glActiveTextureARB", GL_TEXTURE1_ARB),
                         C("glActiveTextureARB", GL_TEXTURE0_ARB),
                         C("glEnable", GL_DEPTH_TEST),
                         C("glDepthFunc", GL_LEQUAL),
                         C("glFrustum", -1.0, 1.0, -0.75, 0.75, 1.0, 32000.0),
                         C("glViewport", 10, 20, 300, 200),
                         C("glScissor", 10, 20, 300, 200),
                         "glMultMatrixf([1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1])",
                         "glLightfv(" + std::to_string(GL_LIGHT0) + ", " + std::to_string(GL_DIFFUSE) +
                             ", [0.7, 0.7, 0.7, 1])",
                         "glMaterialfv(" + std::to_string(GL_FRONT_AND_BACK) + ", " + std::to_string(GL_SPECULAR) +
                             ", [0, 0, 0, 1])"};
  auto at = got.begin();
  for (const std::string& a : anchors) {
    auto found = std::find(at, got.end(), a);
    ASSERT_NE(found, got.end()) << "missing or out of order: " << a;
    at = found + 1;
  }
  EXPECT_EQ(at, got.end());
  EXPECT_EQ(got.front(), anchors.front());
}

TEST_F(RenderOps, ClearsUseHalfAlphaAndTheRightBuffers) {
  Render_Clear(1, 0.25f, 0.5f, 0.75f);
  Render_Clear(0, 0, 0, 0);
  Render_ClearStencil(3);
  Calls want = {C("glClearColor", 0.25f, 0.5f, 0.75f, 0.5f), C("glClear", GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT),
                C("glClearColor", 0.0f, 0.0f, 0.0f, 0.5f),   C("glClear", GL_DEPTH_BUFFER_BIT),
                C("glClearStencil", 3),                        C("glClear", GL_STENCIL_BUFFER_BIT)};
  EXPECT_EQ(Take(), want);
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

TEST_F(RenderOps, Direct3DOnlyOperationsAndQueriesAnswerZeroOnOpenGL) {
  EXPECT_EQ(Render_CreateVertexBuffer(1024, 0), 0u);
  EXPECT_EQ(Render_CreateIndexBuffer(1024), 0u);
  Render_SetVertexBuffer(1, 0);
  Render_FillIndexBuffer(1, 0, 4, "abcd");
  Render_DrawIndexedTriangles(3, 0, 1);
  Render_BeginEnvMapStages(1);
  float offset[2] = {9, 9};
  Render_GetTexelOffset(64, 64, offset);
  EXPECT_EQ(offset[0] + offset[1], 0);
  uint32_t sum = 7, count = 7;
  GlExtFlags.NV_occlusion_query = 1;
  Render_DeleteOcclusionQueries();
  Render_GetOcclusionPixels(&sum, &count);
  EXPECT_EQ(sum + count, 0u);
  EXPECT_TRUE(Take().empty());
}

TEST_F(RenderOps, WithNoBackEndEveryOperationDoesNothing) {
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
  EXPECT_EQ(PBuffer_Create(256, 256), nullptr);
}

TEST_F(RenderOps, StopZeroesTheWholeRendererBlock) {
  GlExtFlags.ATI_fragment_shader = 1;
  GlExtFlags.WGL_EXT_swap_control = 1;
  GlLimits.maxTextureSize = 4096;
  Render_Stop();
  EXPECT_EQ(RenderApi, 0u);
  for (int i = 0; i < GL_SLOT_COUNT; ++i) EXPECT_EQ(GlDispatch_SlotValue(i), nullptr) << GlDispatch_SlotName(i);
  const uint8_t* flags = reinterpret_cast<const uint8_t*>(&GlExtFlags);
  for (size_t i = 0; i < sizeof GlExtFlags; ++i) EXPECT_EQ(flags[i], 0) << i;
  EXPECT_EQ(GlLimits.maxTextureSize, 0);
}

TEST_F(RenderOps, WithDirect3DEveryOperationGoesToItsTwinAndNoneToOpenGL) {
  RenderApi = RENDER_API_D3D8;
  EveryOperation();
  unsigned char px[4] = {};
  Render_ReadPixels(0, 0, 1, 1, px);
  EXPECT_EQ(PBuffer_Create(256, 256), nullptr);  // OpenGL only
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(CurrentBlendMode, 3);  // the cache works for both back ends
  EXPECT_EQ(ActiveTexUnit, -1);    // units are an OpenGL matter
}
