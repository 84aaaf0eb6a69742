// BU models and DU levels lit on llvmpipe: the program texts compile, the built-in ATI shaders
// agree with a CPU emulator, a lit floor falls off as it should, a cube's shadow volume marks in
// the stencil exactly the floor a ray cast finds occluded; the DU base and multiply passes, the
// scissor of a light, the flat colour texture, the NV10 colour pass and the sample level.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/bu_lighting.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "support/lit_scene.h"
#include "support/render_support.h"
#include "scene/du_lighting.h"
#include "support/input_fixture.h"
#include "tools/bu_writer.h"
#include "tools/du_writer.h"
#include "tools/lit_sample.h"
#include "tools/image_writer.h"
#include "tools/lighting_textures.h"
#include "tools/material_writer.h"
#include "render/material.h"

namespace fs = std::filesystem;

namespace {

bool g_glUp;

class LightingGl : public tw_test::LoggedTest {
 protected:
  static void SetUpTestSuite() {
    g_glUp = tw_test::StartGlWindow("lighting test") && GlExtFlags.ARB_vertex_program &&
             GlExtFlags.ARB_fragment_program && GlExtFlags.ATI_fragment_shader;
  }
  static void TearDownTestSuite() { tw_test::StopGlWindow(); }
  void SetUp() override {
    if (!g_glUp) GTEST_SKIP() << "no OpenGL with ARB programs and ATI fragment shaders";
    LoggedTest::SetUp();
    fs::copy(fs::path(TW_SOURCE_DIR) / "sample" / "data" / "scripts", "scripts", fs::copy_options::recursive);
    ASSERT_TRUE(LightingTool_WriteTextures("."));
    OPENGL_AllocVar();
  }
  void TearDown() override {
    if (!g_glUp) return;
    Tex_FreeAll();
    LoggedTest::TearDown();
  }
};

TEST_F(LightingGl, EveryProgramOfBothPathsCompilesAndGoesWithItsLastUser) {
  LightProgramSet both = Lighting_BuPathPrograms(kPathR200) | Lighting_BuPathPrograms(kPathR300);
  Lighting_AcquirePrograms(both);
  Lighting_AcquirePrograms(Lighting_BuPathPrograms(kPathR300));
  for (int p = 0; p < kLightProgramCount; ++p) {
    if (!(both & (LightProgramSet(1) << p))) continue;
    bool ati = p >= kProgAtiZ && p <= kProgAtiLightFastest;
    EXPECT_TRUE(ati ? Lighting_AtiShader(p) != 0 : Lighting_Program(p) && *Lighting_Program(p)) << Lighting_ProgramFile(p) << Log();
  }
  EXPECT_EQ(gl.glGetError(), GLenum(GL_NO_ERROR));
  Lighting_ReleasePrograms(both);
  EXPECT_NE(Lighting_Program(kProgR300Fragment), nullptr);  // still used
  EXPECT_EQ(Lighting_Program(kProgR200LightFastest), nullptr);
  Lighting_ReleasePrograms(Lighting_BuPathPrograms(kPathR300));
  EXPECT_EQ(OPENGL_ProgramCount(2) + OPENGL_ProgramCount(3), 0);
}

// ---- The ATI shaders against a CPU emulator --------------------------------------------------

using Rgba = std::array<float, 4>;

float ArgValue(const Rgba& v, int rep, int channel, bool alphaOp) {
  return rep == kAtiRepNone ? v[alphaOp ? 3 : size_t(channel)] : v[size_t(rep - 1)];
}

float Modify(float x, int mods) {
  if (mods & kAtiArgComp) x = 1.0f - x;
  if (mods & kAtiArgBx2) x = 2.0f * (x - 0.5f);
  if (mods & kAtiArgNeg) x = -x;
  return x;
}

// Emulates one shader for one pixel: textures per unit at the pixel, coordinates, colours, C0.
Rgba Emulate(int number, const Rgba tex[6], const Rgba coord[6], const Rgba& pri, const Rgba& sec, const Rgba& c0) {
  int count = 0;
  const AtiStep* steps = ATIFS_Steps(number, &count);
  Rgba reg[6] = {};
  auto source = [&](int r) -> Rgba { return r == kAtiSrcConst0 ? c0 : r == kAtiSrcPrimary ? pri : r == kAtiSrcSecondary ? sec : reg[r]; };
  for (int i = 0; i < count; ++i) {
    const AtiStep& s = steps[i];
    if (s.kind == 0) { reg[s.dst] = tex[s.dst]; continue; }
    if (s.kind == 1) { reg[s.dst] = coord[s.coord]; continue; }
    const bool alpha = s.kind == 3;
    float dot = 0;
    if (s.op == kAtiDot3)
      for (int c = 0; c < 3; ++c)
        dot += Modify(ArgValue(source(s.args[0].reg), s.args[0].rep, c, false), s.args[0].mods) *
               Modify(ArgValue(source(s.args[1].reg), s.args[1].rep, c, false), s.args[1].mods);
    Rgba out = reg[s.dst];
    for (int c = alpha ? 3 : 0; c < (alpha ? 4 : 3); ++c) {
      float a[3];
      for (int j = 0; j < 3; ++j) a[j] = Modify(ArgValue(source(s.args[j].reg), s.args[j].rep, c, alpha), s.args[j].mods);
      float v = s.op == kAtiMov ? a[0] : s.op == kAtiAdd ? a[0] + a[1] : s.op == kAtiMul ? a[0] * a[1]
              : s.op == kAtiMad ? a[0] * a[1] + a[2] : dot;
      if (s.dstMods & kAtiDst2x) v *= 2;
      if (s.dstMods & kAtiDst4x) v *= 4;
      if (s.dstMods & kAtiDstSat) v = std::fmin(1.0f, std::fmax(0.0f, v));
      out[size_t(c)] = v;
    }
    reg[s.dst] = out;
  }
  return reg[0];
}

TEST_F(LightingGl, BuiltInAtiShadersMatchTheCpuEmulator) {
  const int n = 16;
  std::mt19937 rng(27);
  std::vector<uint8_t> texels[6];
  GLuint names[6];
  gl.glGenTextures(6, names);
  for (int u = 0; u < 6; ++u) {
    texels[u].resize(n * n * 4);
    for (auto& b : texels[u]) b = uint8_t(rng());
    Render_SelectTexUnit(u);
    gl.glBindTexture(GL_TEXTURE_2D, names[u]);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, n, n, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels[u].data());
    gl.glEnable(GL_TEXTURE_2D);
  }
  const Rgba pri{0.8f, 0.3f, 0.6f, 0.9f}, sec{0.2f, 0.7f, 0.5f, 1.0f}, c0{0.6f, 0.9f, 0.4f, 0.75f};
  gl.glViewport(0, 0, n, n);
  gl.glMatrixMode(GL_PROJECTION);
  gl.glLoadIdentity();
  gl.glMatrixMode(GL_MODELVIEW);
  gl.glLoadIdentity();
  for (GLenum cap : {GL_BLEND, GL_DEPTH_TEST, GL_ALPHA_TEST, GL_STENCIL_TEST, GL_CULL_FACE, GL_FOG, GL_SCISSOR_TEST})
    gl.glDisable(cap);
  for (int number = 12; number <= 15; ++number) {
    SCOPED_TRACE(number);
    GLuint id = ATIFS_Build(number);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(gl.glGetError(), GLenum(GL_NO_ERROR));
    ATIFS_Bind(id);
    gl.glSetFragmentShaderConstantATI(GL_CON_0_ATI, c0.data());
    gl.glBegin(GL_QUADS);
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& c : corners) {
      for (int u = 0; u < 6; ++u) gl.glMultiTexCoord3fARB(GL_TEXTURE0_ARB + GLenum(u), c[0], c[1], 0.3f);
      gl.glColor4f(pri[0], pri[1], pri[2], pri[3]);
      gl.glSecondaryColor3fEXT(sec[0], sec[1], sec[2]);
      gl.glVertex2f(c[0] * 2 - 1, c[1] * 2 - 1);
    }
    gl.glEnd();
    ATIFS_Unbind();
    ATIFS_Delete(id);
    std::vector<uint8_t> got(n * n * 4);
    gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl.glReadPixels(0, 0, n, n, GL_RGBA, GL_UNSIGNED_BYTE, got.data());
    int bad = 0;
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        Rgba tex[6], coord[6];
        for (int u = 0; u < 6; ++u) {
          for (int c = 0; c < 4; ++c) tex[u][size_t(c)] = texels[u][4 * (y * n + x) + size_t(c)] / 255.0f;
          coord[u] = {(x + 0.5f) / n, (y + 0.5f) / n, 0.3f, 1.0f};
        }
        Rgba want = Emulate(number, tex, coord, pri, sec, c0);
        for (int c = 0; c < 4; ++c) {
          float w = std::fmin(1.0f, std::fmax(0.0f, want[size_t(c)])) * 255.0f;
          if (std::fabs(w - got[4 * (y * n + x) + size_t(c)]) > 2.0f && bad++ < 4)
            ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": " << int(got[4 * (y * n + x) + size_t(c)])
                          << " want " << w;
        }
      }
    EXPECT_EQ(bad, 0);
  }
  for (int u = 5; u >= 0; --u) {
    Render_SelectTexUnit(u);
    gl.glDisable(GL_TEXTURE_2D);
  }
  gl.glDeleteTextures(6, names);
}

// ---- Lit scenes ---------------------------------------------------------------------------------

// Floor points of pixel centres: a camera looking straight down maps the plane z = 0 to the
// window by an affine map, read from the matrices the frame left.
struct FloorMap {
  double o[2], a[2], b[2];
  FloorMap() {
    float mv[16], pr[16];
    GLint vp[4];
    gl.glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    gl.glGetFloatv(GL_PROJECTION_MATRIX, pr);
    gl.glGetIntegerv(GL_VIEWPORT, vp);
    auto project = [&](double x, double y, double out[2]) {
      double in[4] = {x, y, 0, 1}, eye[4] = {}, clip[4] = {};
      for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) eye[r] += double(mv[k * 4 + r]) * in[k];
      for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) clip[r] += double(pr[k * 4 + r]) * eye[k];
      out[0] = vp[0] + (clip[0] / clip[3] + 1) / 2 * vp[2];
      out[1] = vp[1] + (clip[1] / clip[3] + 1) / 2 * vp[3];
    };
    double x1[2], y1[2];
    project(0, 0, o);
    project(1, 0, x1);
    project(0, 1, y1);
    for (int k = 0; k < 2; ++k) a[k] = x1[k] - o[k], b[k] = y1[k] - o[k];
  }
  std::array<double, 3> At(int px, int py) const {
    double wx = px + 0.5 - o[0], wy = py + 0.5 - o[1], det = a[0] * b[1] - a[1] * b[0];
    return {(wx * b[1] - wy * b[0]) / det, (a[0] * wy - a[1] * wx) / det, 0};
  }
};

bool OnFloor(const std::array<double, 3>& p) { return std::fabs(p[0]) < 15.5 && std::fabs(p[1]) < 15.5; }

bool RayHitsBox(const std::array<double, 3>& o, const std::array<double, 3>& d, double tMax, const double lo[3], const double hi[3]) {
  double t0 = 1e-6, t1 = tMax;
  for (int k = 0; k < 3; ++k) {
    if (std::fabs(d[k]) < 1e-12) {
      if (o[k] < lo[k] || o[k] > hi[k]) return false;
      continue;
    }
    double a = (lo[k] - o[k]) / d[k], b = (hi[k] - o[k]) / d[k];
    if (a > b) std::swap(a, b);
    t0 = std::fmax(t0, a);
    t1 = std::fmin(t1, b);
    if (t0 > t1) return false;
  }
  return true;
}

// A floor quad of side 2 x half in the plane z = 0, lit from +Z, with its own textures.
const std::string kTex[4] = {"white", "black", "", "flat_n"};
BuToolModel Floor(float half) { return BuTool_Quad(-half, -half, half, half, "t\\", kTex); }

class LitScenes : public LightingGl {
 protected:
  void SetUp() override {
    LightingGl::SetUp();
    if (IsSkipped()) return;
    fs::create_directories("textures/t");
    ASSERT_TRUE(Solid("white", 255, 255, 255) && Solid("black", 0, 0, 0) && Solid("flat_n", 255, 128, 128));
    Var_SetValue(&render_bump_shadows, 2);
    Var_SetValue(&render_bump_r300, 1);
  }
  // An 8 x 8 texture "textures\t\<name>" of one colour (B, G, R).
  static bool Solid(const char* name, uint8_t b, uint8_t g, uint8_t r) {
    return ImageTool_Save(std::string("textures/t/") + name + ".tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, b, g, r, 255), 24));
  }
  ModelObject* Load(const BuToolModel& m, const char* name) {
    tw_test::WriteBytes(std::string(name) + ".bu", BuTool_Write(m));
    ModelObject* o = bu_CreateModel(name);
    models_.push_back(o);
    return o;
  }
  void TearDown() override {
    for (ModelObject*& o : models_) o->Free(&o);
    for (ModelDrawParams* p : params_) tw_test::LitScene_FreeParams(p);
    LightingGl::TearDown();
  }
  ModelDrawParams* At(float x, float y, float z) {
    params_.push_back(tw_test::LitScene_NewParams(x, y, z));
    return params_.back();
  }
  // One frame looking straight down from `eye` on n x n pixels (a DU level, when given, at 0).
  tw_test::LitImage Shot(vec3 eye, std::vector<ViewLight> lights, std::vector<tw_test::LitInstance> instances,
                         ModelObject* level = nullptr, float clear = 0, int n = 64) {
    tw_test::LitScene scene;
    scene.eye = eye;
    scene.angles = {0, -kMathPi / 2, 0};
    scene.clear[0] = scene.clear[1] = scene.clear[2] = clear;
    scene.lights = std::move(lights);
    scene.instances = std::move(instances);
    if (level) scene.level = {level, At(0, 0, 0)};
    return tw_test::LitScene_Draw(&scene, n, n);
  }
  tw_test::BumpSettings settings_;
  std::vector<ModelObject*> models_;
  std::vector<ModelDrawParams*> params_;
};

ViewLight Light(int key, float x, float y, float z, float radius, float r = 1, float g = 1, float b = 1) {
  ViewLight l{};
  l.slot = l.key = key;
  l.position = {x, y, z};
  l.colour[0] = r, l.colour[1] = g, l.colour[2] = b;
  l.radius = radius;
  return l;
}

// Each light pass on a floor with the light above it: the full and R300 passes give colour x N.L x
// (1 - d^2 / r^2) within 6 on every floor pixel; the fast and fastest ones light it near the light
// and nothing beyond the radius. The buffers chosen by "render_var_type" change nothing. `shot`
// loads the floor under the case's settings (its name given), checks its path and buffers, and
// draws it lit by the light; at least `minChecked` floor pixels are checked.
struct FalloffCase {
  const char* name;
  float r300, fast;
  const char* varType;
  bool exact;
};
void ExpectFalloffCases(const std::function<tw_test::LitImage(const FalloffCase&, const ViewLight&)>& shot, int n, int minChecked) {
  const FalloffCase cases[] = {{"R300", 1, 0, "AGP", true}, {"full", 0, 0, "AGP", true}, {"full VBO", 0, 0, "VBO", true},
                               {"fast", 0, 1, "AGP", false}, {"fastest", 0, 2, "AGP", false}};
  const float radius = 18, colour[3] = {0.9f, 0.6f, 0.3f};
  const double light[3] = {3, -2, 6};
  std::vector<uint8_t> previous;
  for (const FalloffCase& c : cases) {
    SCOPED_TRACE(c.name);
    Var_SetValue(&render_bump_r300, c.r300);
    Var_SetValue(&render_bump_fast, c.fast);
    Var_SetText(&render_var_type, c.varType);
    tw_test::LitImage img = shot(c, Light(1, 3, -2, 6, radius, colour[0], colour[1], colour[2]));
    if (std::string(c.varType) == "VBO") {
      EXPECT_EQ(img.rgba, previous) << "the same image as with AGP";
    }
    previous = img.rgba;
    FloorMap map;
    int checked = 0, bad = 0, inside = 0;
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        const std::array<double, 3> p = map.At(x, y);
        if (!OnFloor(p)) continue;
        double d[3] = {light[0] - p[0], light[1] - p[1], light[2] - p[2]};
        double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        double ndotl = std::fmax(0.0, d[2] / len), att = std::fmax(0.0, 1 - len * len / (radius * radius));
        ++checked;
        if (!c.exact) {
          if (len > radius * 1.02 && img.At(x, y)[0] > 1 && bad++ < 4) ADD_FAILURE() << x << "," << y << " lit beyond the radius";
          inside += len < radius * 0.5 && img.At(x, y)[0] > 40;
          continue;
        }
        for (int k = 0; k < 3; ++k) {
          double want = 255.0 * colour[k] * ndotl * att;
          if (std::fabs(want - img.At(x, y)[k]) > 6.0 && bad++ < 4)
            ADD_FAILURE() << x << "," << y << " channel " << k << ": " << int(img.At(x, y)[k]) << " want " << want;
        }
      }
    EXPECT_EQ(bad, 0);
    EXPECT_GT(checked, minChecked);
    EXPECT_TRUE(c.exact || inside > 20) << "lit near the light: " << inside;
  }
}

TEST_F(LitScenes, AFloorFallsOffAsColourTimesNDotLTimesAttenuation) {
  ExpectFalloffCases([&](const FalloffCase& c, const ViewLight& light) {
    ModelObject* floor = Load(Floor(16), c.name);
    EXPECT_NE(floor, nullptr);
    if (!floor) return tw_test::LitImage{};
    EXPECT_EQ(static_cast<BuModel*>(floor->data)->lightingPath, c.r300 ? kPathR300 : kPathR200);
    EXPECT_EQ(static_cast<BuModel*>(floor->data)->vertexBuffer != 0, std::string(c.varType) == "VBO");
    return Shot({0, 0, 20}, {light}, {{floor, At(0, 0, 0)}});
  }, 64, 64 * 64 / 2);
}

// The stencil after a light's volume pass differs from 128 exactly on the floor pixels that a ray
// cast towards the light finds occluded (give or take a 1-pixel border), for z-pass and z-fail
// eyes, with and without GL_ATI_separate_stencil, and for two instances of one model.
TEST_F(LitScenes, CubesShadowExactlyTheFloorARayCastFindsOccluded) {
  ModelObject* floor = Load(Floor(16), "floor");
  ModelObject* cube = Load(BuTool_Cube(2, "t\\", kTex), "cube");
  ASSERT_TRUE(floor && cube);
  struct Case {
    const char* name;
    float eyeX, eyeZ;
    bool separate;
    std::vector<std::array<float, 3>> cubes;
    std::array<double, 3> light;
  } cases[] = {{"z-pass", 0, 30, true, {{0, 0, 4}}, {9, 3, 12}},
               {"z-fail", -10, 9, true, {{0, 0, 4}}, {9, 3, 12}},
               {"z-fail one-sided", -10, 9, false, {{0, 0, 4}}, {9, 3, 12}},
               {"two instances", 0, 30, true, {{-7, -2, 4}, {6, 3, 3}}, {0, 1, 14}}};
  const uint8_t separate = GlExtFlags.ATI_separate_stencil;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GlExtFlags.ATI_separate_stencil = c.separate ? separate : 0;
    std::vector<tw_test::LitInstance> instances = {{floor, At(0, 0, 0)}};
    for (const auto& p : c.cubes) instances.push_back({cube, At(p[0], p[1], p[2])});
    const int n = 64;
    tw_test::LitImage img = Shot({c.eyeX, 0, c.eyeZ}, {Light(1, float(c.light[0]), float(c.light[1]), float(c.light[2]), 40)}, instances);
    FloorMap map;
    auto hitsCube = [&](const std::array<double, 3>& o, const std::array<double, 3>& d, double tMax) {
      for (const auto& p : c.cubes) {
        const double lo[3] = {p[0] - 2.0, p[1] - 2.0, p[2] - 2.0}, hi[3] = {p[0] + 2.0, p[1] + 2.0, p[2] + 2.0};
        if (RayHitsBox(o, d, tMax, lo, hi)) return true;
      }
      return false;
    };
    std::vector<int> cls(n * n, -1);  // -1 not floor, 0 lit, 1 occluded
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        const std::array<double, 3> p = map.At(x, y), o{c.eyeX, 0, c.eyeZ}, d{p[0] - o[0], p[1] - o[1], p[2] - o[2]};
        if (!OnFloor(p)) continue;
        if (hitsCube(o, d, 1e9)) continue;  // a cube hides the floor here
        std::array<double, 3> toLight{c.light[0] - p[0], c.light[1] - p[1], c.light[2] - p[2]};
        cls[y * n + x] = hitsCube(p, toLight, 1.0);
      }
    int bad = 0, shadowed = 0;
    for (int y = 1; y < n - 1; ++y)
      for (int x = 1; x < n - 1; ++x) {
        int k = cls[y * n + x];
        if (k < 0) continue;
        bool border = false;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) border |= cls[(y + dy) * n + x + dx] != k;
        bool marked = img.StencilAt(x, y) != 128;
        shadowed += k;
        if (!border && marked != bool(k) && bad++ < 4)
          ADD_FAILURE() << x << "," << y << " stencil " << int(img.StencilAt(x, y)) << " occluded " << k;
      }
    EXPECT_GT(shadowed, 20);
    EXPECT_EQ(bad, 0);
  }
  GlExtFlags.ATI_separate_stencil = separate;
}

// A light's cube filters it by 1 - cube colour: a white +X face leaves that side of the floor dark.
TEST_F(LitScenes, AWhiteLightCubeFaceLeavesItsSideDark) {
  ToolImage faces[6];
  for (int f = 0; f < 6; ++f) faces[f] = f == 0 ? ImageTool_Solid(8, 8, 255, 255, 255, 255) : ImageTool_Solid(8, 8, 0, 0, 0, 255);
  ASSERT_TRUE(MaterialTool_WriteCube("textures/t/lightcube", faces));
  for (float fast : {0.0f, 2.0f}) {
    SCOPED_TRACE(fast);
    Var_SetValue(&render_bump_r300, fast == 0.0f ? 1.0f : 0.0f);
    Var_SetValue(&render_bump_fast, fast);
    ModelObject* floor = Load(Floor(16), fast == 0.0f ? "floor0" : "floor2");
    ASSERT_NE(floor, nullptr);
    ViewLight light = Light(1, 0, 0, 4, 30);
    light.cubeMaterial = Material_Load("textures\\t\\lightcube");
    ASSERT_NE(light.cubeMaterial, 0);
    tw_test::LitImage img = Shot({0, 0, 20}, {light}, {{floor, At(0, 0, 0)}});
    FloorMap map;
    int litPlus = 0, litMinus = 0, plus = 0, minus = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const std::array<double, 3> p = map.At(x, y);
        if (std::fabs(p[1]) > 2 || std::fabs(p[0]) < 8 || std::fabs(p[0]) > 14) continue;
        bool lit = img.At(x, y)[0] > 8;
        (p[0] > 0 ? plus : minus)++;
        (p[0] > 0 ? litPlus : litMinus) += lit;
      }
    EXPECT_GT(plus, 10);
    EXPECT_EQ(litPlus, 0) << "the white face's side";
    EXPECT_EQ(litMinus, minus) << "a black face lights fully";
  }
}

// A skinned instance, its bone moved by the pose, looks exactly like the rigid instance moved by
// its position: the "_4bones" programs, the bone rows and attributes 5 and 6 on the driver.
TEST_F(LitScenes, ASkinnedInstanceMatchesTheRigidOneItsPoseMoves) {
  BuToolModel model = Floor(8);
  model.bones.push_back(BuToolBone{"root"});
  model.objects[0].bones = {0};
  for (BuToolVertex& v : model.objects[0].vertices) v.influences[0] = {0, 1.0f};
  SkeletonBone bone{};
  std::strcpy(bone.name, "root");
  bone.parent = -1;
  BonePose bind{{0, 0, 0, 1}, {0, 0, 0}, 0}, moved{{0, 0, 0, 1}, {5, -3, 0}, 0};
  Skeleton skel{};
  skel.boneCount = 1;
  skel.bones = &bone;
  skel.bindPose = &bind;
  skel.number = 4242;
  for (float r300 : {1.0f, 0.0f}) {
    SCOPED_TRACE(r300);
    Var_SetValue(&render_bump_r300, r300);
    ModelObject* rigid = Load(Floor(8), r300 ? "rigid300" : "rigid200");
    ModelObject* skinnedModel = Load(model, r300 ? "skinned300" : "skinned200");
    ASSERT_TRUE(rigid && skinnedModel);
    tw_test::LitImage images[2];
    for (int k = 0; k < 2; ++k) {
      ModelDrawParams* p = k ? At(0, 0, 0) : At(5, -3, 0);
      if (k) {
        p->skeleton = &skel;
        p->poseA = p->poseB = &moved;
      }
      images[k] = Shot({0, 0, 20}, {Light(1, 4, -2, 5, 14, 0.8f, 0.7f, 0.6f)}, {{k ? skinnedModel : rigid, p}});
    }
    int worst = 0, lit = 0;
    for (size_t i = 0; i < images[0].rgba.size(); ++i) {
      worst = std::max(worst, std::abs(int(images[0].rgba[i]) - int(images[1].rgba[i])));
      lit += images[0].rgba[i] > 20;
    }
    EXPECT_GT(lit, 100);
    EXPECT_LE(worst, 2);
  }
}

// ---- DU levels ----------------------------------------------------------------------------------

class DuLitScenes : public LitScenes {
 protected:
  void SetUp() override {
    LitScenes::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Solid("quarter", 64, 64, 64) && Solid("red", 0, 0, 255) && Solid("texel", 50, 100, 200));
  }
  // A floor of side 32 at z = 0 with the colour texture given (and "quarter" as its multiply layer).
  ModelObject* DuFloor(const char* name, const char* colour = "white") {
    DuToolLevel level;
    level.textureFolder = "textures\\t\\";
    level.shaders.push_back({"floor", {colour, "black", "", "flat_n", "", "quarter"}});
    level.models.push_back({DuTool_Quad(-16, -16, 16, 16, 0, 0)});
    EXPECT_TRUE(DuTool_Save(name, level, nullptr));
    ModelObject* m = du_CreateModel(name);
    if (m) models_.push_back(m);
    return m;
  }
  tw_test::LitImage Draw(ModelObject* level, std::vector<ViewLight> lights) {
    return Shot({0, 0, 20}, std::move(lights), {}, level, 0.5f, kSize);
  }
  static constexpr int kSize = 64;
};

// The base pass writes depth only, or black with "render_bump_clear" 1 (a BU instance's depth pass
// alike, on its silhouette); pass 2 multiplies by the layer only while Right Ctrl is held, by its
// complement when flagged.
TEST_F(DuLitScenes, BaseAndMultiplyPasses) {
  ModelObject* floor = DuFloor("mul");
  ModelObject* cube = Load(BuTool_Cube(4, "t\\", kTex), "cube");
  ASSERT_TRUE(floor && cube);
  Sys_AppInactive = 0;
  DI_Init(1);
  DI_Acquire();
  auto hold = [](bool down) {
    tw_test::QueueKey(0x9D, down);
    Input_Poll();
  };
  DuShader& shader = static_cast<DuLevel*>(floor->data)->header->shaders[0];
  struct Case {
    bool held;
    int invert, clear, want;
  } cases[] = {{false, 0, 0, 128}, {false, 0, 1, 0}, {true, 0, 0, 32}, {true, 1, 0, 96}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.held * 4 + c.invert * 2 + c.clear);
    hold(c.held);
    ASSERT_EQ(Input_KeyDown(0x9D), c.held);
    shader.slots[5].settings[0] = c.invert;
    Var_SetValue(&render_bump_clear, float(c.clear));
    tw_test::LitImage img = Draw(floor, {Light(1, 500, 0, 0, 10)});
    EXPECT_NEAR(img.At(32, 32)[0], c.want, 2);
    EXPECT_EQ(img.At(0, 0)[1], 128) << "off the floor";
    if (c.held) continue;
    img = Shot({0, 0, 20}, {Light(1, 100, 0, 0, 1)}, {{cube, At(0, 0, 0)}}, nullptr, 1);  // lit nowhere
    EXPECT_EQ(img.At(32, 32)[0], c.clear ? 0 : 255) << "the cube";
    EXPECT_EQ(img.At(1, 1)[0], 255) << "beside the cube";
  }
  hold(false);
  DI_Shutdown();
}

// The DU level's passes light its floor as the BU ones do (the base pass clearing to black).
TEST_F(DuLitScenes, FloorFallsOffAsColourTimesNDotLTimesAttenuation) {
  Var_SetValue(&render_bump_clear, 1);
  ExpectFalloffCases([&](const FalloffCase& c, const ViewLight& light) {
    ModelObject* floor = DuFloor(c.name);
    EXPECT_NE(floor, nullptr);
    if (!floor) return tw_test::LitImage{};
    auto* level = static_cast<DuLevel*>(floor->data);
    EXPECT_EQ(level->lightPath, c.r300 ? kPathR300 : kPathR200);
    EXPECT_EQ(level->dynamicIndexBuffer != 0, std::string(c.varType) == "VBO");
    return Draw(floor, {light});
  }, kSize, kSize * kSize / 4);
}

// With shadows on, a light fills only its scissor rectangle; with shadows at 1 there is none.
// Attenuation off lights the whole of each lit triangle, so the rectangle shows.
TEST_F(DuLitScenes, ALightDrawsOnlyInsideItsScissorRectangle) {
  Var_SetValue(&render_bump_clear, 1);
  Var_SetValue(&render_bump_attenuation, 0);
  ModelObject* floor = DuFloor("scissor");
  ASSERT_NE(floor, nullptr);
  const vec3 centre{8, 8, 2};
  for (int shadows : {1, 2}) {
    SCOPED_TRACE(shadows);
    Var_SetValue(&render_bump_shadows, float(shadows));
    tw_test::LitImage img = Draw(floor, {Light(1, centre.x, centre.y, centre.z, 3)});
    vec3 eye{0, 0, 20}, angles{0, -kMathPi / 2, 0};
    DuScissor r = du_LightScissor(&centre, 3, &eye, &angles, kSize, kSize, 90);
    ASSERT_GT(r.width, 0);
    FloorMap map;
    int inside = 0, outside = 0;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        if (!OnFloor(map.At(x, y)) || img.At(x, y)[0] < 8) continue;
        bool in = x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
        (in ? inside : outside)++;
      }
    EXPECT_GT(inside, 0);
    EXPECT_EQ(outside == 0, shadows == 2) << outside << " lit pixels outside it";
  }
}

// "model_draw_lightmap" 0 lights "textures\flat" in place of the colour texture; "render_bump_fast"
// 3 draws as 0. Path 1 (both ATI settings off) draws the colour texture as it is.
TEST_F(DuLitScenes, FlatColourFastThreeAsZeroAndTheNV10Pass) {
  Var_SetValue(&render_bump_r300, 0);
  Var_SetValue(&render_bump_clear, 1);
  ModelObject* floor = DuFloor("red", "red");
  ASSERT_NE(floor, nullptr);
  std::vector<ViewLight> lights = {Light(1, 0, 0, 6, 20)};
  tw_test::LitImage red = Draw(floor, lights);
  Var_SetValue(&model_draw_lightmap, 0);
  tw_test::LitImage flat = Draw(floor, lights);
  Var_SetValue(&model_draw_lightmap, 1);
  EXPECT_GT(red.At(32, 32)[0], 150);
  EXPECT_LT(red.At(32, 32)[1], 3);
  EXPECT_GT(flat.At(32, 32)[1], 60) << "flat is grey-blue, not red";
  Var_SetValue(&render_bump_fast, 3);
  tw_test::LitImage three = Draw(floor, lights);
  EXPECT_EQ(three.rgba, red.rgba);

  Var_SetValue(&render_bump_r200, 0), Var_SetValue(&render_bump_nv10, 1);
  Var_SetValue(&render_bump_fast, 0), Var_SetValue(&render_bump_clear, 0);
  if (!GlExtFlags.NV_texture_env_combine4) GTEST_SKIP() << "no GL_NV_texture_env_combine4";
  floor = DuFloor("nv10", "texel");
  ASSERT_NE(floor, nullptr);
  EXPECT_EQ(static_cast<DuLevel*>(floor->data)->lightPath, kPathNV10);
  tw_test::LitImage img = Draw(floor, {Light(1, 500, 0, 0, 10)});
  EXPECT_NEAR(img.At(32, 32)[0], 200, 1);
  EXPECT_NEAR(img.At(32, 32)[1], 100, 1);
  EXPECT_NEAR(img.At(32, 32)[2], 50, 1);
  EXPECT_EQ(img.At(0, 0)[0], 128);
}

// The sample game's lit level and figure (written loose by the tool that fills the archive): two
// lights light the floor near each of them and nothing beyond both radii, and the figure's
// shadow falls on the floor.
TEST_F(DuLitScenes, TheSampleLevelAndFigureLitByTwoLights) {
  ASSERT_TRUE(LitSample_Write("."));
  Var_SetValue(&render_bump_clear, 1);
  Var_SetValue(&render_bump_r300, 0);
  ModelObject* level = du_CreateModel("maps\\litroom\\litroom");
  ModelObject* figure = bu_CreateModel("models\\lit\\figure");
  ASSERT_TRUE(level && figure);
  models_.push_back(level);
  models_.push_back(figure);
  // From above the roof (its inner faces turn away): both rooms' floors.
  tw_test::LitImage both = Shot({-20, 0, 400}, {Light(1, -128, 0, 64, 100), Light(2, 128, 0, 64, 100)}, {}, level, 0, 128);
  FloorMap map;
  auto pixel = [&](double x, double y) {
    const uint8_t* p = both.At(int(map.o[0] + map.a[0] * x + map.b[0] * y), int(map.o[1] + map.a[1] * x + map.b[1] * y));
    return p[0] + p[1] + p[2];
  };
  EXPECT_GT(pixel(-128, 0), 60) << "under the first light";
  EXPECT_GT(pixel(128, 0), 60) << "under the second light";
  EXPECT_EQ(pixel(-230, 100), 0) << "beyond both radii";
  EXPECT_EQ(pixel(230, -100), 0) << "beyond both radii";
  // Inside the first room, over the figure: with shadows 2 and 3 (the same image), not with 1, its
  // shadow darkens the floor beyond it and lightens nothing.
  std::vector<uint8_t> images[4];
  for (int shadows : {1, 2, 3}) {
    Var_SetValue(&render_bump_shadows, float(shadows));
    images[shadows] = Shot({-128, -40, 60}, {Light(1, -128, 30, 50, 150)}, {{figure, At(-128, 0, 0)}}, level, 0, 128).rgba;
  }
  EXPECT_EQ(images[2], images[3]);
  int darker = 0, lighter = 0;
  for (size_t i = 0; i < images[1].size(); i += 4) {
    darker += images[1][i] + images[1][i + 1] > 40 && images[2][i] + images[2][i + 1] < 4;
    lighter += images[2][i] > images[1][i] + 2;
  }
  EXPECT_GT(darker, 10) << "the figure's shadow";
  EXPECT_EQ(lighter, 0);
}

}  // namespace
