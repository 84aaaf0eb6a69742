// The render operations against the recording GL table: the exact calls, the blend and unit
// caches, the filters, the matrices, and the frame defaults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

GLfloat g_matrix[16];
int g_matrixCalls;
void CaptureMultMatrix(const GLfloat* m) {
  for (int i = 0; i < 16; ++i) g_matrix[i] = m[i];
  ++g_matrixCalls;
}

int g_swaps;
std::vector<int> g_intervals;
int g_intervalAnswer;
void FakeSwap() { ++g_swaps; }
int FakeInterval(int i) {
  g_intervals.push_back(i);
  return g_intervalAnswer;
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
    g_matrixCalls = 0;
    g_swaps = 0;
    g_intervals.clear();
    g_intervalAnswer = 0;
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

}  // namespace

// ---- Blend cache --------------------------------------------------------------------------------

TEST_F(RenderOps, BlendRepeatIsSkippedUntilTheNextFrame) {
  Render_SetBlend(5);
  Calls want = {C("glEnable", GL_BLEND), C("glBlendFunc", GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA),
                C("glDisable", GL_FOG)};
  EXPECT_EQ(Take(), want);
  Render_SetBlend(5);
  EXPECT_TRUE(Take().empty());
  Render_BeginFrame(0, 0, 800, 600);
  Take();
  Render_SetBlend(5);
  EXPECT_EQ(Take(), want);
}

TEST_F(RenderOps, TwoBeginFramesEachForgetTheCaches) {
  Render_BeginFrame(0, 0, 256, 256);
  Render_SetBlend(1);
  Render_SelectTexUnit(1);
  Take();
  Render_BeginFrame(0, 0, 800, 600);
  EXPECT_EQ(CurrentBlendMode, -1);
  EXPECT_EQ(ActiveTexUnit, -1);
  Take();
  Render_SetBlend(1);
  Render_SelectTexUnit(1);
  Calls got = Take();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[3], C("glActiveTextureARB", GL_TEXTURE1_ARB));
}

TEST_F(RenderOps, OpaqueBlendTurnsFogOnOnlyWhenTheSceneWantsIt) {
  RenderFogWanted = 1;
  Render_SetBlend(0);
  Calls want0 = {C("glDisable", GL_BLEND), C("glAlphaFunc", GL_GREATER, 0.0f), C("glEnable", GL_ALPHA_TEST),
                 C("glEnable", GL_FOG)};
  EXPECT_EQ(Take(), want0);
  Render_SetBlend(1);
  Calls want1 = {C("glEnable", GL_BLEND), C("glBlendFunc", GL_ONE, GL_ONE), C("glDisable", GL_FOG)};
  EXPECT_EQ(Take(), want1);
  RenderFogWanted = 0;
  Render_SetBlend(0);
  EXPECT_EQ(Take().back(), C("glDisable", GL_FOG));
}

TEST_F(RenderOps, EveryBlendModeUsesItsFactors) {
  const GLenum want[8][2] = {{0, 0},
                             {GL_ONE, GL_ONE},
                             {GL_ZERO, GL_SRC_COLOR},
                             {GL_ZERO, GL_ONE_MINUS_SRC_COLOR},
                             {GL_DST_COLOR, GL_SRC_COLOR},
                             {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                             {GL_SRC_ALPHA, GL_ONE},
                             {GL_ONE_MINUS_SRC_ALPHA, GL_ONE}};
  for (int mode = 1; mode <= 7; ++mode) {
    Render_SetBlend(mode);
    Calls got = Take();
    ASSERT_EQ(got.size(), 3u) << mode;
    EXPECT_EQ(got[1], C("glBlendFunc", want[mode][0], want[mode][1])) << mode;
  }
}

TEST_F(RenderOps, ModeAboveSevenChangesNothingButIsRemembered) {
  Render_SetBlend(9);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(CurrentBlendMode, 9);
}

// ---- Texture units and binding ------------------------------------------------------------------

TEST_F(RenderOps, ActiveUnitIsSetOnlyWhenItChanges) {
  Render_SelectTexUnit(1);
  Render_SelectTexUnit(1);
  EXPECT_EQ(Take(), Calls{C("glActiveTextureARB", GL_TEXTURE1_ARB)});
  OPENGL_DisableAll();
  Take();
  Render_SelectTexUnit(1);
  EXPECT_EQ(Take(), Calls{C("glActiveTextureARB", GL_TEXTURE1_ARB)});
  GlExtFlags.ARB_multitexture = 0;
  Render_SelectTexUnit(2);
  Render_SelectClientTexUnit(2);
  EXPECT_TRUE(Take().empty());
}

TEST_F(RenderOps, BindingTheBoundTextureSetsNoFilter) {
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_2D, {0});
  Tex_Bind(0, 0, 2);
  Calls want = {C("glActiveTextureARB", GL_TEXTURE0_ARB), C("glGetIntegerv", GL_TEXTURE_BINDING_2D, (void*)1)};
  EXPECT_EQ(Take(), want);
}

TEST_F(RenderOps, ANewBindingSetsTheFilterOfItsKind) {
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_2D, {7});
  Tex_Bind(0, 0, 0);
  Calls got = Take();
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[2], C("glBindTexture", GL_TEXTURE_2D, 0));
  EXPECT_EQ(got[3], C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST));
  EXPECT_EQ(got[4], C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST));
  Tex_Bind(0, 0, 1);
  got = Take();
  ASSERT_EQ(got.size(), 4u);  // the unit is already active
  EXPECT_EQ(got[3], C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR));
  Tex_Bind(0, 0, 2);
  got = Take();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[2], C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR));
  EXPECT_EQ(got[3], C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST));
}

TEST_F(RenderOps, AnisotropyGrowsWithTheFilterSettingUpToTwo) {
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_2D, {7});
  GlExtFlags.EXT_texture_filter_anisotropic = 1;
  GlLimits.maxAnisotropy = 8;
  std::string trilinear = C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  std::string a45 = C("glTexParameterf", GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 4.5f);
  std::string a8 = C("glTexParameterf", GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 8.0f);
  render_filter.value = 1.5f;
  Tex_Bind(0, 0, 2);
  EXPECT_EQ(Take().back(), a45);
  render_filter.value = 2.0f;
  Tex_Bind(0, 0, 2);
  EXPECT_EQ(Take().back(), a8);
  render_filter.value = 2.5f;
  Tex_Bind(0, 0, 2);
  EXPECT_EQ(Take().back(), trilinear);
  render_filter.value = 1.0f;
  Tex_Bind(0, 0, 2);
  EXPECT_EQ(Take().back(), trilinear);
  GlExtFlags.EXT_texture_filter_anisotropic = 0;
  render_filter.value = 1.5f;
  Tex_Bind(0, 0, 2);
  EXPECT_EQ(Take().back(), trilinear);
}

TEST_F(RenderOps, ANewCubeBindingClampsAllThreeCoordinates) {
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_CUBE_MAP_ARB, {3});
  Tex_BindCube(2, 0, 1);
  Calls want = {C("glActiveTextureARB", GL_TEXTURE2_ARB),
                C("glGetIntegerv", GL_TEXTURE_BINDING_CUBE_MAP_ARB, (void*)1),
                C("glBindTexture", GL_TEXTURE_CUBE_MAP_ARB, 0),
                C("glTexParameteri", GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE),
                C("glTexParameteri", GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE),
                C("glTexParameteri", GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE),
                C("glTexParameteri", GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MAG_FILTER, GL_LINEAR),
                C("glTexParameteri", GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_MIN_FILTER, GL_LINEAR)};
  EXPECT_EQ(Take(), want);
}

TEST_F(RenderOps, UnitsOfEightOrMoreAreIgnored) {
  UnitFromDds[7] = 5;
  Tex_Bind(8, 0, 1);
  Tex_BindCube(100, 0, 1);
  Tex_Bind(-1, 0, 1);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(UnitFromDds[7], 5);
  Tex_Bind(7, 0, 1);
  EXPECT_EQ(UnitFromDds[7], 0);
}

TEST_F(RenderOps, AnIndexOutsideTheTableBindsTextureZero) {
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_2D, {5});
  Tex_Bind(0, 1 << 20, 1);
  Calls got = Take();
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got[2], C("glBindTexture", GL_TEXTURE_2D, 0));
  Tex_Bind(0, -3, 1);
  got = Take();
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got[1], C("glBindTexture", GL_TEXTURE_2D, 0));
}

TEST_F(RenderOps, WithoutMultitextureUnitZeroStillBindsPlainly) {
  GlExtFlags.ARB_multitexture = 0;
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_2D, {9});
  Tex_Bind(0, 0, 1);
  Calls got = Take();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], C("glGetIntegerv", GL_TEXTURE_BINDING_2D, (void*)1));
  EXPECT_EQ(got[1], C("glBindTexture", GL_TEXTURE_2D, 0));
  Tex_Bind(1, 0, 1);
  EXPECT_TRUE(Take().empty());
}

TEST_F(RenderOps, TexWrapSelectsTheUnitAndSetsBothCoordinates) {
  Render_SetTexWrap(1, 0);
  Calls want = {C("glActiveTextureARB", GL_TEXTURE1_ARB),
                C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE),
                C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE)};
  EXPECT_EQ(Take(), want);
  Render_SetTexWrap(1, 5);
  EXPECT_TRUE(Take().empty());
}

TEST_F(RenderOps, SubImageOfAnUnknownDepthBindsButUploadsNothing) {
  GlRecord_SetIntegers(GL_TEXTURE_BINDING_2D, {4});
  unsigned char px[16] = {};
  Render_UpdateTexSubImage(0, 1, 2, 2, 2, 12, px);
  Calls got = Take();
  ASSERT_FALSE(got.empty());
  for (const auto& c : got) EXPECT_EQ(c.find("glTexSubImage2D"), std::string::npos) << c;
  EXPECT_NE(std::find(got.begin(), got.end(), C("glBindTexture", GL_TEXTURE_2D, 0)), got.end());
  const int bits[4] = {8, 16, 24, 32};
  const GLenum formats[4] = {GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_BGR, GL_BGRA};
  for (int i = 0; i < 4; ++i) {
    Render_UpdateTexSubImage(0, 1, 2, 2, 2, bits[i], px);
    EXPECT_EQ(Take().back(), C("glTexSubImage2D", GL_TEXTURE_2D, 0, 1, 2, 2, 2, formats[i], GL_UNSIGNED_BYTE, px));
  }
}

// ---- Depth, raster state ------------------------------------------------------------------------

TEST_F(RenderOps, DepthOrderFollowsTheDrawOrderSetting) {
  Render_SetDepthFunc(1);
  EXPECT_EQ(Take(), (Calls{C("glClearDepth", 1.0), C("glDepthFunc", GL_LEQUAL)}));
  render_draworder.value = 1;
  Render_SetDepthFunc(1);
  EXPECT_EQ(Take(), (Calls{C("glClearDepth", 0.0), C("glDepthFunc", GL_GEQUAL)}));
  Render_SetDepthFunc(0);
  Render_SetDepthFunc(2);
  Render_SetDepthFunc(3);
  Render_SetDepthFunc(4);
  EXPECT_EQ(Take(), (Calls{C("glDepthFunc", GL_NEVER), C("glDepthFunc", GL_ALWAYS), C("glDepthFunc", GL_EQUAL)}));
}

TEST_F(RenderOps, SwitchesIgnoreValuesOutsideTheirList) {
  Render_SetDepthTest(2);
  Render_SetDepthWrite(3);
  Render_SetPolygonMode(7);
  EXPECT_TRUE(Take().empty());
  Render_SetCull(3);
  Render_SetCull(2);
  Render_SetCull(1);
  Calls want = {C("glDisable", GL_CULL_FACE), C("glEnable", GL_CULL_FACE), C("glCullFace", GL_BACK),
                C("glEnable", GL_CULL_FACE), C("glCullFace", GL_FRONT)};
  EXPECT_EQ(Take(), want);
  Render_SetPolygonOffset(1);
  Render_SetColorMask(0, 5, 1, 0);
  want = {C("glPolygonOffset", -2.0f, -4.0f), C("glEnable", GL_POLYGON_OFFSET_FILL),
          C("glColorMask", 0, 1, 1, 0)};
  EXPECT_EQ(Take(), want);
}

// ---- Matrices -----------------------------------------------------------------------------------

TEST_F(RenderOps, HorizontalFieldOfViewGivesTheFrustum) {
  Render_SetPerspective(90, 32000, 1);
  Calls want = {C("glMatrixMode", GL_PROJECTION), C("glLoadIdentity"),
                C("glFrustum", -1.0, 1.0, -0.75, 0.75, 1.0, 32000.0), C("glMatrixMode", GL_MODELVIEW)};
  EXPECT_EQ(Take(), want);
}

TEST_F(RenderOps, ZeroScreenWidthSkipsTheFrustum) {
  Render_SetScreenSize(0, 0);
  Render_SetPerspective(90, 32000, 1);
  Calls want = {C("glMatrixMode", GL_PROJECTION), C("glLoadIdentity"), C("glMatrixMode", GL_MODELVIEW)};
  EXPECT_EQ(Take(), want);
}

namespace {
void Apply(const GLfloat* m, const float* p, float* eye) {
  for (int i = 0; i < 3; ++i) eye[i] = m[i] * p[0] + m[4 + i] * p[1] + m[8 + i] * p[2] + m[12 + i];
}
}  // namespace

TEST_F(RenderOps, CameraAtRestLooksAlongPlusY) {
  gl.glMultMatrixf = CaptureMultMatrix;
  const float zero[3] = {0, 0, 0};
  Render_SetCamera(zero, zero);
  ASSERT_EQ(g_matrixCalls, 1);
  const float want[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(g_matrix[i], want[i], 1e-6) << i;
  Calls got = Take();
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got[0], C("glMatrixMode", GL_MODELVIEW));
  EXPECT_EQ(got[1], C("glLoadIdentity"));
}

TEST_F(RenderOps, CameraMapsRightUpAndForwardToEyeAxes) {
  gl.glMultMatrixf = CaptureMultMatrix;
  const float angles[3] = {float(M_PI / 2), 0, 0};  // yaw 90 degrees: forward +X, right -Y
  const float origin[3] = {10, 20, 30};
  Render_SetCamera(angles, origin);
  float eye[3];
  const float ahead[3] = {15, 20, 30};
  Apply(g_matrix, ahead, eye);
  EXPECT_NEAR(eye[0], 0, 1e-4);
  EXPECT_NEAR(eye[1], 0, 1e-4);
  EXPECT_NEAR(eye[2], -5, 1e-4);
  const float right[3] = {10, 18, 30};
  Apply(g_matrix, right, eye);
  EXPECT_NEAR(eye[0], 2, 1e-4);
  EXPECT_NEAR(eye[1], 0, 1e-4);
  EXPECT_NEAR(eye[2], 0, 1e-4);
  const float up[3] = {10, 20, 33};
  Apply(g_matrix, up, eye);
  EXPECT_NEAR(eye[0], 0, 1e-4);
  EXPECT_NEAR(eye[1], 3, 1e-4);
  EXPECT_NEAR(eye[2], 0, 1e-4);
}

TEST_F(RenderOps, CameraWithPitchAndRoll) {
  gl.glMultMatrixf = CaptureMultMatrix;
  // Pitch 90 degrees: forward is +Z; roll does not move the forward axis.
  const float angles[3] = {0.3f, float(M_PI / 2), 0.7f};
  const float origin[3] = {1, 2, 3};
  Render_SetCamera(angles, origin);
  float eye[3];
  const float ahead[3] = {1, 2, 7};
  Apply(g_matrix, ahead, eye);
  EXPECT_NEAR(eye[0], 0, 1e-4);
  EXPECT_NEAR(eye[1], 0, 1e-4);
  EXPECT_NEAR(eye[2], -4, 1e-4);
}

TEST_F(RenderOps, MultMatrixPutsRowsAndOriginInGlOrder) {
  const float rot[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  const float org[3] = {10, 11, 12};
  Render_MultMatrix(rot, org);
  EXPECT_EQ(Take(), Calls{"glMultMatrixf([1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 1])"});
}

// ---- Immediate draws, read-back -----------------------------------------------------------------

TEST_F(RenderOps, TriangleSendsColourTexCoordAndPositionPerVertex) {
  ImmVertex a = {1, 2, 3, 10, 20, 30, 40, 0.5f, 0.25f};
  ImmVertex b = {4, 5, 6, 1, 2, 3, 4, 1, 0};
  ImmVertex c = {7, 8, 9, 5, 6, 7, 8, 0, 1};
  Render_DrawTriangle(&a, &b, &c);
  Calls got = Take();
  ASSERT_EQ(got.size(), 11u);
  EXPECT_EQ(got[0], C("glBegin", GL_TRIANGLES));
  EXPECT_EQ(got[1], "glColor4ubv([10, 20, 30, 40])");
  EXPECT_EQ(got[2], "glTexCoord2fv([0.5, 0.25])");
  EXPECT_EQ(got[3], "glVertex3fv([1, 2, 3])");
  EXPECT_EQ(got[9], "glVertex3fv([7, 8, 9])");
  EXPECT_EQ(got[10], C("glEnd"));
  Render_DrawPoint(&a);
  Render_DrawLine(&a, &b);
  got = Take();
  EXPECT_EQ(got[0], C("glBegin", GL_POINTS));
  EXPECT_EQ(got[5], C("glBegin", GL_LINES));
}

TEST_F(RenderOps, ReadPixelsReadsTheBackBufferAsBgra) {
  unsigned char out[16];
  Render_ReadPixels(1, 2, 2, 2, out);
  Calls want = {C("glReadBuffer", GL_BACK), C("glReadPixels", 1, 2, 2, 2, GL_BGRA, GL_UNSIGNED_BYTE, out)};
  EXPECT_EQ(Take(), want);
}

TEST_F(RenderOps, Direct3DOnlyOperationsDoNothingOnOpenGL) {
  EXPECT_EQ(Render_CreateVertexBuffer(1024, 0), 0u);
  EXPECT_EQ(Render_CreateIndexBuffer(1024), 0u);
  Render_SetVertexBuffer(1, 0);
  Render_FillIndexBuffer(1, 0, 4, "abcd");
  Render_DrawIndexedTriangles(3, 0, 1);
  Render_BeginEnvMapStages(1);
  float offset[2] = {9, 9};
  Render_GetTexelOffset(64, 64, offset);
  EXPECT_EQ(offset[0], 0);
  EXPECT_EQ(offset[1], 0);
  EXPECT_TRUE(Take().empty());
}

// ---- Frame --------------------------------------------------------------------------------------

TEST_F(RenderOps, BeginFrameIssuesTheDefaultsInOrder) {
  render_draworder.value = 0;
  Render_BeginFrame(10, 20, 300, 200);
  Calls got = Take();
  Calls want;
  for (GLenum cap : {GL_ALPHA_TEST, GL_AUTO_NORMAL, GL_BLEND, GL_CLIP_PLANE0, GL_CLIP_PLANE1, GL_CLIP_PLANE2,
                     GL_CLIP_PLANE3, GL_CLIP_PLANE4, GL_CLIP_PLANE5, GL_COLOR_MATERIAL, GL_CULL_FACE, GL_DEPTH_TEST,
                     GL_DITHER, GL_FOG, GL_LIGHTING})
    want.push_back(C("glDisable", cap));
  for (int i = 0; i < 8; ++i) want.push_back(C("glDisable", GL_LIGHT0 + i));
  for (GLenum cap : {GL_LINE_SMOOTH, GL_LINE_STIPPLE, GL_LOGIC_OP})
    want.push_back(C("glDisable", cap));
  for (GLenum cap = GL_MAP1_COLOR_4; cap <= GL_MAP1_VERTEX_4; ++cap) want.push_back(C("glDisable", cap));
  for (GLenum cap = GL_MAP2_COLOR_4; cap <= GL_MAP2_VERTEX_4; ++cap) want.push_back(C("glDisable", cap));
  for (GLenum cap : {GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_POLYGON_STIPPLE, GL_SCISSOR_TEST, GL_STENCIL_TEST,
                     GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_GEN_Q, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_S,
                     GL_TEXTURE_GEN_T})
    want.push_back(C("glDisable", cap));
  want.push_back(C("glEnable", GL_NORMALIZE));
  // OPENGL_SetDefaults
  want.push_back("glLightModelfv(" + std::to_string(GL_LIGHT_MODEL_AMBIENT) + ", [0, 0, 0, 1])");
  want.push_back(C("glColor4ub", 255, 255, 255, 255));
  want.push_back(C("glEnable", GL_TEXTURE_2D));
  want.push_back(C("glPixelStorei", GL_PACK_ALIGNMENT, 1));
  want.push_back(C("glPixelStorei", GL_UNPACK_ALIGNMENT, 1));
  want.push_back(C("glEnable", GL_SCISSOR_TEST));
  want.push_back(C("glScissor", 0, 0, 800, 600));
  want.push_back(C("glActiveTextureARB", GL_TEXTURE1_ARB));
  want.push_back(C("glTexEnvi", GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE));
  want.push_back(C("glDisable", GL_TEXTURE_2D));
  want.push_back(C("glActiveTextureARB", GL_TEXTURE0_ARB));
  want.push_back(C("glTexEnvi", GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE));
  want.push_back(C("glEnable", GL_TEXTURE_2D));
  // The common defaults
  want.push_back(C("glEnable", GL_DEPTH_TEST));
  want.push_back(C("glDepthMask", 1));
  want.push_back(C("glClearDepth", 1.0));
  want.push_back(C("glDepthFunc", GL_LEQUAL));
  want.push_back(C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT));
  want.push_back(C("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT));
  want.push_back(C("glDisable", GL_POLYGON_OFFSET_FILL));
  want.push_back(C("glDisable", GL_FOG));
  want.push_back(C("glDisable", GL_LIGHTING));
  want.push_back(C("glMatrixMode", GL_PROJECTION));
  want.push_back(C("glLoadIdentity"));
  want.push_back(C("glFrustum", -1.0, 1.0, -0.75, 0.75, 1.0, 32000.0));
  want.push_back(C("glMatrixMode", GL_MODELVIEW));
  want.push_back(C("glViewport", 10, 20, 300, 200));
  want.push_back(C("glScissor", 10, 20, 300, 200));
  want.push_back(C("glMatrixMode", GL_MODELVIEW));
  want.push_back(C("glLoadIdentity"));
  want.push_back("glMultMatrixf([1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1])");
  const std::string light0 = std::to_string(GL_LIGHT0);
  want.push_back("glLightfv(" + light0 + ", " + std::to_string(GL_POSITION) + ", [0, 0, 0, 1])");
  want.push_back("glLightfv(" + light0 + ", " + std::to_string(GL_AMBIENT) + ", [0.3, 0.3, 0.3, 1])");
  want.push_back("glLightfv(" + light0 + ", " + std::to_string(GL_DIFFUSE) + ", [0.7, 0.7, 0.7, 1])");
  want.push_back("glLightfv(" + light0 + ", " + std::to_string(GL_SPECULAR) + ", [0, 0, 0, 1])");
  const std::string fab = std::to_string(GL_FRONT_AND_BACK);
  want.push_back("glMaterialfv(" + fab + ", " + std::to_string(GL_AMBIENT) + ", [1, 1, 1, 1])");
  want.push_back("glMaterialfv(" + fab + ", " + std::to_string(GL_DIFFUSE) + ", [1, 1, 1, 1])");
  want.push_back("glMaterialfv(" + fab + ", " + std::to_string(GL_SPECULAR) + ", [0, 0, 0, 1])");
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "call " << i;
  EXPECT_EQ(CurrentBlendMode, -1);
  EXPECT_EQ(ActiveTexUnit, -1);
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

TEST_F(RenderOps, FogIsLinearWithItsColour) {
  const float colour[4] = {0.1f, 0.2f, 0.3f, 1};
  Render_SetFog(5, 50, colour);
  Calls want = {C("glFogi", GL_FOG_MODE, GL_LINEAR), C("glFogf", GL_FOG_START, 5.0f), C("glFogf", GL_FOG_END, 50.0f),
                "glFogfv(" + std::to_string(GL_FOG_COLOR) + ", [0.1, 0.2, 0.3, 1])"};
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

TEST_F(RenderOps, OcclusionQueriesGiveZero) {
  uint32_t sum = 7, count = 7;
  Render_GetOcclusionPixels(&sum, &count);
  EXPECT_EQ(sum, 0u);
  EXPECT_EQ(count, 0u);
  GlExtFlags.NV_occlusion_query = 1;
  Render_DeleteOcclusionQueries();
  Render_GetOcclusionPixels(&sum, &count);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(Take().empty());
}

TEST_F(RenderOps, WithNoBackEndEveryOperationDoesNothing) {
  Render_ResetBlock();  // every entry point null: a call would crash
  ASSERT_EQ(RenderApi, 0u);
  ImmVertex v = {};
  float f4[4] = {0, 0, 0, 1};
  float m9[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  Render_BeginFrame(0, 0, 800, 600);
  Render_Clear(1, 1, 1, 1);
  Render_ClearStencil(0);
  Render_SetBlend(3);
  Render_SelectTexUnit(1);
  Render_SelectClientTexUnit(1);
  Tex_Bind(0, 0, 2);
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
  int x = 5, y = 5, w = 5, h = 5;
  Render_GetViewport(&x, &y, &w, &h);
  EXPECT_EQ(x + y + w + h, 0);
  Render_SetViewport(0, 0, 1, 1);
  Render_SetScissor(0, 0, 1, 1);
  unsigned char px[4] = {1, 2, 3, 4};
  Render_ReadPixels(0, 0, 1, 1, px);
  EXPECT_EQ(px[0], 1);
  Render_UpdateTexSubImage(0, 0, 0, 1, 1, 32, px);
  Render_EndFrame(1, 1);
  EXPECT_EQ(Render_CreateVertexBuffer(10, 0), 0u);
  EXPECT_EQ(PBuffer_Create(256, 256), nullptr);
  EXPECT_EQ(CurrentBlendMode, -1);
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
  Render_SetTexWrap(0, 1);
  Render_SetDepthFunc(1);
  Render_SetLineWidth(2);
  Render_SetCull(2);
  Render_SetLight(0, f4, f4, f4, f4);
  Render_SetFog(0, 1, f4);
  Render_DrawTriangle(&v, &v, &v);
  Render_SetPerspective(60, 100, 1);
  Render_SetCamera(f4, f4);
  Render_MultMatrix(m9, f4);
  Render_SetScissor(0, 0, 1, 1);
  unsigned char px[4] = {};
  Render_ReadPixels(0, 0, 1, 1, px);
  Render_UpdateTexSubImage(0, 0, 0, 1, 1, 32, px);
  Render_EndFrame(1, 1);
  EXPECT_EQ(PBuffer_Create(256, 256), nullptr);  // OpenGL only
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(CurrentBlendMode, 3);  // the cache works for both back ends
  EXPECT_EQ(ActiveTexUnit, -1);    // units are an OpenGL matter
}
