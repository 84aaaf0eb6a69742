// BU and DU lighting without a driver, on the recording GL table: the path tables, skinning rows
// against the posed volume, gathering, facing masks, culling and volume lists; DU light slots and
// their lists, polygon clipping, areas and the portal flood, and scissor rectangles. The NV20 and
// NV30 paths (no driver here has the NV extensions): the register-combiner set-ups checked by a
// CPU evaluator of the recorded state, the NV30 constants, the attenuation matrices, the NV
// program texts' contract, and on DU levels which lights each odd pass lights.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/bu_lighting.h"
#include "scene/du_lighting.h"
#include "scene/model.h"
#include "scene/nv_combiners.h"
#include "scene/skeleton.h"
#include "scene/view.h"
#include "support/lit_scene.h"
#include "support/render_support.h"
#include "tools/bu_writer.h"
#include "tools/du_writer.h"
#include "tools/image_writer.h"

namespace fs = std::filesystem;

namespace {

GLuint g_programNames;
void GenPrograms(GLsizei n, GLuint* out) {
  for (GLsizei i = 0; i < n; ++i) out[i] = ++g_programNames;
}

int CountIn(const std::vector<std::string>& calls, const std::string& prefix) {
  return int(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}
int Count(const std::string& prefix) { return CountIn(GlRecord_Calls(), prefix); }

class Lighting : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    fs::copy(fs::path(TW_SOURCE_DIR) / "sample" / "data" / "scripts", "scripts", fs::copy_options::recursive);
    Render_ResetBlock();
    GlDispatch_InstallRecording();
    gl.glGenProgramsARB = GenPrograms;
    RenderApi = RENDER_API_OPENGL;
    GlExtFlags.ARB_multitexture = GlExtFlags.ATI_fragment_shader = GlExtFlags.ARB_vertex_program = 1;
    GlExtFlags.ARB_fragment_program = GlExtFlags.ARB_vertex_buffer_object = GlExtFlags.NV_texture_env_combine4 = 1;
    GlExtFlags.ATI_separate_stencil = 1;
    for (int i = 0; i < 5; ++i) saved_[i] = kSaved[i]->value;
    OPENGL_AllocVar();
  }
  void TearDown() override {
    for (int i = 0; i < 5; ++i) Var_SetValue(kSaved[i], saved_[i]);
    for (BuModel* m : models_) bu_FreeModel(m);
    for (ModelDrawParams* p : params_) tw_test::LitScene_FreeParams(p);
    OPENGL_FreeVar();
    Render_ResetBlock();
    LoggedTest::TearDown();
  }
  BuModel* Load(const BuToolModel& m, const char* name = "m", const BuToolVolume* volume = nullptr) {
    tw_test::WriteBytes(std::string(name) + ".bu", volume ? BuTool_Write(m, *volume) : BuTool_Write(m));
    BuModel* model = bu_Load(name);
    if (model) models_.push_back(model);
    return model;
  }
  void Free(BuModel* m) {
    models_.erase(std::find(models_.begin(), models_.end(), m));
    bu_FreeModel(m);
  }
  ModelDrawParams* At(float x, float y, float z) {
    params_.push_back(tw_test::LitScene_NewParams(x, y, z));
    return params_.back();
  }
  // The model as a registry object whose shaders keep material 1 in their colour slot.
  ModelObject* Object(BuModel* m) {
    objects_.push_back(std::make_unique<ModelObject>());
    ModelObject* o = objects_.back().get();
    o->data = m;
    m->owner = o;
    for (int i = 0; i < m->header->shaderCount; ++i) m->header->shaders[i].slots[kBuSlotDiffuse].material = 1;
    m->texturesNeeded = 0;
    m->textureGeneration = Tex_GetGeneration();
    return o;
  }
  // The lines of one bu_Draw.
  std::vector<std::string> Draw(ModelObject* o, ModelDrawParams* p, ViewParams* view, int pass) {
    view->pass = pass;
    GlRecord_Clear();
    bu_Draw(o, p, view);
    return GlRecord_Calls();
  }
  tw_test::BumpSettings settings_;
  VarRecord* const kSaved[5] = {&render_bump_diffuse, &render_bump_specular, &render_bump_reflect, &render_bump_nv30, &render_var_size};
  float saved_[5];
  std::vector<BuModel*> models_;
  std::vector<ModelDrawParams*> params_;
  std::vector<std::unique_ptr<ModelObject>> objects_;
};

const std::string kTex[4] = {"skin", "skin_s", "", "skin_n"};

ViewLight Light(int slot, int key, float x, float y, float z, float radius) {
  ViewLight l{};
  l.slot = slot, l.key = key, l.position = {x, y, z}, l.radius = radius;
  l.colour[0] = l.colour[1] = l.colour[2] = 1.0f;
  return l;
}

// A view from the origin along +Y (90 degrees) with the given lights.
ViewParams Looking(ViewLight* lights, int count) {
  ViewParams view{};
  view.zoom = 1;
  view.fov = 90;
  view.poseBlend = 1;
  View_Setup(&view, 0);
  view.lights = lights;
  view.lightCount = count;
  return view;
}

// Rows 16 + 3k as recorded: "glProgramEnvParameter4fvARB(target, index, [a, b, c, d])".
std::map<int, std::array<float, 4>> EnvRows(const std::vector<std::string>& calls) {
  std::map<int, std::array<float, 4>> rows;
  for (const std::string& call : calls) {
    int index;
    std::array<float, 4> r;
    if (std::sscanf(call.c_str(), "glProgramEnvParameter4fvARB(%*d, %d, [%g, %g, %g, %g])", &index, &r[0], &r[1], &r[2], &r[3]) == 5)
      rows[index] = r;
  }
  return rows;
}

TEST_F(Lighting, AtiShaderNames) {
  EXPECT_EQ(ATIFS_Number("SCRIPTS\\SHADERS\\R200_Z.ATIFS"), 12);
  EXPECT_EQ(ATIFS_Number("scripts\\shaders\\R200_diffuse_specular_fastest.atifs"), 15);
  for (const char* bad : {"scripts/shaders/R200_z.atifs", "", (const char*)nullptr}) EXPECT_EQ(ATIFS_Number(bad), 0);
  EXPECT_EQ(ATIFS_Load("scripts\\shaders\\other.atifs"), 0u);
}

// Bone rows 16 + 3k for skinned instances skin a vertex exactly as the volume points are posed;
// shaders out of range or blended are skipped.
TEST_F(Lighting, SurfaceDrawsAndSkinningAgreeWithThePosedVolume) {
  BuToolModel bar = BuTool_Bar(2, "", kTex);
  BuModel* m = Load(bar);
  ASSERT_NE(m, nullptr);
  BuHeader* h = m->header;
  h->shaders[0].slots[0].material = 1;
  bu_BuildGpuVertices(m);
  // The tip bone turned about X and moved: its current transform.
  BuBone& tip = h->bones[1];
  const float c = std::cos(0.7f), s = std::sin(0.7f);
  const float rot[9] = {1, 0, 0, 0, c, s, 0, -s, c};
  std::memcpy(tip.rotation, rot, sizeof rot);
  tip.position[0] = 0.3f, tip.position[1] = -0.2f, tip.position[2] = 1.1f;
  BuBone& root = h->bones[0];
  const float id[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  std::memcpy(root.rotation, id, sizeof id);
  std::memset(root.position, 0, sizeof root.position);
  ModelDrawParams* p = At(0, 0, 0);
  Skeleton skel{};
  p->skeleton = &skel;
  ViewParams view{};
  GlRecord_Clear();
  bu_DrawSurfaceARB(m, 0, p, &view);
  EXPECT_EQ(Count("glProgramEnvParameter4fvARB"), 6) << "rows 16 to 21";
  std::map<int, std::array<float, 4>> rows = EnvRows(GlRecord_Calls());
  float box[6];
  bu_PoseVolume(m, box);
  const float* posed = bu_PosedVolumePoints(m);
  const BuVolumeVertex* vol = static_cast<const BuVolumeVertex*>(h->volume->drawVertices);
  for (int v = 0; v < m->vertexTotal; ++v) {
    const BuVolumeVertex& in = vol[2 * v];
    float out[3] = {0, 0, 0};
    for (int k = 0; k < 4; ++k) {
      int slot = (int(in.bones[k]) - 16) / 3;
      for (int r = 0; r < 3; ++r) {
        const std::array<float, 4>& row = rows[16 + 3 * slot + r];
        out[r] += in.weights[k] * (row[0] * in.position[0] + row[1] * in.position[1] + row[2] * in.position[2] + row[3]);
      }
    }
    bool found = false;
    for (int q = 0; q < h->volumeVertexCount && !found; ++q) {
      const float* file = h->volumeVertices + 4 * q;
      if (file[0] != in.position[0] || file[1] != in.position[1] || file[2] != in.position[2]) continue;
      found = true;
      for (int r = 0; r < 3; ++r) EXPECT_NEAR(posed[4 * q + r], out[r], 1e-3) << "vertex " << v;
    }
    EXPECT_TRUE(found);
  }
  // A shader out of range or blended is skipped.
  h->objects[1].shader = -1;
  h->shaders[0].blend = 1;
  GlRecord_Clear();
  bu_DrawSurfaceARB(m, 0, p, &view);
  bu_DrawSurfaceARB(m, 1, p, &view);
  EXPECT_TRUE(GlRecord_Calls().empty());
}

// Gathering stops at 8 lights or when a light fills up; a full light is skipped; radius <= 0
// lights nothing. The depth pass's facing masks only above 1.0; the far plane culls with the
// view's distance or the override.
TEST_F(Lighting, GatheringDepthPassMasksAndFarCull) {
  BuModel* m = Load(BuTool_Cube(1, "", kTex));
  ASSERT_NE(m, nullptr);
  ModelDrawParams* p = At(0, 0, 0);
  BuInstanceState* s = bu_InstanceState(m, p);
  bu_PoseVolume(m, s->box);
  EXPECT_EQ(s->box[0], -1.0f);
  EXPECT_EQ(s->box[5], 1.0f);
  std::vector<ViewLight> lights(10, Light(0, 1, 0.5f, 0, 0, 3));
  lights[1].radius = 0;
  lights[2].litCount = 8;
  lights[5] = Light(0, 1, 10, 0, 0, 3);  // too far
  lights[6].litCount = 7;    // full with this instance: the search ends
  ViewParams view{};
  view.lights = lights.data();
  view.lightCount = 10;
  bu_GatherLights(m, p, &view, s);
  ASSERT_EQ(s->litCount, 4);
  EXPECT_EQ(std::vector<int>(s->lit, s->lit + 4), (std::vector<int>{0, 3, 4, 6}));
  EXPECT_EQ(lights[7].litCount, 0);
  EXPECT_EQ(lights[0].lit[0].params, p);
  for (ViewLight& l : lights) l = Light(0, 1, 0.5f, 0, 0, 3);
  bu_GatherLights(m, p, &view, s);
  EXPECT_EQ(s->litCount, 8) << "the eighth light ends the search";
  EXPECT_EQ(lights[8].litCount, 0);

  ModelDrawParams* ahead = At(0, 100, 0);
  ViewLight light = Light(0, 1, 0, 100, 5, 10);
  view = Looking(&light, 1);
  const int triangles = m->header->volumeIndexCount / 3;
  for (float shadows : {1.0f, 1.5f}) {
    Var_SetValue(&render_bump_shadows, shadows);
    light.litCount = 0;
    bu_DepthPassR200(m, ahead, &view);
    s = bu_InstanceState(m, ahead);
    EXPECT_EQ(s->litCount, 1);
    EXPECT_EQ(s->visible, 1);
    int away = 0;
    for (int t = 0; t < triangles; ++t) away += s->facing[t] & 1;
    EXPECT_EQ(away, shadows > 1.0f ? 10 : 0) << "all but the two top triangles face away";
  }
  const float box[6] = {-1, 40000, -1, 1, 40002, 1};
  EXPECT_EQ(bu_InstanceVisible(box, p, &view), 0) << "beyond the far distance";
  p->farDistance = 50000;
  EXPECT_EQ(bu_InstanceVisible(box, p, &view), 1);
}

// The ATI paths (R200 with each "render_bump_fast", and R300): passes 1 to 3 make no GL call; the
// depth, volume and light passes leave the state as they found it (arrays, programs, shaders,
// matrices, stencil) and the colour mask at (1, 1, 1, 0); shadows 1 gives no volume pass; with
// both ATI paths off a model takes path 1, which draws nothing.
TEST_F(Lighting, AtiPassesRestoreWhatTheyChange) {
  const struct {
    float r300;
    int path;
    std::vector<float> fast;
  } paths[] = {{0, kPathR200, {0, 1, 2}}, {1, kPathR300, {0}}};
  for (const auto& path : paths) {
    SCOPED_TRACE(path.path);
    Var_SetValue(&render_bump_r200, 1);
    Var_SetValue(&render_bump_r300, path.r300);
    BuModel* m = Load(BuTool_Bar(2, "", kTex), path.r300 ? "r300" : "r200");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->lightingPath, path.path);
    ModelObject* object = Object(m);
    ModelDrawParams* p = At(0, 40, 0);
    ViewLight light = Light(0, 1, 0, 40, 3, 10);
    ViewParams view = Looking(&light, 1);
    Var_SetValue(&render_bump_shadows, 2);
    Var_SetValue(&render_bump_clear, 0);  // the depth pass writes no colour at all
    GlRecord_Clear();
    for (int pass = 1; pass <= 3; ++pass) {
      view.pass = pass;
      bu_Draw(object, p, &view);
    }
    EXPECT_TRUE(GlRecord_Calls().empty());
    for (float fast : path.fast) {
      SCOPED_TRACE(fast);
      Var_SetValue(&render_bump_fast, fast);
      int draws = 0;
      for (int pass : {0, 4, 5}) {  // depth, volume and light passes, each checked alone
        SCOPED_TRACE(pass);
        const std::vector<std::string> calls = Draw(object, p, &view, pass);
        draws += CountIn(calls, "glDrawElements");
        EXPECT_EQ(CountIn(calls, "glEnableVertexAttribArrayARB"), CountIn(calls, "glDisableVertexAttribArrayARB"));
        EXPECT_EQ(CountIn(calls, "glEnableClientState"), CountIn(calls, "glDisableClientState"));
        EXPECT_EQ(CountIn(calls, "glPushMatrix"), CountIn(calls, "glPopMatrix"));
        for (GLenum cap : {GLenum(GL_FRAGMENT_SHADER_ATI), GLenum(GL_FRAGMENT_PROGRAM_ARB), GLenum(GL_VERTEX_PROGRAM_ARB),
                           GLenum(GL_STENCIL_TEST)}) {
          const std::string on = GlRecord_Format("glEnable", cap), off = GlRecord_Format("glDisable", cap);
          auto last = std::find_if(calls.rbegin(), calls.rend(), [&](const std::string& c) { return c == on || c == off; });
          EXPECT_TRUE(last == calls.rend() || *last == off) << cap;
        }
        auto lastMask = std::find_if(calls.rbegin(), calls.rend(), [](const std::string& c) { return c.rfind("glColorMask", 0) == 0; });
        EXPECT_TRUE(pass != 0 || lastMask != calls.rend());
        EXPECT_TRUE(lastMask == calls.rend() || *lastMask == "glColorMask(1, 1, 1, 0)") << *lastMask;
      }
      EXPECT_GE(draws, 3);
    }
    // Shadows 1: no volume pass.
    Var_SetValue(&render_bump_shadows, 1);
    const std::vector<std::string> volume = Draw(object, p, &view, 4);
    EXPECT_EQ(CountIn(volume, "glDrawElements"), 0);
    EXPECT_EQ(CountIn(volume, "glBindProgramARB"), 0);
    EXPECT_EQ(CountIn(volume, "glProgramEnvParameter"), 0);
  }
  // Both ATI paths off: path 1, and nothing is drawn.
  Var_SetValue(&render_bump_r200, 0);
  Var_SetValue(&render_bump_r300, 0);
  Var_SetValue(&render_bump_shadows, 2);
  BuModel* nv10 = Load(BuTool_Bar(2, "", kTex), "nv10");
  ASSERT_NE(nv10, nullptr);
  EXPECT_EQ(nv10->lightingPath, kPathNV10);
  ModelObject* object = Object(nv10);
  ModelDrawParams* p = At(0, 40, 0);
  ViewLight light = Light(0, 1, 0, 40, 3, 10);
  ViewParams view = Looking(&light, 1);
  GlRecord_Clear();
  for (int pass : {0, 4, 5}) {
    view.pass = pass;
    bu_Draw(object, p, &view);
  }
  EXPECT_EQ(Count("glDrawElements"), 0);
}

// Volume lists: open edges only from their own triangle, reversed quads from the neighbour, caps
// only for z-fail (the far one alone for an instance out of view); -5 exactly is z-pass.
TEST_F(Lighting, VolumeListsAndTheMethodChoice) {
  BuModel* m = Load(BuTool_Quad(0, 0, 1, 1, "", kTex));
  ASSERT_NE(m, nullptr);
  ASSERT_NE(m->header->volume, nullptr);
  const BuVolume* vol = m->header->volume;
  ASSERT_EQ(m->header->objects[0].quadCount, 5);  // 4 open edges and the shared one
  std::vector<uint16_t> out(bu_VolumeListCapacity(m));
  EXPECT_EQ(out.size(), 48u);
  const uint16_t* sides = vol->indices + 12;
  auto quadOf = [&](int e, bool reversed) {
    const uint16_t* q = sides + 6 * e;
    return reversed ? std::vector<uint16_t>{q[1], q[0], q[2], q[3], q[5], q[4]} : std::vector<uint16_t>(q, q + 6);
  };
  uint8_t facing[2] = {1, 0};  // triangle 0 faces away
  int n = bu_BuildVolumeList(m, 0, facing, 1, 0, 1, out.data());
  std::vector<uint16_t> want;
  for (int e = 0; e < 5; ++e) {
    const BuEdge& edge = vol->edges[e];
    if (edge.neighbour < 0 && edge.triangle == 0) for (uint16_t i : quadOf(e, false)) want.push_back(i);
    if (edge.neighbour >= 0) for (uint16_t i : quadOf(e, edge.triangle != 0)) want.push_back(i);
  }
  EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + n), want);
  n = bu_BuildVolumeList(m, 0, facing, 1, 1, 1, out.data());
  EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + 6), std::vector<uint16_t>(vol->indices, vol->indices + 6));
  EXPECT_EQ(n, 6 + int(want.size()));
  n = bu_BuildVolumeList(m, 0, facing, 1, 1, 0, out.data());
  EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + 3), std::vector<uint16_t>(vol->indices + 3, vol->indices + 6));
  EXPECT_EQ(bu_BuildVolumeList(m, 0, facing, 2, 1, 1, out.data()), 0) << "another light's bit";

  const float box[6] = {-1, -1, -1, 1, 1, 1};
  const vec3 down{0, 0, -1};
  vec3 light{0, 0, 6}, eye{0, 0, 6};
  EXPECT_EQ(bu_VolumeZPass(box, &light, &eye, &down), 1) << "exactly -5";
  eye.z = 5.9f;
  EXPECT_EQ(bu_VolumeZPass(box, &light, &eye, &down), 0);
}

std::vector<float> Floats(const void* p, size_t count) {
  std::vector<float> v(count);
  std::memcpy(v.data(), p, count * sizeof(float));
  return v;
}

// The GPU buffers follow "render_var_type" and the path (ATI object buffers for "AGP" and "VIDEO",
// ARB buffers for "VBO", none on path 1) and go with their model. The arrays hold every vertex's
// position, frame, texture pair, bone parameters and weights, the index buffer the strips first,
// drawn as strips; a new vertex-array generation fills them again.
TEST_F(Lighting, BuffersAndArraysFollowTheVarTypeAndTheirGeneration) {
  GlExtFlags.ATI_vertex_array_object = GlExtFlags.ATI_element_array = 1;
  BuToolModel bar = BuTool_Bar(2, "", kTex);  // 8 vertices, 4 strip and 6 list indices
  bar.objects[1].vertices[3].influences[2] = {1, 0.25f};
  const struct {
    const char* type;
    float r200;
    std::string made;  // made once, or twice for the vertex and volume object buffers
    int objects, buffers, fills;
    std::string strip, list;
  } cases[] = {
      {"agp", 1, GlRecord_Format("glNewObjectBufferATI", 768, (const void*)nullptr, GL_DYNAMIC_ATI), 3, 0, 4,
       GlRecord_Format("glDrawElementArrayATI", GL_TRIANGLE_STRIP, 4), GlRecord_Format("glDrawElementArrayATI", GL_TRIANGLES, 6)},
      {"VIDEO", 1, GlRecord_Format("glNewObjectBufferATI", 768, (const void*)nullptr, GL_STATIC_ATI), 3, 0, 4,
       GlRecord_Format("glDrawElementArrayATI", GL_TRIANGLE_STRIP, 4), GlRecord_Format("glDrawElementArrayATI", GL_TRIANGLES, 6)},
      {"VBO", 1, GlRecord_Format("glBufferDataARB", GL_ELEMENT_ARRAY_BUFFER_ARB, 20, (const void*)nullptr, GL_STATIC_DRAW_ARB), 0, 3, 4,
       GlRecord_Format("glDrawElements", GL_TRIANGLE_STRIP, 4, GL_UNSIGNED_SHORT, (const void*)nullptr),
       GlRecord_Format("glDrawElements", GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, (const void*)1)},
      {"VBO", 0, "", 0, 0, 0, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + (c.r200 ? "" : ", path 1"));
    Var_SetText(&render_var_type, c.type);
    Var_SetValue(&render_bump_r200, c.r200);
    GlRecord_Clear();
    BuModel* m = Load(bar);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(Count("glNewObjectBufferATI"), c.objects);
    EXPECT_EQ(Count("glGenBuffersARB"), c.buffers);
    if (!c.made.empty()) {
      EXPECT_EQ(Count(c.made), c.objects ? 2 : 1) << c.made;
    }
    for (int refill = 0; refill < 3; ++refill) {
      if (refill == 2) OPENGL_AllocVar();
      GlRecord_Clear();
      bu_BuildGpuVertices(m);
      EXPECT_EQ(Count("glUpdateObjectBufferATI") + Count("glBufferSubDataARB") + Count("glBufferDataARB"),
                refill == 1 ? 0 : c.fills)
          << "filled once a vertex-array generation";
    }
    if (c.r200) {
      const auto* gpu = static_cast<const BuGpuVertex*>(m->header->objects[0].gpuVertices);
      const auto* vol = static_cast<const BuVolumeVertex*>(m->header->volume->drawVertices);
      ASSERT_TRUE(gpu && vol);
      int v = 0;
      for (const BuToolObject& obj : bar.objects)
        for (const BuToolVertex& src : obj.vertices) {
          std::vector<float> want(src.position, src.position + 3);
          want.insert(want.end(), src.frame, src.frame + 9);
          want.insert(want.end(), src.uv, src.uv + 4);
          for (const auto& in : src.influences) want.push_back(float(3 * in.slot + 16));
          for (const auto& in : src.influences) want.push_back(in.weight);
          EXPECT_EQ(Floats(&gpu[v], 24), want) << "vertex " << v;
          std::vector<float> wantVolume(src.position, src.position + 3);
          wantVolume.push_back(1.0f);
          wantVolume.insert(wantVolume.end(), want.begin() + 16, want.end());
          EXPECT_EQ(Floats(&vol[2 * v + 1], 12), wantVolume) << "volume vertex " << 2 * v + 1;
          ++v;
        }
      m->header->shaders[0].slots[kBuSlotDiffuse].material = 1;
      ViewParams view{};
      GlRecord_Clear();
      for (int s = 0; s < 2; ++s) bu_DrawSurfaceARB(m, s, At(0, 0, 0), &view);
      EXPECT_EQ(Count(c.strip), 1) << c.strip;
      EXPECT_EQ(Count(c.list), 1) << c.list;
    }
    Var_SetValue(&render_bump_r200, 0);  // a later load does not change what this model frees
    Free(Load(bar, "other"));
    GlRecord_Clear();
    Free(m);
    EXPECT_EQ(Count("glFreeObjectBufferATI"), c.objects);
    EXPECT_EQ(Count("glDeleteBuffersARB"), c.buffers);
  }
}

// More instances of one model in a frame than the states ever held are all lit: the light and
// volume passes only look their instance's state up. Later frames reuse the states, for the same
// instances or for new ones; the bounds drawing puts the line width back.
TEST_F(Lighting, EveryInstanceOfAFrameIsLit) {
  Var_SetValue(&render_bump_shadows, 2);
  BuModel* m = Load(BuTool_Cube(1, "", kTex));
  ASSERT_NE(m, nullptr);
  ModelObject* o = Object(m);
  ViewLight light = Light(0, 1, 0, 110, 20, 400);
  ViewParams view = Looking(&light, 1);
  std::vector<ModelDrawParams*> instances[2];
  for (int i = 0; i < 80; ++i) instances[i / 40].push_back(At(float(i % 8) * 4 - 16, 100 + float(i % 40 / 8) * 4, 0));
  bu_ShowBounds = 1;
  for (int frame = 0; frame < 3; ++frame) {
    SCOPED_TRACE(frame);
    const std::vector<ModelDrawParams*>& set = instances[frame / 2];
    view.time = float(frame);
    light.litCount = 0;
    int depth = 0, lit = 0;
    for (ModelDrawParams* p : set) {
      std::vector<std::string> calls = Draw(o, p, &view, 0);
      depth += CountIn(calls, "glDrawElements");
      if (frame == 0 && p == set[0]) {
        const auto width = std::find_if(calls.rbegin(), calls.rend(), [](const std::string& c) { return c.rfind("glLineWidth", 0) == 0; });
        ASSERT_NE(width, calls.rend());
        EXPECT_EQ(*width, GlRecord_Format("glLineWidth", 1.0));
      }
    }
    bu_ShowBounds = 0;
    for (ModelDrawParams* p : set) {
      Draw(o, p, &view, 4);
      lit += CountIn(Draw(o, p, &view, 5), "glDrawElements");
    }
    EXPECT_EQ(depth, 40);
    EXPECT_EQ(lit, 40);
    EXPECT_EQ(m->instanceCount, 40);
  }
}

// Bones are bind x pose: a vertex of a hand-made file skinned by hand lands where the bone rows and
// the posed volume put it. A rigid instance's box is its mesh's whatever the binds, and a model
// whose volume mesh was dropped takes its box from its drawing vertices and is still drawn.
TEST_F(Lighting, BonesAreBindTimesPose) {
  Var_SetValue(&render_bump_shadows, 1);
  BuToolModel floor = BuTool_Quad(-8, -8, 8, 8, "", kTex);
  BuToolBone bone{"b"};
  const float c = std::cos(0.5f), s = std::sin(0.5f);
  const float bindRotation[9] = {c, s, 0, -s, c, 0, 0, 0, 1};
  std::memcpy(bone.bindRotation, bindRotation, sizeof bindRotation);
  bone.bindPosition[0] = 1, bone.bindPosition[1] = 2, bone.bindPosition[2] = -50;
  floor.bones.push_back(bone);
  floor.objects[0].bones = {0};
  for (BuToolVertex& v : floor.objects[0].vertices) v.influences[0] = {0, 1.0f};
  SkeletonBone skelBone{};
  std::strcpy(skelBone.name, "b");
  skelBone.parent = -1;
  const float h = 0.35f;
  BonePose bind{{0, 0, 0, 1}, {0, 0, 0}, 0}, posed{{std::sin(h), 0, 0, std::cos(h)}, {2, -1, 53}, 0};
  Skeleton skel{};
  skel.boneCount = 1;
  skel.bones = &skelBone;
  skel.bindPose = &bind;
  skel.number = 77;
  ViewLight light = Light(0, 1, 0, 100, 20, 400);
  ViewParams view = Looking(&light, 1);

  ModelObject* o = Object(Load(floor));
  BuModel* m = static_cast<BuModel*>(o->data);
  ASSERT_NE(m->header->volume, nullptr);
  ModelDrawParams* skinned = At(0, 100, 0);
  skinned->skeleton = &skel;
  skinned->poseA = skinned->poseB = &posed;
  std::map<int, std::array<float, 4>> rows = EnvRows(Draw(o, skinned, &view, 0));
  ASSERT_EQ(rows.count(16) + rows.count(17) + rows.count(18), 3u);
  const vec3 v{8, 8, 0};
  mat3 bindMat;
  std::memcpy(bindMat.m, bindRotation, sizeof bindMat.m);
  const vec3 bindPos{1, 2, -50};
  vec3 inBone, want;
  Vec_Transform(&v, &bindMat, &bindPos, &inBone);
  Vec_Transform(&inBone, &skinned->boneRotations[0], &skinned->bonePositions[0], &want);
  const float wantv[3] = {want.x, want.y, want.z};
  const float* points = bu_PosedVolumePoints(m);
  int q = 0;
  while (q < m->header->volumeVertexCount && (m->header->volumeVertices[4 * q] != 8 || m->header->volumeVertices[4 * q + 1] != 8)) ++q;
  ASSERT_LT(q, m->header->volumeVertexCount);
  for (int r = 0; r < 3; ++r) {
    const std::array<float, 4>& row = rows[16 + r];
    EXPECT_NEAR(row[0] * v.x + row[1] * v.y + row[2] * v.z + row[3], wantv[r], 1e-3) << "row " << r;
    EXPECT_NEAR(points[4 * q + r], wantv[r], 1e-3) << "posed point " << r;
  }
  EXPECT_GT(std::fabs(want.z - 3), 1.0f) << "the bind moved it";

  // Rigid instances: the mesh where it stands, with and without the volume mesh.
  BuToolVolume cut = BuTool_WeldVolume(floor);
  cut.indices.resize(3);
  BuModel* dropped = Load(floor, "cut", &cut);
  ASSERT_NE(dropped, nullptr);
  ASSERT_EQ(dropped->header->volume, nullptr);
  for (BuModel* model : {m, dropped}) {
    ModelObject* object = model == m ? o : Object(model);
    ModelDrawParams* rigid = At(0, 100, 0);
    EXPECT_EQ(CountIn(Draw(object, rigid, &view, 0), "glDrawElements"), 1);
    const BuInstanceState* state = bu_FindInstanceState(model, rigid);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(std::vector<float>(state->box, state->box + 6), (std::vector<float>{-8, -8, 0, 8, 8, 0}));
    EXPECT_EQ(state->litCount, 1);
    EXPECT_EQ(CountIn(Draw(object, rigid, &view, 5), "glDrawElements"), 1);
  }
}

// ---- DU levels ----------------------------------------------------------------------------------

const std::string kTextures[6] = {"wall", "wall_s", "", "wall_n", "", ""};

class DuLighting : public Lighting {
 protected:
  void SetUp() override {
    Lighting::SetUp();
    GlExtFlags.ATI_separate_stencil = 0;
    Var_SetText(&render_var_type, "VBO");
  }
  void TearDown() override {
    for (ModelObject* m : objects_) m->Free(&m);
    for (DuLevel* l : levels_) du_FreeLevel(l);
    for (int p = 0; p < kLightProgramCount; ++p) EXPECT_EQ(Lighting_ProgramUsers(p), 0);
    Lighting::TearDown();
  }
  // Loaded with every shader's colour and specular slots holding a material.
  DuLevel* Load(const DuToolLevel& level, const char* name = "l") {
    EXPECT_TRUE(DuTool_Save(name, level, nullptr));
    DuLevel* l = du_Load(name);
    if (!l) return nullptr;
    for (int i = 0; i < l->header->shaderCount; ++i)
      for (int s = 0; s < kDuShaderSlots; ++s) l->header->shaders[i].slots[s].material = l->header->shaders[i].slots[s].name[0] ? 1 + s : 0;
    levels_.push_back(l);
    return l;
  }
  void Free(DuLevel* l) {
    levels_.erase(std::find(levels_.begin(), levels_.end(), l));
    du_FreeLevel(l);
  }
  // Through the registry's loader, with 4 x 4 textures "c", "s" and "n" on disk.
  ModelObject* Create(const DuToolLevel& level) {
    for (const char* name : {"c", "s", "n"})
      EXPECT_TRUE(ImageTool_Save(std::string(name) + ".tga", ImageTool_WriteTGA(ImageTool_Solid(4, 4, 9, 9, 9, 255), 24)));
    EXPECT_TRUE(DuTool_Save("m", level, nullptr));
    ModelObject* m = du_CreateModel("m");
    if (m) objects_.push_back(m);
    return m;
  }
  std::vector<DuLevel*> levels_;
  std::vector<ModelObject*> objects_;
};

// A floor of two surfaces side by side (x < 0 and x > 0), each two triangles facing +Z.
DuToolLevel TwoFloors() {
  DuToolLevel level;
  level.shaders.push_back({"floor", {"c", "s", "", "n", "", ""}});
  level.shaders.push_back({"bare", {"", "", "", "n", "", ""}});
  level.models.push_back({DuTool_Quad(-64, -64, 0, 64, 0, 0), DuTool_Quad(0, -64, 64, 64, 0, 0)});
  return level;
}

ViewParams Camera(vec3 eye, float yaw, float pitch = 0, ViewLight* lights = nullptr, int count = 0) {
  ViewParams v{};
  v.position = eye;
  v.angles = {yaw, pitch, 0};
  v.zoom = 1.0f;
  v.fov = 90.0f;
  View_Setup(&v, 0);
  v.lights = lights, v.lightCount = count;
  return v;
}
// Looking straight down on the floors from z = 50.
ViewParams Overhead(ViewLight* lights, int count) { return Camera({0, 0, 50}, 0, -kMathPi / 2, lights, count); }

// The camera's area found, then the flood from it; returns the area.
int Flood(DuLevel* l, ViewParams* v) {
  l->cameraArea = du_FindArea(l, &v->position);
  du_MarkVisible(l, nullptr, v);
  return l->cameraArea;
}

// The yaw that looks along +X.
float YawAlongX() {
  for (float y : {-kMathPi / 2, kMathPi / 2}) {
    vec3 angles{y, 0, 0}, f;
    Mat_AxesFromAngles(&angles, &f, nullptr, nullptr);
    if (f.x > 0.9f) return y;
  }
  return 0;
}

// The path models and levels take by extensions and settings (levels need the texture shader for
// NV20); a level's buffers and programs follow its path.
TEST_F(DuLighting, PathChoiceAndBuffers) {
  struct Row {
    const char* name;
    uint8_t atiFs, arbVp, arbFp, nvFp, nvVp, combine4, nvTs;
    float r300, r200, nv30, nv20, nv10;
    int path, levelPath;
  } rows[] = {
      {"llvmpipe", 1, 1, 1, 0, 0, 1, 0, 0, 1, 0, 1, 1, kPathR200, kPathR200},
      {"llvmpipe, r300", 1, 1, 1, 0, 0, 1, 0, 1, 1, 0, 1, 1, kPathR300, kPathR300},
      {"r300 without ARB_fp", 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, kPathR200, kPathR200},
      {"llvmpipe, both off", 1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 1, kPathNV10, kPathNV10},
      {"combine4 only", 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1, 1, kPathNV10, kPathNV10},
      {"ATI, both off, no NV", 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, kPathNone, kPathNone},
      {"NV30", 0, 0, 0, 1, 1, 1, 0, 0, 1, 1, 1, 1, kPathNV30, kPathNV30},
      {"NV20, a level without the texture shader falls to NV10", 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 1, 1, kPathNV20, kPathNV10},
      {"NV20 with the texture shader", 0, 0, 0, 0, 1, 1, 1, 0, 1, 0, 1, 1, kPathNV20, kPathNV20},
      {"NV20 and NV10 off", 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, kPathNone, kPathNone},
      {"everything on, every setting off", 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, kPathNone, kPathNone},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    GlExtFlags.ATI_fragment_shader = r.atiFs, GlExtFlags.ARB_vertex_program = r.arbVp;
    GlExtFlags.ARB_fragment_program = r.arbFp, GlExtFlags.NV_fragment_program = r.nvFp;
    GlExtFlags.NV_vertex_program = r.nvVp, GlExtFlags.NV_texture_env_combine4 = r.combine4;
    GlExtFlags.NV_texture_shader = r.nvTs;
    Var_SetValue(&render_bump_r300, r.r300), Var_SetValue(&render_bump_r200, r.r200);
    Var_SetValue(&render_bump_nv30, r.nv30), Var_SetValue(&render_bump_nv20, r.nv20);
    Var_SetValue(&render_bump_nv10, r.nv10);
    EXPECT_EQ(bu_ChooseLightingPath(), r.path);
    Var_SetText(&render_var_type, "vbo");
    GlRecord_Clear();
    DuLevel* l = Load(TwoFloors());
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->lightPath, r.levelPath);
    EXPECT_EQ(DuLightPath, r.levelPath);
    const bool buffers = r.levelPath >= kPathNV20;
    EXPECT_EQ(l->vertexBuffer != 0 && l->indexBuffer != 0 && l->dynamicIndexBuffer != 0, buffers);
    EXPECT_EQ(Count("glProgramStringARB") + Count("glGenFragmentShadersATI") > 0, r.levelPath >= kPathR200);
    if (r.levelPath == kPathNone) {
      EXPECT_EQ(GlRecord_Calls().size(), 0u);
    }
    GlRecord_Clear();
    Free(l);
    EXPECT_EQ(Count("glDeleteBuffersARB"), buffers ? 3 : 0);
  }
}

TEST_F(DuLighting, LargeLevelsDrawAndLightFromTheirSurfacesOwnCopies) {
  for (int total : {65535, 65536}) {
    DuToolLevel level = TwoFloors();
    level.models[0][0].vertices.resize(size_t(total - 4), level.models[0][0].vertices[0]);
    DuLevel* l = Load(level);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->surfaceRelative, total == 65536);
    EXPECT_EQ(l->header->models[0].surfaces[1].indices[0], total == 65536 ? 0 : total - 4) << "rebased only below 65,536";
    EXPECT_EQ(l->vertexBuffer != 0, total == 65535) << "no level-wide buffer for a large level";
    du_UploadVerticesATI(l);
    ViewLight light = Light(0, 1, 32, 0, 8, 20);  // over the second surface only
    du_RefreshLightSlot(l, &light);
    const DuLightSlot& slot = l->lightSlots[0];
    ASSERT_EQ(slot.interactionCount, 1);
    const DuLightInteraction* ia = slot.interactions[0];
    EXPECT_EQ(ia->surface, 1);
    EXPECT_EQ(ia->indexCount, 6);
    const DuSurface& s = l->header->models[0].surfaces[1];
    if (total == 65536) {
      EXPECT_EQ(ia->arrayBuffer, 0u);
      EXPECT_EQ(du_InteractionVertices(l, ia), s.gpuVertices);
      EXPECT_NE(s.gpuVertices, nullptr);
      // A display-mode change: the copies are made again and the interaction follows them.
      uint32_t before = s.gpuGeneration;
      OPENGL_AllocVar();
      du_UploadVerticesATI(l);
      EXPECT_NE(s.gpuGeneration, before);
      EXPECT_EQ(du_InteractionVertices(l, ia), s.gpuVertices);
    } else {
      EXPECT_EQ(ia->arrayBuffer, l->vertexBuffer);
    }
    Free(l);
  }
}

// The light-slot rules: build on the first refresh, keep while the key stays, rebuild on another
// key; facing, whole-surface lights, shaders without colour or specular, and the refused lights.
TEST_F(DuLighting, LightSlots) {
  Var_SetValue(&render_bump_r200, 0);  // path 1: no buffers, level-wide indices
  DuToolLevel level = TwoFloors();
  level.models[0].push_back(DuTool_Quad(-64, -64, 64, 64, 0, 1));  // a bare shader
  DuLevel* l = Load(level);
  ASSERT_NE(l, nullptr);
  const DuLightSlot& slot = l->lightSlots[7];

  ViewLight far = Light(7, 5, 1000, 0, 10, 50);
  du_RefreshLightSlot(l, &far);
  EXPECT_EQ(slot.key, 5);
  EXPECT_EQ(slot.interactionCount, 0);

  ViewLight above = Light(7, 6, 32, 0, 8, 20);  // over the second surface
  du_RefreshLightSlot(l, &above);
  ASSERT_EQ(slot.interactionCount, 1);
  EXPECT_EQ(slot.interactions[0]->surface, 1);
  EXPECT_EQ(slot.interactions[0]->indexCount, 6);
  EXPECT_EQ(slot.interactions[0]->indices, slot.interactions[0]->ownIndices);
  EXPECT_EQ(slot.positionBlock[3], 1.0f / 20);
  EXPECT_EQ(l->header->models[0].surfaces[1].interactions, slot.interactions[0]);

  ViewLight moved = above;
  moved.position = {-32, 0, 8};
  du_RefreshLightSlot(l, &moved);
  EXPECT_EQ(slot.interactions[0]->surface, 1) << "the same key keeps its lists";

  ViewLight below = Light(7, 8, 32, 0, -8, 20);  // behind the floor
  du_RefreshLightSlot(l, &below);
  EXPECT_EQ(slot.interactionCount, 0);
  EXPECT_EQ(l->header->models[0].surfaces[1].interactions, nullptr);
  ViewLight inPlane = Light(7, 9, 32, 0, 0, 20);
  du_RefreshLightSlot(l, &inPlane);
  EXPECT_EQ(slot.interactionCount, 1);
  ViewLight whole = Light(7, 10, 32, 0, -8, 40);
  whole.wholeSurface = 1;
  du_RefreshLightSlot(l, &whole);
  ASSERT_EQ(slot.interactionCount, 2) << "back faces too; the bare surface never";
  EXPECT_EQ(slot.interactions[1]->indices, l->header->models[0].surfaces[1].indices);
  EXPECT_EQ(slot.interactions[1]->bounds[3], 64.0f);

  for (ViewLight bad : {Light(-1, 3, 0, 0, 8, 40), Light(512, 3, 0, 0, 8, 40), Light(3, 0, 0, 0, 8, 40),
                        Light(3, 3, 0, 0, 8, 0)}) {
    du_RefreshLightSlot(l, &bad);
    EXPECT_FALSE(du_LightUsable(&bad));
  }
  EXPECT_EQ(l->lightSlots[3].key, 0);
}

// With a dynamic index buffer the lists go into it while they fit; a list that does not fit stays
// client-side and the fill mark stays put.
TEST_F(DuLighting, TheDynamicBufferFillsOnlyWhileListsFit) {
  DuLevel* l = Load(TwoFloors());
  ASSERT_NE(l, nullptr);
  ASSERT_NE(l->dynamicIndexBuffer, 0u);
  ViewLight a = Light(0, 1, 0, 0, 8, 200);
  du_RefreshLightSlot(l, &a);
  ASSERT_EQ(l->lightSlots[0].interactionCount, 2);
  EXPECT_EQ(l->lightSlots[0].interactions[1]->indexOffset, 12u);
  EXPECT_EQ(l->lightIndexFill, 12);
  l->lightIndexFill = kDuDynamicIndices - 8;
  ViewLight b = Light(1, 2, 0, 0, 8, 200);
  du_RefreshLightSlot(l, &b);
  const DuLightSlot& s = l->lightSlots[1];
  ASSERT_EQ(s.interactionCount, 2);
  EXPECT_EQ(s.interactions[0]->elementBuffer, l->dynamicIndexBuffer);
  EXPECT_EQ(s.interactions[1]->elementBuffer, 0u);
  EXPECT_EQ(s.interactions[1]->indices, s.interactions[1]->ownIndices);
  EXPECT_EQ(l->lightIndexFill, kDuDynamicIndices - 2);
}

TEST_F(DuLighting, ClipPolygon) {
  std::vector<vec3> square = {{0, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 0}};
  struct Case {
    float plane[4];
    std::vector<vec3> want;
  } cases[] = {
      {{1, 0, 0, 5}, square},
      {{1, 0, 0, -5}, {}},
      {{1, 0, 0, 1}, {{0, 0, 0}, {0, 2, 0}, {1, 2, 0}, {1, 0, 0}}},  // keeps x below 1
  };
  for (const Case& c : cases) {
    vec3 pts[kDuWindowMax];
    std::copy(square.begin(), square.end(), pts);
    int n = 4;
    du_ClipPolygon(pts, &n, c.plane);
    ASSERT_EQ(n, int(c.want.size()));
    // The output starts wherever the walk first writes; compare as a rotation.
    for (int start = 0; start < n; ++start) {
      bool same = true;
      for (int i = 0; i < n && same; ++i) {
        vec3 d;
        Vec_Subtract(&pts[(start + i) % n], &c.want[size_t(i)], &d);
        same = Vec_Length(&d) < 1e-6;
      }
      if (same) break;
      EXPECT_NE(start, n - 1) << "points differ";
    }
  }
  // 64 points alternating across the plane would make 96: only 64 are written.
  vec3 saw[kDuWindowMax];
  for (int i = 0; i < kDuWindowMax; ++i) saw[i] = {float(i), i % 2 ? 1.0f : -1.0f, 0};
  int n = kDuWindowMax;
  const float y0[4] = {0, 1, 0, 0};
  du_ClipPolygon(saw, &n, y0);
  EXPECT_EQ(n, kDuWindowMax);
}

TEST_F(DuLighting, AreasAndThePortalFlood) {
  DuToolLevel rooms = DuTool_TwoRooms("", kTextures);
  rooms.nodes.push_back({{0, 0, 1}, -1000, {0, -2}});  // node 1: above z = 1000 no area
  rooms.nodes[0].children[0] = 1;
  DuLevel* l = Load(rooms);
  ASSERT_NE(l, nullptr);
  const vec3 inA{-128, 0, 48}, inB{128, 0, 48}, high{128, 0, 2000};
  EXPECT_EQ(du_FindArea(l, &inA), 0);
  EXPECT_EQ(du_FindArea(l, &inB), 1);
  EXPECT_EQ(du_FindArea(l, &high), -1);

  const float yaw = YawAlongX();
  ViewLight lights[1] = {Light(0, 1, 128, 0, 64, 100)};  // lights room B
  const DuModel& roomB = l->header->models[1];
  struct Case {
    const char* name;
    vec3 eye;
    float yaw, pitch;
    bool seesB, listed;  // outside every area the light's whole list is drawn
  } cases[] = {{"through the portal", inA, yaw, 0, true, true},
               {"looking away", inA, yaw + kMathPi, 0, false, false},
               {"outside every area: the frustum", {128, 0, 1100}, yaw, -kMathPi / 2, true, true},
               {"outside every area, looking up", {128, 0, 1100}, yaw, kMathPi / 2, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViewParams v = Camera(c.eye, c.yaw, c.pitch, lights, 1);
    EXPECT_EQ(Flood(l, &v), c.eye.z > 1000 ? -1 : 0);
    EXPECT_EQ(roomB.surfaces[0].visibleStamp == l->frameStamp, c.seesB);
    const DuLightInteraction* list = l->lightSlots[0].drawList;
    EXPECT_EQ(list != nullptr, c.listed);
    if (list) {
      EXPECT_EQ(list->drawNext, nullptr);
    }
  }

  // Two openings onto room B: its interaction goes on the list once.
  rooms.portals[0].points = {0, -96, 0, 0, -16, 0, 0, -16, 96, 0, -96, 96};
  DuToolPortal second;
  second.points = {0, 16, 0, 0, 96, 0, 0, 96, 96, 0, 16, 96};
  second.areas[0] = 0, second.areas[1] = 1;
  rooms.portals.push_back(second);
  rooms.nodes.pop_back();
  rooms.nodes[0].children[0] = -2;
  DuLevel* two = Load(rooms, "two");
  ViewParams v = Camera(inA, yaw, 0, lights, 1);
  Flood(two, &v);
  ASSERT_NE(two->lightSlots[0].drawList, nullptr);
  EXPECT_EQ(two->lightSlots[0].drawList->drawNext, nullptr);

  // Without nodes the frustum decides, and every interaction of the view's lights is drawn.
  rooms.nodes.clear();
  DuLevel* bare = Load(rooms, "bare");
  ViewParams away = Camera(inA, yaw + kMathPi, 0, lights, 1);
  EXPECT_EQ(Flood(bare, &away), -1);
  EXPECT_NE(bare->lightSlots[0].drawList, nullptr);
  EXPECT_NE(bare->header->models[1].surfaces[0].visibleStamp, bare->frameStamp) << "room B is behind the camera";
}

// The flood links interactions only onto the lists of the frame's view lights: a light the view
// held in an earlier frame keeps its list untouched, and a light added after pass 0 lights nothing
// in that frame's light pass.
TEST_F(DuLighting, OnlyTheViewsLightsTakeInteractions) {
  Var_SetValue(&render_bump_shadows, 1);
  const std::string textures[6] = {"c", "s", "", "n", "", ""};
  ModelObject* m = Create(DuTool_TwoRooms("", textures));
  ASSERT_NE(m, nullptr);
  DuLevel* l = static_cast<DuLevel*>(m->data);
  ViewLight lights[2] = {Light(1, 2, 128, 0, 64, 100), Light(0, 1, 128, 0, 48, 100)};  // both light room B
  ViewParams v = Camera({-128, 0, 48}, YawAlongX(), 0, lights + 1, 1);  // slot 0 alone
  ModelDrawParams* p = At(0, 0, 0);
  v.pass = 0;
  du_Draw(m, p, &v);
  const DuLightInteraction* kept = l->lightSlots[0].drawList;
  ASSERT_NE(kept, nullptr);
  v.lights = lights, v.lightCount = 1;  // slot 1 alone
  du_Draw(m, p, &v);
  ASSERT_EQ(l->lightSlots[0].drawList, kept);
  ASSERT_EQ(kept->drawNext, nullptr) << "linked onto a list the frame never emptied";
  ASSERT_NE(l->lightSlots[1].drawList, nullptr);
  v.lightCount = 2;  // slot 0 joins after pass 0
  v.pass = 5;
  GlRecord_Clear();
  du_Draw(m, p, &v);
  EXPECT_EQ(Count("glDrawElements"), 1) << "room B under slot 1's light only";
}

// Eight portals in the same opening between two rooms make 8! paths: the flood stops at its
// budget and says so once.
TEST_F(DuLighting, TheFloodStopsAtItsBudget) {
  DuToolLevel rooms = DuTool_TwoRooms("", kTextures);
  for (int i = 0; i < 7; ++i) rooms.portals.push_back(rooms.portals[0]);
  DuLevel* l = Load(rooms);
  ASSERT_NE(l, nullptr);
  const float yaw = YawAlongX();
  ViewParams v = Camera({-128, 0, 48}, yaw);
  for (int frame = 0; frame < 2; ++frame) EXPECT_EQ(Flood(l, &v), 0);
  EXPECT_EQ(l->header->models[1].visibleStamp, l->frameStamp);
  size_t at = Log().find("du_MarkVisible: the portal flood stopped after 4096 portals");
  EXPECT_NE(at, std::string::npos);
  EXPECT_EQ(Log().find("du_MarkVisible", at + 1), std::string::npos) << "once per level";
}

TEST_F(DuLighting, ScissorRectangles) {
  const vec3 eye{0, 0, 0}, angles{0, 0, 0};
  vec3 f, r, u;
  Mat_AxesFromAngles(&angles, &f, &r, &u);
  auto at = [&](float ahead, float right, float up) {
    return vec3{f.x * ahead + r.x * right + u.x * up, f.y * ahead + r.y * right + u.y * up,
                f.z * ahead + r.z * right + u.z * up};
  };
  struct Case {
    const char* name;
    vec3 centre;
    float radius;
    DuScissor want;
  } cases[] = {
      {"on axis", at(100, 0, 0), 25, {266, 166, 267, 267}},  // P = 400, R = 400 * 25 / 75
      {"off screen", at(100, 10000, 0), 10, {0, 0, 0, 0}},
      {"eye inside", at(5, 0, 0), 10, {0, 0, 800, 600}},
      {"no depth", at(NAN, 0, 0), 10, {0, 0, 800, 600}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DuScissor s = du_LightScissor(&c.centre, c.radius, &eye, &angles, 800, 600, 90);
    EXPECT_EQ((std::vector<int>{s.x, s.y, s.width, s.height}),
              (std::vector<int>{c.want.x, c.want.y, c.want.width, c.want.height}));
  }
}

// A unit's cache entry of -1 always binds; the same material twice in a row binds once; an
// expand-normal bind sets the remap mode on the fresh bind; cube maps alike.
TEST_F(DuLighting, CachedBindsSkipRepeats) {
  ASSERT_TRUE(ImageTool_Save("c.tga", ImageTool_WriteTGA(ImageTool_Solid(4, 4, 9, 9, 9, 255), 24)));
  const int m = Material_Load("c");
  ASSERT_NE(m, 0);
  const struct {
    void (*bind)(int, int, float, int);
    GLenum target;
  } kinds[] = {{du_BindTextureCached, GL_TEXTURE_2D}, {du_BindCubeCached, GL_TEXTURE_CUBE_MAP_ARB}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.target);
    const std::string bind = "glBindTexture(" + std::to_string(k.target);
    GlRecord_Clear();
    for (int expand : {0, 1}) {
      du_ResetBindCache(2);
      for (int twice = 0; twice < 2; ++twice) k.bind(2, m, 0, expand);
      EXPECT_EQ(Count(bind), 1 + expand);
    }
    EXPECT_EQ(Count(GlRecord_Format("glTexParameteri", k.target, GL_TEXTURE_UNSIGNED_REMAP_MODE_NV, GL_EXPAND_NORMAL_NV)), 1);
  }
  du_ResetBindCache(2);
}

// Passes 1 and 3 issue nothing; the passes that draw leave no attribute array on. With
// vertex-array memory too small for a level's copy or a model's arrays, a level's light passes skip
// like its base pass (its buffer was never filled) and each refusal is logged once a vertex-memory
// generation, not on every draw of every pass.
TEST_F(DuLighting, DrawIssuesOnlyWhatThePassNeedsAndSkipsWithoutVertexMemory) {
  Var_SetValue(&render_bump_shadows, 1);
  ViewLight lights[1] = {Light(0, 1, 0, 0, 8, 100)};
  ViewParams v = Overhead(lights, 1);
  ModelDrawParams* p = At(0, 0, 0);
  ModelObject* level = Create(TwoFloors());
  ASSERT_NE(level, nullptr);
  for (int pass : {1, 3, 0, 5}) {
    v.pass = pass;
    GlRecord_Clear();
    du_Draw(level, p, &v);
    EXPECT_EQ(Count("glEnableVertexAttribArrayARB"), Count("glDisableVertexAttribArrayARB")) << pass;
    EXPECT_EQ(Count("glDrawElements"), pass & 1 && pass < 5 ? 0 : 2) << pass;
    if (pass & 1 && pass < 5) {
      EXPECT_EQ(GlRecord_Calls().size(), 0u) << pass;
    }
  }
  Var_SetValue(&render_var_size, 64);  // bytes
  OPENGL_AllocVar();
  level = Create(TwoFloors());
  ASSERT_NE(level, nullptr);
  BuModel* cube = Lighting::Load(BuTool_Cube(1, "", kTex));
  ASSERT_NE(cube, nullptr);
  ModelObject model{nullptr, bu_Draw, nullptr, nullptr, cube};
  for (int generation = 1; generation <= 2; ++generation) {
    if (generation == 2) OPENGL_AllocVar();
    GlRecord_Clear();
    for (int frame = 0; frame < 3; ++frame)
      for (int pass : {0, 4, 5}) {
        v.pass = pass;
        du_Draw(level, p, &v);
        bu_Draw(&model, p, &v);
      }
    EXPECT_EQ(Count("glDrawElements") + Count("glDrawArrays"), 0);
    EXPECT_EQ(tw_test::CountOccurrences(Log(), "du_Draw: no vertex-array memory"), generation);
    EXPECT_EQ(tw_test::CountOccurrences(Log(), "bu_Draw: no vertex-array memory"), generation);
  }
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "BigVAR"), 0);
  Lighting::Free(cube);
}

// ---- The NV20 and NV30 paths ---------------------------------------------------------------

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

class NvPaths : public Lighting {
 protected:
  void SetUp() override {
    Lighting::SetUp();
    GlExtFlags = GlExtFlagSet{};
    GlExtFlags.ARB_multitexture = GlExtFlags.NV_texture_env_combine4 = GlExtFlags.NV_vertex_program = 1;
    GlExtFlags.NV_register_combiners = GlExtFlags.NV_texture_shader = GlExtFlags.ARB_vertex_buffer_object = 1;
    GlExtFlags.EXT_stencil_two_side = GlExtFlags.NV_texture_expand_normal = 1;
  }
  void TearDown() override {
    GlExtFlags = GlExtFlagSet{};
    Lighting::TearDown();
  }
  BuModel* Load(const BuToolModel& m) {
    BuModel* model = Lighting::Load(m);
    if (model) bu_BuildGpuVerticesVbo(model);
    return model;
  }
  // The lines Bump_SetNvState alone issues for a mode.
  static std::vector<std::string> SetupLines(int mode, const ViewLight* light) {
    GlRecord_Clear();
    Bump_SetNvState(mode, light);
    std::vector<std::string> lines = GlRecord_Calls();
    GlRecord_Clear();
    return lines;
  }
};

// The calls of a missing extension are never made.
TEST_F(NvPaths, MissingExtensionsMakeNoCalls) {
  ViewLight light{};
  GlExtFlags.NV_texture_shader = 0;
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

// c[8] to c[13] of the NV30 pass: a point of the instance maps into the light's frame as the CPU
// maps it; the bone rows go in one call per object; an invisible instance draws nothing.
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
  ViewLight light = Light(0, 0, 4, -1, 2, 8);
  light.angles = {1.1f, 0.4f, -0.3f};
  bu_InstanceState(m, p)->visible = 1;
  GlRecord_Clear();
  bu_DrawLightNV30(m, p, &view, &light);
  float c[6][4] = {};
  int found = 0;
  for (const std::string& line : GlRecord_Calls()) {
    if (line.find("glProgramParameters4fvNV(") != 0 || line.find(", 8, 6, [") == std::string::npos) continue;
    std::istringstream in(line.substr(line.find('[') + 1));
    for (int k = 0; k < 24; ++k, in.ignore(2)) in >> c[k / 4][k % 4];
    found += bool(in);
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
  ViewLight light = Light(0, 0, 1, 2, -1, 4);
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
    } else if (std::sscanf(line.c_str(), "glScalef(%g, %g, %g)", &a, &b, &c) == 3) {
      t[0] = a, t[5] = b, t[10] = c;
    } else if (std::sscanf(line.c_str(), "glRotatef(%g, %g, %g, %g)", &d, &a, &b, &c) == 4) {
      ASSERT_TRUE(d == 90 && a == 0 && b == 1 && c == 0);
      t = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1};
    } else if (line.rfind("glTrackMatrixNV", 0) == 0) {
      EXPECT_EQ(line, GlRecord_Format("glTrackMatrixNV", GL_VERTEX_PROGRAM_NV, 88 + 4 * unit, GL_TEXTURE, GL_IDENTITY_NV));
      done[unit] = true;
    }
    mats[unit] = mul(mats[unit], t);
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
}

// The lines appear in this order (others between them).
bool InOrder(const std::vector<std::string>& calls, const std::vector<std::string>& lines) {
  size_t at = 0;
  for (const std::string& c : calls)
    if (at < lines.size() && c == lines[at]) ++at;
  return at == lines.size();
}

// A cube on the NV20 path with every texture, drawn at (0, 100, 0) by one depth pass per frame.
class Nv20Cube : public NvPaths {
 protected:
  void SetUp() override {
    NvPaths::SetUp();
    Var_SetValue(&render_bump_nv20, 1);
    Var_SetValue(&render_bump_nv30, 0);
    model_ = Load(BuTool_Cube(1, "", kTex));
    ASSERT_NE(model_, nullptr);
    ASSERT_EQ(model_->lightingPath, kPathNV20);
    object_ = Object(model_);
    for (int s = 0; s < 4; ++s) model_->header->shaders[0].slots[s].material = s + 1;
  }
  BuModel* model_ = nullptr;
  ModelObject* object_ = nullptr;
};

// The passes bu_Draw runs on the NV20 path, named by the vertex programs they bind: the depth
// pass; the reflection only in light 0's even pass and only with "render_bump_reflect"; the
// attenuation, diffuse and specular passes as their settings say (without attenuation the other
// two add with (ONE, ONE)), or the one combined pass, which alone skips an instance out of view.
// Each pass leaves programs, combiners and texture shaders off and no array on.
TEST_F(Nv20Cube, PassesRunAsTheSettingsSay) {
  Var_SetValue(&render_bump_shadows, 1);
  std::map<uint32_t, int> programs;  // GL name -> program
  for (int p = kProgNV20Z; p <= kProgNV20DiffuseSpecularSkinned; ++p)
    if (ProgramHandle h = Lighting_Program(p)) programs[*h] = p;
  ASSERT_EQ(programs.size(), 12u);
  ViewLight lights[2] = {Light(0, 1, 0, 100, 20, 400), Light(1, 2, 0, 100, 20, 400)};
  ViewParams view = Looking(lights, 2);
  ModelDrawParams* ahead = At(0, 100, 0);
  ModelDrawParams* behind = At(0, -100, 0);
  const int kA = kProgNV20Attenuation, kD = kProgNV20Diffuse, kS = kProgNV20Specular;
  const struct {
    const char* name;
    int pass;
    float fast, attenuation, diffuse, specular, reflect;
    bool outOfView;
    std::vector<int> programs;
    int dstAlpha;  // glBlendFunc(GL_DST_ALPHA, GL_ONE)
  } rows[] = {
      {"depth", 0, 0, 1, 1, 1, 1, false, {kProgNV20Z}, 0},
      {"reflection in light 0's pass", 4, 0, 1, 1, 1, 1, false, {kProgNV20Reflect}, 0},
      {"no reflection in light 1's", 6, 0, 1, 1, 1, 1, false, {}, 0},
      {"reflection off", 4, 0, 1, 1, 1, 0, false, {}, 0},
      {"three passes", 5, 0, 1, 1, 1, 0, false, {kA, kD, kS}, 2},
      {"attenuation off", 7, 0, 0, 1, 1, 0, false, {kD, kS}, 0},
      {"diffuse off", 5, 0, 1, 0, 1, 0, false, {kA, kS}, 1},
      {"separate passes out of view", 5, 0, 1, 1, 1, 0, true, {kA, kD, kS}, 2},
      {"combined", 5, 1, 1, 1, 1, 0, false, {kProgNV20DiffuseSpecular}, 0},
      {"combined out of view", 5, 1, 1, 1, 1, 0, true, {}, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    Var_SetValue(&render_bump_fast, r.fast), Var_SetValue(&render_bump_attenuation, r.attenuation);
    Var_SetValue(&render_bump_diffuse, r.diffuse), Var_SetValue(&render_bump_specular, r.specular);
    Var_SetValue(&render_bump_reflect, r.reflect);
    ModelDrawParams* p = r.outOfView ? behind : ahead;
    view.time += 1;
    Draw(object_, ahead, &view, 0);
    Draw(object_, behind, &view, 0);
    ASSERT_EQ(bu_FindInstanceState(model_, behind)->visible, 0);
    std::vector<std::string> calls = Draw(object_, p, &view, r.pass);
    std::vector<int> bound;
    for (const std::string& c : calls) {
      unsigned target, name;
      if (std::sscanf(c.c_str(), "glBindProgramNV(%u, %u)", &target, &name) == 2 && target == GL_VERTEX_PROGRAM_NV && name)
        bound.push_back(programs.count(name) ? programs[name] : -1);
    }
    EXPECT_EQ(bound, r.programs);
    EXPECT_EQ(CountIn(calls, "glDrawElements"), int(r.programs.size()));
    EXPECT_EQ(CountIn(calls, GlRecord_Format("glBlendFunc", GL_DST_ALPHA, GL_ONE)), r.dstAlpha);
    for (GLenum cap : {GLenum(GL_VERTEX_PROGRAM_NV), GLenum(GL_REGISTER_COMBINERS_NV), GLenum(GL_TEXTURE_SHADER_NV)}) {
      auto last = std::find_if(calls.rbegin(), calls.rend(), [&](const std::string& c) { return c == On(cap) || c == Off(cap); });
      EXPECT_TRUE(last == calls.rend() || *last == Off(cap)) << cap;
    }
    EXPECT_EQ(CountIn(calls, "glEnableClientState"), CountIn(calls, "glDisableClientState"));
  }
}

// The NV twin of the stencil volumes: with GL_EXT_stencil_two_side both faces' operations and one
// draw, else back faces then front faces, clamped in depth only with GL_NV_depth_clamp and
// "render_bump_shadows" exactly 2 (the ARB twin never); the index list is the ARB twin's.
TEST_F(Nv20Cube, StencilVolumesOfTheNvTwin) {
  const GLenum incr = GL_INCR_WRAP_EXT, decr = GL_DECR_WRAP_EXT;
  const struct {
    const char* name;
    uint8_t twoSide, clamp;
    float shadows, lightY;  // 120: beyond the cube (z-fail); 50: both light and eye before it (z-pass)
    int draws, clamps;
  } rows[] = {
      {"two-sided, z-fail", 1, 1, 2, 120, 1, 0},   {"two-sided, z-pass", 1, 1, 2, 50, 1, 0},
      {"one-sided, clamped", 0, 1, 2, 120, 2, 1},  {"one-sided, shadows 3", 0, 1, 3, 120, 2, 0},
      {"one-sided, z-pass", 0, 1, 2, 50, 2, 1},    {"no clamp extension", 0, 0, 2, 120, 2, 0},
  };
  ModelDrawParams* p = At(0, 100, 0);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    GlExtFlags.EXT_stencil_two_side = r.twoSide, GlExtFlags.NV_depth_clamp = r.clamp;
    Var_SetValue(&render_bump_shadows, r.shadows);
    Var_SetValue(&render_bump_reflect, 0);
    ViewLight light = Light(0, 1, 0.5f, r.lightY, 0.5f, 400);
    ViewParams view = Looking(&light, 1);
    view.time = r.lightY + r.shadows + r.twoSide + r.clamp;
    Draw(object_, p, &view, 0);
    std::vector<std::string> calls = Draw(object_, p, &view, 4);
    EXPECT_EQ(CountIn(calls, "glDrawElements"), r.draws);
    EXPECT_EQ(CountIn(calls, On(GL_DEPTH_CLAMP_NV)), r.clamps);
    const bool zFail = r.lightY > 100;
    const std::string back = GlRecord_Format("glStencilOp", GL_KEEP, zFail ? incr : GL_KEEP, zFail ? GL_KEEP : decr);
    const std::string front = GlRecord_Format("glStencilOp", GL_KEEP, zFail ? decr : GL_KEEP, zFail ? GL_KEEP : incr);
    if (r.twoSide) {
      EXPECT_TRUE(InOrder(calls, {GlRecord_Format("glActiveStencilFaceEXT", GL_BACK), back,
                                  GlRecord_Format("glActiveStencilFaceEXT", GL_FRONT), front}));
    } else {
      EXPECT_TRUE(InOrder(calls, {back, front}));
    }
    int n = 0;
    for (const std::string& c : calls) std::sscanf(c.c_str(), "glDrawElements(%*d, %d,", &n);
    ASSERT_GT(n, 0);
    std::vector<uint16_t> nv(model_->volumeList, model_->volumeList + n);
    GlRecord_Clear();
    GlExtFlags.ATI_separate_stencil = 0;
    bu_StencilVolumeARB(model_, p, &view, 0);
    EXPECT_EQ(Count(On(GL_DEPTH_CLAMP_NV)), 0);
    EXPECT_EQ(std::vector<uint16_t>(model_->volumeList, model_->volumeList + n), nv);
    EXPECT_EQ(Count(GlRecord_Format("glDrawElements", GL_TRIANGLES, n, GL_UNSIGNED_SHORT, (const void*)1)), 2);
  }
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
    std::string text = tw_test::ReadFile((dir / file).string()), code;
    ASSERT_FALSE(text.empty()) << "missing";
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
        EXPECT_TRUE(c < 88 || file.find("attenuation") != std::string::npos) << mt[0];
      }
    }
    EXPECT_EQ(code.find("v[5]") != std::string::npos, file.find("_4bones") != std::string::npos);
    ++checked;
  }
  EXPECT_EQ(checked, 18);
}

// ---- DU levels on the NV paths ----------------------------------------------------------------

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

class DuNvPaths : public DuLighting {
 protected:
  void SetUp() override {
    DuLighting::SetUp();
    GlExtFlags = GlExtFlagSet{};
    GlExtFlags.ARB_multitexture = GlExtFlags.ARB_vertex_buffer_object = GlExtFlags.NV_texture_env_combine4 = 1;
    GlExtFlags.NV_vertex_program = GlExtFlags.NV_texture_shader = GlExtFlags.NV_register_combiners = 1;
  }
  void TearDown() override {
    DuLighting::TearDown();
    GlExtFlags = GlExtFlagSet{};
  }
  // The two floors, the second without colour or specular texture.
  ModelObject* Level(int vertices = 0) {
    DuToolLevel level = TwoFloors();
    level.shaders[0].textures[5] = "c";
    level.models[0][1] = DuTool_Quad(0, -64, 64, 64, 0, 1);
    if (vertices) level.models[0][0].vertices.resize(size_t(vertices - 4), level.models[0][0].vertices[0]);
    return Create(level);
  }
};

// Without "render_bump_fast" the odd pass of light i runs the attenuation, diffuse and specular
// passes of that light only; with it, one pass lights every light with a draw list. A level too
// large for level-wide indices is refused by these paths, logged once.
TEST_F(DuNvPaths, OddPassesLightTheirLightsAndLargeLevelsAreRefusedOnce) {
  Var_SetValue(&render_bump_shadows, 2);
  Var_SetValue(&render_bump_attenuation, 1);
  Var_SetValue(&render_bump_diffuse, 1);
  Var_SetValue(&render_bump_specular, 1);
  ModelObject* m = Level();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(static_cast<DuLevel*>(m->data)->lightPath, kPathNV20);
  ModelObject none{};  // a BU model pair the all-lights pass hands to bu_Draw
  ViewLight lights[3] = {Light(0, 1, -32, 0, 8, 40), Light(1, 2, 60, 0, 8, 40), Light(2, 3, 5000, 0, 8, 10)};
  for (ViewLight& l : lights) l.litCount = 1, l.lit[0].model = &none;
  ViewParams v = Overhead(lights, 3);
  ModelDrawParams* p = At(0, 0, 0);
  v.pass = 0;
  du_Draw(m, p, &v);
  GlRecord_Clear();
  du_Draw(m, p, &v);
  EXPECT_EQ(Count("glDrawElements"), 1) << "the depth pass draws the surface with textures";
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    v.pass = 5 + 2 * i;
    GlRecord_Clear();
    du_Draw(m, p, &v);
    EXPECT_EQ(LightXPerDraw(), std::vector<float>(3, lights[i].position.x)) << "one draw a pass, light i only";
    EXPECT_EQ(v.pass, 5 + 2 * i) << "no BU model drawn";
  }
  for (int path : {kPathNV20, kPathNV30}) {
    SCOPED_TRACE(path);
    if (path == kPathNV30) {
      GlExtFlags.NV_fragment_program = 1;
      Var_SetValue(&render_bump_nv30, 1);
      for (ModelObject* old : objects_) old->Free(&old);
      objects_.clear();
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
  }
  SCOPED_TRACE("65536 vertices on the NV20 path");
  GlExtFlags.NV_fragment_program = 0;
  Var_SetValue(&render_bump_nv30, 0), Var_SetValue(&render_bump_fast, 0), Var_SetValue(&render_bump_shadows, 1);
  v.lightCount = 1;
  m = Level(65536);
  ASSERT_NE(m, nullptr);
  for (int pass : {0, 0, 5}) {
    v.pass = pass;
    GlRecord_Clear();
    du_Draw(m, p, &v);
    EXPECT_EQ(Count("glDrawElements"), 0);
  }
  const std::string line = "du_Draw: a level of 65536 vertices has no vertex source on the NV paths";
  EXPECT_EQ(tw_test::CountOccurrences(Log(), line), 1);
}

}  // namespace
