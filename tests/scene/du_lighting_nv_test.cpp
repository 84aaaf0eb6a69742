// DU levels on the NV20 and NV30 paths, on the recording GL table (no driver here has the NV
// extensions): which lights each odd pass lights, the lights skipped for an empty draw list, the
// pass number left behind, the depth and multiply passes, and the levels these paths refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/input.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/vertexarray.h"
#include "scene/du_lighting.h"
#include "scene/model.h"
#include "scene/view.h"
#include "support/lit_scene.h"
#include "support/render_support.h"
#include "tools/du_writer.h"
#include "tools/image_writer.h"

namespace fs = std::filesystem;

namespace {

int Count(const std::string& prefix) {
  const auto& calls = GlRecord_Calls();
  return int(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

// The light position each draw of the NV20 trio saw: parameter 8 before each glDrawElements.
std::vector<float> LightXPerDraw() {
  std::vector<float> out;
  float x = -1;
  for (const std::string& c : GlRecord_Calls()) {
    float v;
    if (std::sscanf(c.c_str(), "glProgramParameters4fvNV(%*d, 8, 1, [%g,", &v) == 1) x = v;
    if (c.rfind("glDrawElements", 0) == 0) out.push_back(x);
  }
  return out;
}

class DuNvPaths : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    fs::copy(fs::path(TW_SOURCE_DIR) / "sample" / "data" / "scripts", "scripts", fs::copy_options::recursive);
    for (const char* name : {"c", "s", "n"})
      ASSERT_TRUE(ImageTool_Save(std::string(name) + ".tga", ImageTool_WriteTGA(ImageTool_Solid(4, 4, 9, 9, 9, 255), 24)));
    Render_ResetBlock();
    GlDispatch_InstallRecording();
    RenderApi = RENDER_API_OPENGL;
    GlExtFlags = GlExtFlagSet{};
    GlExtFlags.ARB_multitexture = GlExtFlags.ARB_vertex_buffer_object = GlExtFlags.NV_texture_env_combine4 = 1;
    GlExtFlags.NV_vertex_program = GlExtFlags.NV_texture_shader = GlExtFlags.NV_register_combiners = 1;
    Var_SetText(&render_var_type, "VBO");
    saved_[0] = render_bump_nv30.value, saved_[1] = render_bump_diffuse.value, saved_[2] = render_bump_specular.value;
    OPENGL_AllocVar();
  }
  void TearDown() override {
    for (ModelObject* m : models_) m->Free(&m);
    for (ModelDrawParams* p : params_) tw_test::LitScene_FreeParams(p);
    Var_SetValue(&render_bump_nv30, saved_[0]);
    Var_SetValue(&render_bump_diffuse, saved_[1]);
    Var_SetValue(&render_bump_specular, saved_[2]);
    OPENGL_FreeVar();
    GlExtFlags = GlExtFlagSet{};
    Render_ResetBlock();
    LoggedTest::TearDown();
  }
  // Two floor surfaces (x < 0 and x > 0), the second without colour or specular texture.
  ModelObject* Level(int vertices = 0) {
    DuToolLevel level;
    level.shaders.push_back({"floor", {"c", "s", "", "n", "", "c"}});
    level.shaders.push_back({"bare", {"", "", "", "n", "", ""}});
    level.models.push_back({DuTool_Quad(-64, -64, 0, 64, 0, 0), DuTool_Quad(0, -64, 64, 64, 0, 1)});
    if (vertices) level.models[0][0].vertices.resize(size_t(vertices - 4), level.models[0][0].vertices[0]);
    EXPECT_TRUE(DuTool_Save("m", level, nullptr));
    ModelObject* m = du_CreateModel("m");
    if (m) models_.push_back(m);
    return m;
  }
  ModelDrawParams* At(float x, float y, float z) {
    params_.push_back(tw_test::LitScene_NewParams(x, y, z));
    return params_.back();
  }
  ViewParams Camera() {
    ViewParams v{};
    v.position = {0, 0, 50};
    v.angles = {0, -kMathPi / 2, 0};
    v.zoom = 1.0f;
    v.fov = 90.0f;
    View_Setup(&v, 0);
    return v;
  }
  static ViewLight Light(int slot, float x, float radius) {
    ViewLight l{};
    l.slot = slot, l.key = slot + 1, l.position = {x, 0, 8}, l.radius = radius;
    l.colour[0] = l.colour[1] = l.colour[2] = 1.0f;
    return l;
  }
  tw_test::BumpSettings settings_;
  float saved_[3];
  std::vector<ModelObject*> models_;
  std::vector<ModelDrawParams*> params_;
};

// Without "render_bump_fast" the odd pass of light i runs the attenuation, diffuse and specular
// passes of that light only; with it, one pass lights every light with a draw list.
TEST_F(DuNvPaths, OddPassesLightTheirLights) {
  Var_SetValue(&render_bump_shadows, 2);
  Var_SetValue(&render_bump_attenuation, 1);
  Var_SetValue(&render_bump_diffuse, 1);
  Var_SetValue(&render_bump_specular, 1);
  ModelObject* m = Level();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(static_cast<DuLevel*>(m->data)->lightPath, kPathNV20);
  ModelObject none{};  // a BU model pair the all-lights pass hands to bu_Draw
  ViewLight lights[3] = {Light(0, -32, 40), Light(1, 60, 40), Light(2, 5000, 10)};
  for (ViewLight& l : lights) l.litCount = 1, l.lit[0].model = &none;
  ViewParams v = Camera();
  v.lights = lights, v.lightCount = 3;
  ModelDrawParams* p = At(0, 0, 0);
  v.pass = 0;
  du_Draw(m, p, &v);
  GlRecord_Clear();
  du_Draw(m, p, &v);
  EXPECT_EQ(Count("glDrawElements"), 1) << "the depth pass draws the surface with textures";
  EXPECT_EQ(Count("glEnable(" + std::to_string(GL_REGISTER_COMBINERS_NV)), 1);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    v.pass = 5 + 2 * i;
    GlRecord_Clear();
    du_Draw(m, p, &v);
    EXPECT_EQ(LightXPerDraw(), std::vector<float>(3, lights[i].position.x)) << "one draw a pass, light i only";
    EXPECT_EQ(v.pass, 5 + 2 * i) << "no BU model drawn";
    EXPECT_EQ(Count("glEnableClientState"), Count("glDisableClientState"));
    EXPECT_EQ(Count("glEnable(" + std::to_string(GL_REGISTER_COMBINERS_NV)),
              Count("glDisable(" + std::to_string(GL_REGISTER_COMBINERS_NV)));
  }
  for (int path : {kPathNV20, kPathNV30}) {
    SCOPED_TRACE(path);
    if (path == kPathNV30) {
      GlExtFlags.NV_fragment_program = 1;
      Var_SetValue(&render_bump_nv30, 1);
      for (ModelObject* old : models_) old->Free(&old);
      models_.clear();
      m = Level();
      ASSERT_EQ(static_cast<DuLevel*>(m->data)->lightPath, kPathNV30);
      v.pass = 0;
      du_Draw(m, p, &v);
      du_Draw(m, p, &v);
    }
    Var_SetValue(&render_bump_fast, 1);
    v.pass = 5;
    GlRecord_Clear();
    du_Draw(m, p, &v);
    EXPECT_EQ(Count("glDrawElements"), 1) << "light 0's floor; lights 1 and 2 reach no textured surface";
    EXPECT_EQ(v.pass, 5) << "left at the last BU pass set: light 0's, lights 1 and 2 skipped";
    EXPECT_EQ(Count("glClearStencil"), 1);
    EXPECT_EQ(Count("glEnableClientState"), Count("glDisableClientState"));
    EXPECT_EQ(Count("glEnable(" + std::to_string(GL_VERTEX_PROGRAM_NV)), Count("glDisable(" + std::to_string(GL_VERTEX_PROGRAM_NV)));
    if (path == kPathNV30) {
      EXPECT_EQ(Count("glEnable(" + std::to_string(GL_FRAGMENT_PROGRAM_NV)), 1);
      EXPECT_EQ(Count("glDisable(" + std::to_string(GL_FRAGMENT_PROGRAM_NV)), 1);
    } else {
      EXPECT_EQ(Count("glEnable(" + std::to_string(GL_TEXTURE_SHADER_NV)), 1);
      EXPECT_EQ(Count("glDisable(" + std::to_string(GL_TEXTURE_SHADER_NV)), 1);
    }
  }
}

// A level too large for level-wide indices is refused by these paths, logged once.
TEST_F(DuNvPaths, LargeLevelsAreRefusedOnce) {
  Var_SetValue(&render_bump_shadows, 1);
  ModelObject* m = Level(65536);
  ASSERT_NE(m, nullptr);
  ViewLight lights[1] = {Light(0, -32, 40)};
  ViewParams v = Camera();
  v.lights = lights, v.lightCount = 1;
  ModelDrawParams* p = At(0, 0, 0);
  for (int pass : {0, 0, 5}) {
    v.pass = pass;
    GlRecord_Clear();
    du_Draw(m, p, &v);
    EXPECT_EQ(Count("glDrawElements"), 0);
  }
  const std::string log = Log();
  const std::string line = "du_Draw: a level of 65536 vertices has no vertex source on the NV paths";
  EXPECT_NE(log.find(line), std::string::npos);
  EXPECT_EQ(log.find(line), log.rfind(line));
}

}  // namespace
