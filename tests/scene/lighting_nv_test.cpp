// The NV20 and NV30 lighting paths on the recording GL table (no driver here has the NV
// extensions): the register-combiner set-ups checked by a CPU evaluator of the recorded state,
// the passes' programs, set-ups, draws, constants and undo, the NV shadow volumes, and the NV
// program texts' contract.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/vertexarray.h"
#include "scene/bu_lighting.h"
#include "scene/model.h"
#include "scene/nv_combiners.h"
#include "scene/skeleton.h"
#include "scene/view.h"
#include "support/lit_scene.h"
#include "support/render_support.h"
#include "tools/bu_writer.h"

namespace fs = std::filesystem;

namespace {

int Count(const std::string& prefix) {
  const auto& calls = GlRecord_Calls();
  return int(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}
bool Has(const std::string& line) {
  const auto& calls = GlRecord_Calls();
  return std::find(calls.begin(), calls.end(), line) != calls.end();
}
std::string On(GLenum cap) { return GlRecord_Format("glEnable", cap); }
std::string Off(GLenum cap) { return GlRecord_Format("glDisable", cap); }

// ---- CPU evaluator of the recorded combiner state ----------------------------------------------

using Vec4 = std::array<float, 4>;

struct CombinerState {
  int general = 0;
  Vec4 constant[2]{};
  struct In {
    int reg = GL_ZERO, map = GL_UNSIGNED_IDENTITY_NV, use = GL_RGB;
  };
  struct Portion {
    In in[4];
    int out[3] = {GL_DISCARD_NV, GL_DISCARD_NV, GL_DISCARD_NV};
    int scale = GL_NONE, abDot = 0, cdDot = 0, mux = 0;
  } portions[8][2];
  In final[7];

  // Applies the recorded calls (the state lasts across set-ups, as the driver's does).
  void Apply(const std::vector<std::string>& calls) {
    for (const std::string& c : calls) {
      int v[10];
      float f[4];
      if (std::sscanf(c.c_str(), "glCombinerParameteriNV(%d, %d)", &v[0], &v[1]) == 2 && v[0] == GL_NUM_GENERAL_COMBINERS_NV) {
        general = v[1];
      } else if (std::sscanf(c.c_str(), "glCombinerParameterfvNV(%d, [%g, %g, %g, %g])", &v[0], &f[0], &f[1], &f[2], &f[3]) == 5) {
        std::memcpy(constant[v[0] == GL_CONSTANT_COLOR1_NV].data(), f, sizeof f);
      } else if (std::sscanf(c.c_str(), "glCombinerInputNV(%d, %d, %d, %d, %d, %d)", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) == 6) {
        portions[v[0] - GL_COMBINER0_NV][v[1] == GL_ALPHA].in[v[2] - GL_VARIABLE_A_NV] = {v[3], v[4], v[5]};
      } else if (std::sscanf(c.c_str(), "glCombinerOutputNV(%d, %d, %d, %d, %d, %d, %d, %d, %d, %d)", &v[0], &v[1], &v[2], &v[3],
                             &v[4], &v[5], &v[6], &v[7], &v[8], &v[9]) == 10) {
        Portion& p = portions[v[0] - GL_COMBINER0_NV][v[1] == GL_ALPHA];
        p.out[0] = v[2], p.out[1] = v[3], p.out[2] = v[4], p.scale = v[5], p.abDot = v[7], p.cdDot = v[8], p.mux = v[9];
      } else if (std::sscanf(c.c_str(), "glFinalCombinerInputNV(%d, %d, %d, %d)", &v[0], &v[1], &v[2], &v[3]) == 4) {
        final[v[0] - GL_VARIABLE_A_NV] = {v[1], v[2], v[3]};
      }
    }
  }

  static float Map(float x, int map) {
    switch (map) {
      case GL_UNSIGNED_INVERT_NV: return 1.0f - std::clamp(x, 0.0f, 1.0f);
      case GL_EXPAND_NORMAL_NV: return 2.0f * std::max(x, 0.0f) - 1.0f;
      case GL_HALF_BIAS_NORMAL_NV: return std::max(x, 0.0f) - 0.5f;
      case GL_SIGNED_IDENTITY_NV: return x;
      case GL_SIGNED_NEGATE_NV: return -x;
      default: return std::max(x, 0.0f);
    }
  }
  static std::array<float, 3> Read(std::map<int, Vec4>& regs, const In& in) {
    const Vec4& r = regs[in.reg];
    std::array<float, 3> out;
    for (int k = 0; k < 3; ++k)
      out[k] = Map(in.use == GL_RGB ? r[k] : in.use == GL_BLUE ? r[2] : r[3], in.map);
    return out;
  }

  // The colour (r, g, b, a) for texture, primary and secondary colour values.
  Vec4 Evaluate(const Vec4 tex[4], const Vec4& primary, const Vec4& secondary) {
    std::map<int, Vec4> regs;
    for (int u = 0; u < 4; ++u) regs[GL_TEXTURE0_ARB + u] = tex[u];
    regs[GL_PRIMARY_COLOR_NV] = primary, regs[GL_SECONDARY_COLOR_NV] = secondary;
    regs[GL_CONSTANT_COLOR0_NV] = constant[0], regs[GL_CONSTANT_COLOR1_NV] = constant[1];
    regs[GL_SPARE0_NV] = {0, 0, 0, tex[0][3]};
    regs[GL_SPARE1_NV] = {0, 0, 0, 0};
    regs[GL_ZERO] = {0, 0, 0, 0};
    for (int s = 0; s < general; ++s) {
      std::map<int, Vec4> next = regs;
      for (int a = 0; a < 2; ++a) {
        const Portion& p = portions[s][a];
        std::array<float, 3> v[4];
        for (int i = 0; i < 4; ++i) v[i] = Read(regs, p.in[i]);
        float ab[3], cd[3];
        for (int k = 0; k < 3; ++k) ab[k] = v[0][k] * v[1][k], cd[k] = v[2][k] * v[3][k];
        if (p.abDot) ab[0] = ab[1] = ab[2] = ab[0] + ab[1] + ab[2];
        if (p.cdDot) cd[0] = cd[1] = cd[2] = cd[0] + cd[1] + cd[2];
        const float scale = p.scale == GL_SCALE_BY_FOUR_NV ? 4.0f : p.scale == GL_SCALE_BY_TWO_NV ? 2.0f : 1.0f;
        const bool muxPick = regs[GL_SPARE0_NV][3] >= 0.5f;
        for (int o = 0; o < 3; ++o) {
          if (p.out[o] == GL_DISCARD_NV) continue;
          Vec4& dst = next[p.out[o]];
          for (int k = 0; k < (a ? 1 : 3); ++k) {
            float x = o == 0 ? ab[k] : o == 1 ? cd[k] : p.mux ? (muxPick ? cd[k] : ab[k]) : ab[k] + cd[k];
            dst[a ? 3 : k] = std::clamp(x * scale, -1.0f, 1.0f);
          }
        }
      }
      regs = next;
    }
    for (auto& [reg, v] : regs)
      for (float& x : v) x = std::clamp(x, 0.0f, 1.0f);
    auto fin = [&](int i) { return Read(regs, final[i]); };
    std::array<float, 3> e = fin(4), f = fin(5);
    regs[GL_E_TIMES_F_NV] = {e[0] * f[0], e[1] * f[1], e[2] * f[2], 0};
    std::array<float, 3> A = fin(0), B = fin(1), C = fin(2), D = fin(3);
    Vec4 out;
    for (int k = 0; k < 3; ++k) out[k] = std::clamp(A[k] * B[k] + (1 - A[k]) * C[k] + D[k], 0.0f, 1.0f);
    out[3] = fin(6)[0];
    return out;
  }
};

Vec4 Encode(float x, float y, float z, float a = 1) { return {0.5f * x + 0.5f, 0.5f * y + 0.5f, 0.5f * z + 0.5f, a}; }

class NvPaths : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    fs::copy(fs::path(TW_SOURCE_DIR) / "sample" / "data" / "scripts", "scripts", fs::copy_options::recursive);
    Render_ResetBlock();
    GlDispatch_InstallRecording();
    RenderApi = RENDER_API_OPENGL;
    GlExtFlags = GlExtFlagSet{};
    GlExtFlags.ARB_multitexture = GlExtFlags.NV_texture_env_combine4 = GlExtFlags.NV_vertex_program = 1;
    GlExtFlags.NV_register_combiners = GlExtFlags.NV_texture_shader = GlExtFlags.ARB_vertex_buffer_object = 1;
    GlExtFlags.EXT_stencil_two_side = GlExtFlags.NV_texture_expand_normal = 1;
    for (int i = 0; i < 3; ++i) saved_[i] = kSaved[i]->value;
    OPENGL_AllocVar();
  }
  void TearDown() override {
    for (BuModel* m : models_) bu_FreeModel(m);
    for (ModelDrawParams* p : params_) tw_test::LitScene_FreeParams(p);
    for (int i = 0; i < 3; ++i) Var_SetValue(kSaved[i], saved_[i]);
    OPENGL_FreeVar();
    GlExtFlags = GlExtFlagSet{};
    Render_ResetBlock();
    LoggedTest::TearDown();
  }
  BuModel* Load(const BuToolModel& m, const char* name = "m") {
    tw_test::WriteBytes(std::string(name) + ".bu", BuTool_Write(m));
    BuModel* model = bu_Load(name);
    if (model) models_.push_back(model);
    if (model) bu_BuildGpuVerticesVbo(model);
    return model;
  }
  ModelDrawParams* At(float x, float y, float z) {
    params_.push_back(tw_test::LitScene_NewParams(x, y, z));
    return params_.back();
  }
  // The lines Bump_SetNvState alone issues for a mode.
  static std::vector<std::string> SetupLines(int mode, const ViewLight* light) {
    std::vector<std::string> before = GlRecord_Calls();
    GlRecord_Clear();
    Bump_SetNvState(mode, light);
    std::vector<std::string> lines = GlRecord_Calls();
    GlRecord_Clear();
    return lines;
  }
  static bool Contains(const std::vector<std::string>& calls, const std::vector<std::string>& run) {
    return std::search(calls.begin(), calls.end(), run.begin(), run.end()) != calls.end();
  }
  tw_test::BumpSettings settings_;
  VarRecord* const kSaved[3] = {&render_bump_diffuse, &render_bump_specular, &render_bump_reflect};
  float saved_[3];
  std::vector<BuModel*> models_;
  std::vector<ModelDrawParams*> params_;
};

const std::string kTex[4] = {"skin", "skin_s", "", "skin_n"};

TEST_F(NvPaths, CombinerSetupsIssueTheirTables) {
  ViewLight light{};
  light.colour[0] = 0.25f, light.colour[1] = 0.5f, light.colour[2] = 1.0f;
  for (int mode : {5, 12, -1, 0}) {
    Bump_SetNvState(mode, &light);
    Bump_DisableNvState(mode == 0 ? 12 : mode == -1 ? 0 : 12);
    EXPECT_TRUE(GlRecord_Calls().empty()) << mode;
  }
  for (int mode = 6; mode <= 11; ++mode) {
    SCOPED_TRACE(mode);
    const NvSetup* s = Bump_NvSetup(mode);
    ASSERT_NE(s, nullptr);
    GlRecord_Clear();
    Bump_SetNvState(mode, &light);
    const auto& calls = GlRecord_Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], GlRecord_Format("glCombinerParameteriNV", GL_NUM_GENERAL_COMBINERS_NV, s->generalCount));
    EXPECT_EQ(Count("glCombinerInputNV"), 4 * s->portionCount);
    EXPECT_EQ(Count("glCombinerOutputNV"), s->portionCount);
    EXPECT_EQ(Has("glCombinerParameterfvNV(34090, [0.25, 0.5, 1, 1])"), mode >= 9);
    EXPECT_EQ(Has("glCombinerParameterfvNV(34091, [1, 1, 1, 0.75])"), mode == 11);
    EXPECT_EQ(Count(On(GL_REGISTER_COMBINERS_NV)), 1);
    EXPECT_EQ(Count(On(GL_TEXTURE_SHADER_NV)), mode == 11 ? 1 : 0);
    if (mode == 11) {
      EXPECT_EQ(calls.back(), On(GL_TEXTURE_SHADER_NV));
      EXPECT_TRUE(Has(GlRecord_Format("glTexEnvi", GL_TEXTURE_SHADER_NV, GL_SHADER_OPERATION_NV, GL_PASS_THROUGH_NV)));
    }
    GlRecord_Clear();
    Bump_DisableNvState(mode);
    EXPECT_EQ(GlRecord_Calls().size(), mode == 11 ? 2u : 1u);
  }
  // The calls of a missing extension are never made.
  GlExtFlags.NV_texture_shader = 0;
  GlRecord_Clear();
  Bump_SetNvState(11, &light);
  Bump_DisableNvState(11);
  EXPECT_EQ(Count(On(GL_TEXTURE_SHADER_NV)) + Count(Off(GL_TEXTURE_SHADER_NV)) + Count("glTexEnvi"), 0);
  GlExtFlags.NV_register_combiners = 0;
  GlRecord_Clear();
  Bump_SetNvState(9, &light);
  Bump_DisableNvState(9);
  EXPECT_TRUE(GlRecord_Calls().empty());
}

TEST_F(NvPaths, CombinerSetupsComputeWhatTheyAreFor) {
  CombinerState state;
  auto run = [&](int mode, const ViewLight& light) {
    state.Apply(SetupLines(mode, &light));
  };
  ViewLight white{}, black{};
  white.colour[0] = white.colour[1] = white.colour[2] = 1.0f;
  const Vec4 none{0, 0, 0, 0};
  // Mode 8: 1 - (t0 + t1) in colour and alpha.
  run(8, white);
  Vec4 tex[4] = {{0.25f, 0.25f, 0.25f, 1}, {0.5f, 0.5f, 0.5f, 1}, none, none};
  Vec4 out = state.Evaluate(tex, none, none);
  EXPECT_NEAR(out[0], 0.25f, 1e-5);
  EXPECT_NEAR(out[3], 0.25f, 1e-5);
  // Mode 9 with a black light is black whatever the textures.
  run(9, black);
  Vec4 lit[4] = {Encode(0, 0, 1), Encode(0, 0.6f, 0.8f), {1, 1, 1, 1}, none};
  out = state.Evaluate(lit, none, none);
  EXPECT_EQ(out[0] + out[1] + out[2], 0.0f);
  // Mode 9: N.L x light x texture2 x clamped self-shadow factor.
  ViewLight red{};
  red.colour[0] = 1.0f, red.colour[1] = 0.5f;
  run(9, red);
  out = state.Evaluate(lit, none, none);
  EXPECT_NEAR(out[0], 0.8f, 1e-4);
  EXPECT_NEAR(out[1], 0.4f, 1e-4);
  // Mode 10 raises N.H to the eighth power; mode 11 run before it changes nothing.
  auto specular = [&](int before) {
    state = CombinerState{};
    if (before) run(before, white);
    run(10, white);
    return state.Evaluate(lit, none, none);
  };
  out = specular(0);
  EXPECT_NEAR(out[0], std::pow(0.8f, 8.0f), 1e-4);
  EXPECT_EQ(specular(11), out);
  // Mode 11 with unit vectors: diffuse N.L x texture1 x light, specular 4 (N.H^2 - 0.75) x
  // texture2 x light, alpha 1 - |expand texture3|^2.
  state = CombinerState{};
  run(11, red);
  Vec4 one[4] = {Encode(0, 0, 1), {0.5f, 0.5f, 0.5f, 1}, {1, 1, 1, 1}, Encode(0.6f, 0, 0)};
  const Vec4 primary = Encode(0.6f, 0, 0.8f), secondary = Encode(0, 0.28f, 0.96f);
  out = state.Evaluate(one, primary, secondary);
  const float spec = std::clamp(4 * (0.96f * 0.96f - 0.75f), 0.0f, 1.0f);
  EXPECT_NEAR(out[0], std::min(1.0f, spec + 0.8f * 0.5f), 2e-3);
  EXPECT_NEAR(out[1], std::min(1.0f, spec * 0.5f + 0.8f * 0.5f * 0.5f), 2e-3);
  EXPECT_NEAR(out[3], 1 - 0.36f, 2e-3);
}

struct NvScene {
  BuModel* model;
  ModelDrawParams* params;
  ViewParams view{};
  ViewLight light{};
};

NvScene MakeScene(BuModel* m, ModelDrawParams* p) {
  NvScene s{m, p};
  s.view.zoom = 1;
  s.view.fov = 90;
  View_Setup(&s.view, 0);
  s.light.key = 1;
  s.light.position = {0.5f, 40, 3};
  s.light.radius = 10;
  s.light.colour[0] = s.light.colour[1] = s.light.colour[2] = 1;
  s.view.lights = &s.light;
  s.view.lightCount = 1;
  return s;
}

// Each pass binds its program, loads its combiner set-up, draws and undoes what it set.
TEST_F(NvPaths, PassesBindTheirProgramsAndSetups) {
  BuModel* m = Load(BuTool_Cube(1, "", kTex));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->lightingPath, kPathNV20);
  m->header->shaders[0].slots[kBuSlotDiffuse].material = 1;
  m->header->shaders[0].slots[kBuSlotSpecular].material = 1;
  m->header->shaders[0].slots[kBuSlotReflectionCube].material = 1;
  NvScene s = MakeScene(m, At(0, 40, 0));
  Var_SetValue(&render_bump_attenuation, 1);
  bu_DrawDepthNV(m, s.params, &s.view);
  ASSERT_TRUE(bu_InstanceState(m, s.params)->visible);
  const ViewLight none{};
  struct Case {
    const char* name;
    void (*pass)(NvScene&);
    int program, mode;
    const ViewLight* setupLight;
  } cases[] = {
      {"depth", [](NvScene& s) { bu_DrawDepthNV(s.model, s.params, &s.view); }, kProgNV20Z, 6, &none},
      {"reflect", [](NvScene& s) { bu_DrawReflectNV20(s.model, s.params, &s.view); }, kProgNV20Reflect, 7, &none},
      {"attenuation", [](NvScene& s) { bu_DrawAttenuationNV20(s.model, s.params, &s.view, &s.light); }, kProgNV20Attenuation, 8, &s.light},
      {"diffuse", [](NvScene& s) { bu_DrawDiffuseNV20(s.model, s.params, &s.view, &s.light); }, kProgNV20Diffuse, 9, &s.light},
      {"specular", [](NvScene& s) { bu_DrawSpecularNV20(s.model, s.params, &s.view, &s.light); }, kProgNV20Specular, 10, &s.light},
      {"fast", [](NvScene& s) { bu_DrawFastNV20(s.model, s.params, &s.view, &s.light); }, kProgNV20DiffuseSpecular, 11, &s.light},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> setup = SetupLines(c.mode, c.setupLight);
    s.view.statDrawCalls = s.view.statTriangles = 0;
    c.pass(s);
    const auto& calls = GlRecord_Calls();
    EXPECT_TRUE(Has(GlRecord_Format("glBindProgramNV", GL_VERTEX_PROGRAM_NV, *Lighting_Program(c.program))));
    EXPECT_TRUE(Contains(calls, setup));
    EXPECT_EQ(Count("glDrawElements"), 1);
    EXPECT_EQ(s.view.statDrawCalls, 1);
    EXPECT_EQ(s.view.statTriangles, 12);
    // Undo: combiners and program off, arrays off, blending 0, depth writes back on.
    EXPECT_EQ(Count(Off(GL_REGISTER_COMBINERS_NV)), 1);
    EXPECT_EQ(Count(On(GL_TEXTURE_SHADER_NV)), Count(Off(GL_TEXTURE_SHADER_NV)));
    EXPECT_EQ(Count(On(GL_VERTEX_PROGRAM_NV)), Count(Off(GL_VERTEX_PROGRAM_NV)));
    EXPECT_EQ(Count("glEnableClientState"), Count("glDisableClientState"));
    EXPECT_EQ(Count("glTrackMatrixNV"), c.mode == 6 ? 1 : c.mode == 8 ? 4 : 2);
    EXPECT_EQ(CurrentBlendMode, 0);
    EXPECT_EQ(calls.back(), GlRecord_Format("glDepthMask", 1));
    GlRecord_Clear();
  }
  // The raw blend function of the diffuse pass leaves the blend cache sound: additive blending
  // asked for next is issued again.
  bu_DrawDiffuseNV20(m, s.params, &s.view, &s.light);
  EXPECT_TRUE(Has(GlRecord_Format("glBlendFunc", GL_DST_ALPHA, GL_ONE)));
  GlRecord_Clear();
  Render_SetBlend(1);
  EXPECT_TRUE(Has(GlRecord_Format("glBlendFunc", GL_ONE, GL_ONE)));
  Render_SetBlend(0);
  // Companions: the diffuse pass's normalization cube on unit 1, the one-pass pass's unit 3.
  GlRecord_Clear();
  bu_DrawDiffuseNV20(m, s.params, &s.view, &s.light);
  const auto& calls = GlRecord_Calls();
  auto unit1 = std::find(calls.begin(), calls.end(), GlRecord_Format("glActiveTextureARB", GL_TEXTURE1_ARB));
  auto cube = std::find(calls.begin(), calls.end(), On(GL_TEXTURE_CUBE_MAP_ARB));
  EXPECT_TRUE(unit1 < cube && cube != calls.end());
  GlRecord_Clear();
  bu_DrawFastNV20(m, s.params, &s.view, &s.light);
  EXPECT_EQ(Count(On(GL_TEXTURE_3D)), 1);
  EXPECT_EQ(Count(Off(GL_TEXTURE_3D)), 1);
  // An object without the pass's material is skipped; visible flag 0 skips the depth and the
  // one-pass passes only.
  m->header->shaders[0].slots[kBuSlotReflectionCube].material = 0;
  GlRecord_Clear();
  bu_DrawReflectNV20(m, s.params, &s.view);
  EXPECT_EQ(Count("glDrawElements"), 0);
  s.view.position = {0, 200, 0};  // the cube now lies behind the eye
  GlRecord_Clear();
  bu_DrawDepthNV(m, s.params, &s.view);
  EXPECT_FALSE(bu_InstanceState(m, s.params)->visible);
  bu_DrawFastNV20(m, s.params, &s.view, &s.light);
  EXPECT_EQ(Count("glDrawElements"), 0);
  bu_DrawDiffuseNV20(m, s.params, &s.view, &s.light);
  bu_DrawSpecularNV20(m, s.params, &s.view, &s.light);
  bu_DrawAttenuationNV20(m, s.params, &s.view, &s.light);
  EXPECT_EQ(Count("glDrawElements"), 3);
}

// The index sources: buffer or own arrays, strip or list, with the counters.
TEST_F(NvPaths, ObjectDrawsTakeTheirIndexSource) {
  const std::string noNormal[4] = {"skin", "skin_s", "", ""};
  for (const char* type : {"VBO", "none"}) {
    SCOPED_TRACE(type);
    Var_SetText(&render_var_type, type);
    BuModel* m = Load(BuTool_Bar(2, "", noNormal), type);  // object 0 a strip of 4, object 1 a list of 6
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->indexBuffer != 0, std::string(type) == "VBO");
    for (int o = 0; o < 2; ++o) m->header->shaders[m->header->objects[o].shader].slots[kBuSlotDiffuse].material = 1;
    ModelDrawParams* p = At(0, 0, 0);
    ViewParams view{};
    GlRecord_Clear();
    bu_DrawObjectFastNV20(m, 0, p, &view);
    bu_DrawObjectFastNV20(m, 1, p, &view);
    const void* buffer = m->indexBuffer ? nullptr : (const void*)1;
    EXPECT_TRUE(Has(GlRecord_Format("glDrawElements", GL_TRIANGLE_STRIP, 4, GL_UNSIGNED_SHORT, m->indexBuffer ? nullptr : buffer)));
    EXPECT_TRUE(Has(GlRecord_Format("glDrawElements", GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, m->indexBuffer ? (const void*)8 : buffer)));
    EXPECT_EQ(view.statDrawCalls, 2);
    EXPECT_EQ(view.statTriangles, 4);
  }
}

// c[8] to c[13] of the NV30 pass: a point of the instance maps into the light's frame as the CPU
// maps it; the bone rows go in one call per object.
TEST_F(NvPaths, Nv30ConstantsAndBoneRows) {
  GlExtFlags.NV_fragment_program = 1;
  Var_SetValue(&render_bump_nv30, 1);
  BuModel* m = Load(BuTool_Bar(2, "", kTex));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->lightingPath, kPathNV30);
  for (int o = 0; o < 2; ++o) m->header->shaders[m->header->objects[o].shader].slots[kBuSlotDiffuse].material = 1;
  ModelDrawParams* p = At(1, 2, 3);
  p->angles = {0.3f, -0.2f, 0.5f};
  Skeleton skel{};
  p->skeleton = &skel;
  ViewParams view{};
  ViewLight light{};
  light.position = {4, -1, 2};
  light.angles = {1.1f, 0.4f, -0.3f};
  light.radius = 8;
  bu_InstanceState(m, p)->visible = 1;
  GlRecord_Clear();
  bu_DrawLightNV30(m, p, &view, &light);
  float c[6][4] = {};
  int found = 0;
  for (const std::string& line : GlRecord_Calls()) {
    float* v = &c[0][0];
    found += std::sscanf(line.c_str(),
                         "glProgramParameters4fvNV(%*d, 8, 6, [%g, %g, %g, %g, %g, %g, %g, %g, %g, %g, %g, %g, %g, %g, %g, %g, "
                         "%g, %g, %g, %g, %g, %g, %g, %g])",
                         &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13],
                         &v[14], &v[15], &v[16], &v[17], &v[18], &v[19], &v[20], &v[21], &v[22], &v[23]) == 24;
  }
  ASSERT_EQ(found, 1);
  EXPECT_FLOAT_EQ(c[0][3], 1.0f / 8);
  EXPECT_FLOAT_EQ(c[1][3], 0.5f);
  const vec3 point{0.7f, -1.3f, 2.1f};
  mat3 rm, rl;
  Mat_FromAngles(&rm, &p->angles);
  Mat_FromAngles(&rl, &light.angles);
  vec3 world, rel, inLight;
  Vec_Transform(&point, &rm, &p->position, &world);
  rel = {world.x - light.position.x, world.y - light.position.y, world.z - light.position.z};
  mat3 inv;
  Mat_Inverse(&rl, &inv);
  Vec_Rotate(&rel, &inv, &inLight);
  const float want[3] = {inLight.x, inLight.y, inLight.z};
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(c[3 + k][0] * point.x + c[3 + k][1] * point.y + c[3 + k][2] * point.z + c[3 + k][3], want[k], 1e-4);
  const vec3 L = bu_ToModel(light.position, p);
  EXPECT_NEAR(c[0][0], L.x, 1e-5);
  EXPECT_EQ(Count("glProgramParameters4fvNV(" + std::to_string(GL_VERTEX_PROGRAM_NV) + ", 16, 6,"), 2) << "two bones, two objects";
  EXPECT_TRUE(Has(GlRecord_Format("glBindProgramNV", GL_FRAGMENT_PROGRAM_NV, *Lighting_Program(kProgNV30Fragment))));
  EXPECT_TRUE(Has(GlRecord_Format("glBindProgramNV", GL_VERTEX_PROGRAM_NV, *Lighting_Program(kProgNV30Skinned))));
  EXPECT_EQ(Count(On(GL_FRAGMENT_PROGRAM_NV)), Count(Off(GL_FRAGMENT_PROGRAM_NV)));
  EXPECT_EQ(Count(On(GL_TEXTURE_CUBE_MAP_ARB)), 2);
  EXPECT_EQ(Count(Off(GL_TEXTURE_CUBE_MAP_ARB)), 2);
  // Invisible: nothing.
  bu_InstanceState(m, p)->visible = 0;
  GlRecord_Clear();
  bu_DrawLightNV30(m, p, &view, &light);
  EXPECT_TRUE(GlRecord_Calls().empty());
}

// The two attenuation matrices send the light's centre to the texture centre and sum to the
// squared distance over the squared radius through the attenuation picture.
TEST_F(NvPaths, AttenuationMatricesMeasureTheDistance) {
  BuModel* m = Load(BuTool_Cube(1, "", kTex));
  ASSERT_NE(m, nullptr);
  m->header->shaders[0].slots[kBuSlotDiffuse].material = 1;
  ModelDrawParams* p = At(0, 0, 0);
  ViewParams view{};
  ViewLight light{};
  light.position = {1, 2, -1};
  light.radius = 4;
  GlRecord_Clear();
  bu_DrawAttenuationNV20(m, p, &view, &light);
  // Compose each unit's matrix from the recorded calls (column vectors, as GL does).
  using M = std::array<double, 16>;
  auto mul = [](const M& a, const M& b) {
    M r{};
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 4; ++k) r[i * 4 + j] += a[i * 4 + k] * b[k * 4 + j];
    return r;
  };
  const M id = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  M mats[2] = {id, id};
  int unit = 0;
  bool texture = false, done[2] = {false, false};
  for (const std::string& line : GlRecord_Calls()) {
    int u, mode;
    float a, b, c, d;
    if (std::sscanf(line.c_str(), "glActiveTextureARB(%d)", &u) == 1) unit = u - GL_TEXTURE0_ARB;
    if (std::sscanf(line.c_str(), "glMatrixMode(%d)", &mode) == 1) texture = mode == GL_TEXTURE;
    if (!texture || unit > 1 || done[unit]) continue;
    M t = id;
    if (line == "glLoadIdentity()") {
      mats[unit] = id;
    } else if (std::sscanf(line.c_str(), "glTranslatef(%g, %g, %g)", &a, &b, &c) == 3) {
      t[3] = a, t[7] = b, t[11] = c;
      mats[unit] = mul(mats[unit], t);
    } else if (std::sscanf(line.c_str(), "glScalef(%g, %g, %g)", &a, &b, &c) == 3) {
      t[0] = a, t[5] = b, t[10] = c;
      mats[unit] = mul(mats[unit], t);
    } else if (std::sscanf(line.c_str(), "glRotatef(%g, %g, %g, %g)", &d, &a, &b, &c) == 4) {
      ASSERT_TRUE(d == 90 && a == 0 && b == 1 && c == 0);
      t = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1};
      mats[unit] = mul(mats[unit], t);
    } else if (line.rfind("glTrackMatrixNV", 0) == 0) {
      EXPECT_EQ(line, GlRecord_Format("glTrackMatrixNV", GL_VERTEX_PROGRAM_NV, 88 + 4 * unit, GL_TEXTURE, GL_IDENTITY_NV));
      done[unit] = true;
    }
  }
  ASSERT_TRUE(done[0] && done[1]);
  const vec3 L = bu_ToModel(light.position, p);
  for (const vec3& d : {vec3{0, 0, 0}, vec3{1, -2, 0.5f}, vec3{-3, 0.2f, 1}}) {
    double sum = 0;
    for (int u = 0; u < 2; ++u) {
      const double v[4] = {L.x + d.x, L.y + d.y, L.z + d.z, 1};
      double st[2];
      for (int r = 0; r < 2; ++r) st[r] = mats[u][4 * r] * v[0] + mats[u][4 * r + 1] * v[1] + mats[u][4 * r + 2] * v[2] + mats[u][4 * r + 3];
      sum += (2 * st[0] - 1) * (2 * st[0] - 1) + (2 * st[1] - 1) * (2 * st[1] - 1);
    }
    EXPECT_NEAR(sum, (d.x * d.x + d.y * d.y + d.z * d.z) / 16.0, 1e-5);
  }
  EXPECT_TRUE(Has(GlRecord_Format("glColorMask", 0, 0, 0, 1)));
  const auto& calls = GlRecord_Calls();
  auto lastMask = std::find_if(calls.rbegin(), calls.rend(), [](const std::string& c) { return c.rfind("glColorMask", 0) == 0; });
  EXPECT_EQ(*lastMask, "glColorMask(1, 1, 1, 0)");
  EXPECT_EQ(Count(GlRecord_Format("glTexParameteri", GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT)), 2);
}

// The NV volumes: two-sided stencil in one draw, or two one-sided draws with the opposite signs;
// depth clamp only at exactly 2; the same lists as the ARB twin.
TEST_F(NvPaths, VolumesCountWithEitherStencilKind) {
  BuModel* m = Load(BuTool_Cube(1, "", kTex));
  ASSERT_NE(m, nullptr);
  NvScene s = MakeScene(m, At(0, 40, 0));
  GlExtFlags.NV_depth_clamp = 1;
  auto draws = [&](float shadows) {
    Var_SetValue(&render_bump_shadows, shadows);
    s.light.litCount = 0;
    bu_DrawDepthNV(m, s.params, &s.view);
    GlRecord_Clear();
    bu_DrawVolumeNV(m, s.params, &s.view, 0);
    std::vector<std::string> out;
    for (const std::string& c : GlRecord_Calls())
      if (c.rfind("glDrawElements", 0) == 0) out.push_back(c);
    return out;
  };
  const std::string zFailBack = GlRecord_Format("glStencilOp", GL_KEEP, GL_INCR_WRAP_EXT, GL_KEEP);
  const std::string zFailFront = GlRecord_Format("glStencilOp", GL_KEEP, GL_DECR_WRAP_EXT, GL_KEEP);
  std::vector<std::string> two = draws(2);
  ASSERT_EQ(two.size(), 1u);
  EXPECT_EQ(Count(On(GL_STENCIL_TEST_TWO_SIDE_EXT)), 1);
  const auto& calls = GlRecord_Calls();
  auto back = std::find(calls.begin(), calls.end(), GlRecord_Format("glActiveStencilFaceEXT", GL_BACK));
  ASSERT_NE(back, calls.end());
  EXPECT_EQ(*(back + 1), zFailBack);
  auto front = std::find(calls.begin(), calls.end(), GlRecord_Format("glActiveStencilFaceEXT", GL_FRONT));
  ASSERT_NE(front, calls.end());
  EXPECT_EQ(*(front + 1), zFailFront);
  EXPECT_EQ(Count(On(GL_DEPTH_CLAMP_NV)), 0);
  GlExtFlags.EXT_stencil_two_side = 0;
  for (float shadows : {2.0f, 3.0f}) {
    std::vector<std::string> one = draws(shadows);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[0], two[0]);
    EXPECT_EQ(Count(On(GL_DEPTH_CLAMP_NV)), shadows == 2.0f ? 1 : 0);
    EXPECT_EQ(Count(Off(GL_DEPTH_CLAMP_NV)), shadows == 2.0f ? 1 : 0);
    const auto& c = GlRecord_Calls();
    auto first = std::find(c.begin(), c.end(), zFailBack), second = std::find(c.begin(), c.end(), zFailFront);
    EXPECT_TRUE(first < second && second != c.end()) << "front faces drawn first, with the back-face ops";
  }
  // The ARB twin builds the same list.
  GlExtFlags.ATI_separate_stencil = 1;
  Var_SetValue(&render_bump_shadows, 3);
  GlRecord_Clear();
  bu_DrawVolumeARB(m, s.params, &s.view, 0);
  EXPECT_TRUE(Has(two[0]));
  EXPECT_EQ(Count(On(GL_DEPTH_CLAMP_NV)), 0);
}

// No driver here compiles the NV texts: they are checked for the header, END and the contract's
// attributes and parameters only.
TEST_F(NvPaths, ProgramTextsKeepToTheContract) {
  const fs::path dir = fs::path(TW_SOURCE_DIR) / "sample" / "data" / "scripts" / "shaders";
  int checked = 0;
  for (int p = 0; p < kLightProgramCount; ++p) {
    std::string file = Lighting_ProgramFile(p);
    if (file.rfind("NV", 0) != 0) continue;
    SCOPED_TRACE(file);
    std::ifstream in(dir / file);
    ASSERT_TRUE(in) << "missing";
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str(), code;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("#", 0) != 0) code += line + "\n";
    const bool fragment = file.ends_with(".fp");
    EXPECT_EQ(text.rfind(fragment ? "!!FP1.0\n" : "!!VP1.0\n", 0), 0u);
    EXPECT_TRUE(code.ends_with("END\n"));
    std::smatch mt;
    for (auto it = code.cbegin(); std::regex_search(it, code.cend(), mt, std::regex(R"(([vcf])\[([A-Z0-9]+)[^\]]*\])")); it = mt.suffix().first) {
      const std::string kind = mt[1], index = mt[2];
      if (kind == "v") {
        EXPECT_LE(std::stoi(index), 6) << mt[0];
      } else if (kind == "f") {
        EXPECT_TRUE(std::regex_match(index, std::regex("TEX[0-4]|COL0"))) << mt[0];
      } else if (index != "A0") {
        int c = std::stoi(index);
        EXPECT_TRUE(c <= 14 || (c >= 88 && c <= 95)) << mt[0];
        if (c >= 88) EXPECT_NE(file.find("attenuation"), std::string::npos);
      }
    }
    EXPECT_EQ(code.find("v[5]") != std::string::npos, file.find("_4bones") != std::string::npos);
    ++checked;
  }
  EXPECT_EQ(checked, 18);
}

}  // namespace
