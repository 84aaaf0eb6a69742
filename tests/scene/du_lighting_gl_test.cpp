// DU levels lit on llvmpipe through the lit-scene driver: the base pass, the multiply layer, the
// falloff of the R200 and R300 light passes, the scissor of a light, a model's shadow on the
// level, the flat colour texture, the NV10 colour pass, and the sample game's level and figure.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/bu.h"
#include "scene/du_lighting.h"
#include "scene/model.h"
#include "support/input_fixture.h"
#include "support/lit_scene.h"
#include "support/render_support.h"
#include "tools/bu_writer.h"
#include "tools/du_writer.h"
#include "tools/image_writer.h"
#include "tools/lighting_textures.h"
#include "tools/lit_sample.h"

namespace fs = std::filesystem;

namespace {

bool g_glUp;

class DuLitScenes : public tw_test::LoggedTest {
 protected:
  static void SetUpTestSuite() {
    g_glUp = tw_test::StartGlWindow("DU lighting test") && GlExtFlags.ARB_vertex_program &&
             GlExtFlags.ARB_fragment_program && GlExtFlags.ATI_fragment_shader;
  }
  static void TearDownTestSuite() { tw_test::StopGlWindow(); }
  void SetUp() override {
    if (!g_glUp) GTEST_SKIP() << "no OpenGL with ARB programs and ATI fragment shaders";
    LoggedTest::SetUp();
    fs::copy(fs::path(TW_SOURCE_DIR) / "sample" / "data" / "scripts", "scripts", fs::copy_options::recursive);
    ASSERT_TRUE(LightingTool_WriteTextures("."));
    fs::create_directories("textures/t");
    auto save = [](const char* name, uint8_t b, uint8_t g, uint8_t r) {
      return ImageTool_Save(std::string("textures/t/") + name + ".tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, b, g, r, 255), 24));
    };
    ASSERT_TRUE(save("white", 255, 255, 255) && save("black", 0, 0, 0) && save("flat_n", 255, 128, 128) &&
                save("quarter", 64, 64, 64) && save("red", 0, 0, 255) && save("texel", 50, 100, 200));
    OPENGL_AllocVar();
    Var_SetValue(&render_bump_shadows, 2);
    Var_SetValue(&render_bump_r300, 1);
  }
  void TearDown() override {
    if (!g_glUp) return;
    for (ModelObject*& o : models_) o->Free(&o);
    for (ModelDrawParams* p : params_) tw_test::LitScene_FreeParams(p);
    Tex_FreeAll();
    LoggedTest::TearDown();
  }
  // A floor of side 32 at z = 0 with the colour texture given (and "quarter" as its multiply layer).
  ModelObject* Floor(const char* name, const char* colour = "white") {
    DuToolLevel level;
    level.textureFolder = "textures\\t\\";
    level.shaders.push_back({"floor", {colour, "black", "", "flat_n", "", "quarter"}});
    level.models.push_back({DuTool_Quad(-16, -16, 16, 16, 0, 0)});
    EXPECT_TRUE(DuTool_Save(name, level, nullptr));
    ModelObject* m = du_CreateModel(name);
    if (m) models_.push_back(m);
    return m;
  }
  ModelObject* Cube(const char* name) {
    const std::string tex[4] = {"white", "black", "", "flat_n"};
    tw_test::WriteBytes(std::string(name) + ".bu", BuTool_Write(BuTool_Cube(2, "t\\", tex)));
    ModelObject* m = bu_CreateModel(name);
    if (m) models_.push_back(m);
    return m;
  }
  ModelDrawParams* At(float x, float y, float z) {
    params_.push_back(tw_test::LitScene_NewParams(x, y, z));
    return params_.back();
  }
  tw_test::LitImage Draw(ModelObject* level, std::vector<ViewLight> lights, std::vector<tw_test::LitInstance> models = {}) {
    tw_test::LitScene scene;
    scene.eye = {0, 0, 20};
    scene.angles = {0, -kMathPi / 2, 0};
    scene.clear[0] = scene.clear[1] = scene.clear[2] = 0.5f;
    scene.lights = std::move(lights);
    scene.instances = std::move(models);
    scene.level = {level, At(0, 0, 0)};
    return tw_test::LitScene_Draw(&scene, kSize, kSize);
  }
  static constexpr int kSize = 64;
  tw_test::BumpSettings settings_;
  std::vector<ModelObject*> models_;
  std::vector<ModelDrawParams*> params_;
};

ViewLight Light(int key, float x, float y, float z, float radius, float r = 1, float g = 1, float b = 1) {
  ViewLight l{};
  l.slot = key;
  l.key = key;
  l.position = {x, y, z};
  l.colour[0] = r, l.colour[1] = g, l.colour[2] = b;
  l.radius = radius;
  return l;
}

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

// The base pass writes depth only, or black with "render_bump_clear" 1.
TEST_F(DuLitScenes, BasePassWritesColourOnlyWhenAsked) {
  ModelObject* floor = Floor("base");
  ASSERT_NE(floor, nullptr);
  for (int clear : {0, 1}) {
    SCOPED_TRACE(clear);
    Var_SetValue(&render_bump_clear, float(clear));
    tw_test::LitImage img = Draw(floor, {Light(1, 500, 0, 0, 10)});
    EXPECT_EQ(img.At(32, 32)[0], clear ? 0 : 128);
    EXPECT_EQ(img.At(0, 0)[1], 128) << "off the floor";
  }
}

// Pass 2 multiplies by the layer only while Right Ctrl is held, by its complement when flagged.
TEST_F(DuLitScenes, MultiplyLayerFollowsRightCtrl) {
  ModelObject* floor = Floor("mul");
  ASSERT_NE(floor, nullptr);
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
    int invert, want;
  } cases[] = {{false, 0, 128}, {true, 0, 32}, {true, 1, 96}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.held * 2 + c.invert);
    hold(c.held);
    ASSERT_EQ(Input_KeyDown(0x9D), c.held);
    shader.slots[5].settings[0] = c.invert;
    tw_test::LitImage img = Draw(floor, {Light(1, 500, 0, 0, 10)});
    EXPECT_NEAR(img.At(32, 32)[0], c.want, 2);
  }
  hold(false);
  DI_Shutdown();
}

// The full R200 and R300 passes light the floor as colour x N.L x (1 - d^2 / r^2), the same with
// either kind of buffer.
TEST_F(DuLitScenes, FloorFallsOffAsColourTimesNDotLTimesAttenuation) {
  struct Case {
    const char* name;
    float r300;
    const char* varType;
  } cases[] = {{"R300", 1, "AGP"}, {"R300 VBO", 1, "VBO"}, {"full", 0, "AGP"}, {"full VBO", 0, "VBO"}};
  const float radius = 18, colour[3] = {0.9f, 0.6f, 0.3f};
  const double light[3] = {3, -2, 6};
  std::vector<uint8_t> previous;
  Var_SetValue(&render_bump_clear, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Var_SetValue(&render_bump_r300, c.r300);
    Var_SetText(&render_var_type, c.varType);
    ModelObject* floor = Floor(c.name);
    ASSERT_NE(floor, nullptr);
    auto* level = static_cast<DuLevel*>(floor->data);
    EXPECT_EQ(level->lightPath, c.r300 ? kPathR300 : kPathR200);
    EXPECT_EQ(level->dynamicIndexBuffer != 0, std::string(c.varType) == "VBO");
    tw_test::LitImage img = Draw(floor, {Light(1, 3, -2, 6, radius, colour[0], colour[1], colour[2])});
    if (std::string(c.varType) == "VBO") {
      EXPECT_EQ(img.rgba, previous) << "the same image as without buffers";
    }
    previous = img.rgba;
    FloorMap map;
    int checked = 0, bad = 0;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        auto p = map.At(x, y);
        if (!OnFloor(p)) continue;
        double d[3] = {light[0] - p[0], light[1] - p[1], light[2] - p[2]};
        double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        double ndotl = std::fmax(0.0, d[2] / len), att = std::fmax(0.0, 1 - len * len / (radius * radius));
        ++checked;
        for (int k = 0; k < 3; ++k) {
          double want = 255.0 * colour[k] * ndotl * att;
          if (std::fabs(want - img.At(x, y)[k]) > 6.0 && bad++ < 4)
            ADD_FAILURE() << x << "," << y << " channel " << k << ": " << int(img.At(x, y)[k]) << " want " << want;
        }
      }
    EXPECT_GT(checked, kSize * kSize / 4);
    EXPECT_EQ(bad, 0);
  }
}

// With shadows on, a light fills only its scissor rectangle; with shadows at 1 there is none.
// Attenuation off lights the whole of each lit triangle, so the rectangle shows.
TEST_F(DuLitScenes, ALightDrawsOnlyInsideItsScissorRectangle) {
  Var_SetValue(&render_bump_clear, 1);
  Var_SetValue(&render_bump_attenuation, 0);
  ModelObject* floor = Floor("scissor");
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
    if (shadows == 2) {
      EXPECT_EQ(outside, 0);
    } else {
      EXPECT_GT(outside, 0);
    }
  }
}

// A cube standing on the floor shadows it with shadows 2 and 3 (the same image), not with 1.
TEST_F(DuLitScenes, AModelInTheLevelShadowsTheFloor) {
  Var_SetValue(&render_bump_clear, 1);
  ModelObject* floor = Floor("shadowed");
  ModelObject* cube = Cube("cube");
  ASSERT_TRUE(floor && cube);
  std::vector<uint8_t> images[4];
  for (int shadows : {1, 2, 3}) {
    Var_SetValue(&render_bump_shadows, float(shadows));
    images[shadows] = Draw(floor, {Light(1, 6, 0, 6, 30)}, {{cube, At(0, 0, 2)}}).rgba;
  }
  EXPECT_EQ(images[2], images[3]);
  int darker = 0, lighter = 0;
  for (size_t i = 0; i < images[1].size(); i += 4) {
    darker += images[1][i] > 40 && images[2][i] < 4;
    lighter += images[2][i] > images[1][i] + 2;
  }
  EXPECT_GT(darker, 20) << "the shadow beyond the cube";
  EXPECT_EQ(lighter, 0);
}

// "model_draw_lightmap" 0 lights "textures\flat" in place of the colour texture; "render_bump_fast"
// 3 draws as 0.
TEST_F(DuLitScenes, FlatColourAndFastThreeAsZero) {
  Var_SetValue(&render_bump_r300, 0);
  Var_SetValue(&render_bump_clear, 1);
  ModelObject* floor = Floor("red", "red");
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
}

// Path 1 (both ATI settings off) draws the colour texture as it is.
TEST_F(DuLitScenes, NV10PassDrawsTheColourTexture) {
  Var_SetValue(&render_bump_r300, 0);
  Var_SetValue(&render_bump_r200, 0);
  Var_SetValue(&render_bump_nv10, 1);
  if (!GlExtFlags.NV_texture_env_combine4) GTEST_SKIP() << "no GL_NV_texture_env_combine4";
  ModelObject* floor = Floor("nv10", "texel");
  ASSERT_NE(floor, nullptr);
  EXPECT_EQ(static_cast<DuLevel*>(floor->data)->lightPath, kPathNV10);
  tw_test::LitImage img = Draw(floor, {Light(1, 500, 0, 0, 10)});
  EXPECT_NEAR(img.At(32, 32)[0], 200, 1);
  EXPECT_NEAR(img.At(32, 32)[1], 100, 1);
  EXPECT_NEAR(img.At(32, 32)[2], 50, 1);
  EXPECT_EQ(img.At(0, 0)[0], 128);
}

}  // namespace

namespace {

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
  auto frame = [&](vec3 eye, std::vector<ViewLight> lights, std::vector<tw_test::LitInstance> models) {
    tw_test::LitScene scene;
    scene.eye = eye;
    scene.angles = {0, -kMathPi / 2, 0};
    scene.lights = std::move(lights);
    scene.instances = std::move(models);
    scene.level = {level, At(0, 0, 0)};
    return tw_test::LitScene_Draw(&scene, 128, 128);
  };
  auto pixel = [](const tw_test::LitImage& img, const FloorMap& map, double x, double y) {
    int px = int(map.o[0] + map.a[0] * x + map.b[0] * y), py = int(map.o[1] + map.a[1] * x + map.b[1] * y);
    const uint8_t* p = img.At(px, py);
    return p[0] + p[1] + p[2];
  };
  // From above the roof (its inner faces turn away): both rooms' floors.
  tw_test::LitImage both = frame({-20, 0, 400}, {Light(1, -128, 0, 64, 100), Light(2, 128, 0, 64, 100)}, {});
  FloorMap map;
  EXPECT_GT(pixel(both, map, -128, 0), 60) << "under the first light";
  EXPECT_GT(pixel(both, map, 128, 0), 60) << "under the second light";
  EXPECT_EQ(pixel(both, map, -230, 100), 0) << "beyond both radii";
  EXPECT_EQ(pixel(both, map, 230, -100), 0) << "beyond both radii";
  // Inside the first room, over the figure: its shadow darkens the floor beyond it.
  std::vector<uint8_t> images[3];
  for (int shadows : {1, 2}) {
    Var_SetValue(&render_bump_shadows, float(shadows));
    images[shadows] = frame({-128, -40, 60}, {Light(1, -128, 30, 50, 150)}, {{figure, At(-128, 0, 0)}}).rgba;
  }
  int darker = 0;
  for (size_t i = 0; i < images[1].size(); i += 4)
    darker += images[1][i] + images[1][i + 1] > 40 && images[2][i] + images[2][i + 1] < 4;
  EXPECT_GT(darker, 10) << "the figure's shadow";

}

}  // namespace
