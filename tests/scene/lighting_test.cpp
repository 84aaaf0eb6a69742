// BU lighting without a driver: the path table, programs shared and counted, the GPU buffers and
// vertex arrays on the recording GL table, gathering, facing masks, culling, volume lists, and
// the state every pass restores.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/mem.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/bu_lighting.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "scene/view.h"
#include "support/lit_scene.h"
#include "support/render_support.h"
#include "tools/bu_writer.h"

namespace fs = std::filesystem;

namespace {

GLuint g_programNames;
void GenPrograms(GLsizei n, GLuint* out) {
  for (GLsizei i = 0; i < n; ++i) out[i] = ++g_programNames;
}

int Count(const std::string& prefix) {
  const auto& calls = GlRecord_Calls();
  return int(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

bool Has(const std::string& line) {
  const auto& calls = GlRecord_Calls();
  return std::find(calls.begin(), calls.end(), line) != calls.end();
}

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
    OPENGL_AllocVar();
  }
  void TearDown() override {
    for (BuModel* m : models_) bu_FreeModel(m);
    for (ModelDrawParams* p : params_) tw_test::LitScene_FreeParams(p);
    OPENGL_FreeVar();
    Render_ResetBlock();
    LoggedTest::TearDown();
  }
  BuModel* Load(const BuToolModel& m, const char* name = "m") {
    tw_test::WriteBytes(std::string(name) + ".bu", BuTool_Write(m));
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
  tw_test::BumpSettings settings_;
  std::vector<BuModel*> models_;
  std::vector<ModelDrawParams*> params_;
};

const std::string kTex[4] = {"skin", "skin_s", "", "skin_n"};

TEST_F(Lighting, PathTable) {
  struct Row {
    const char* name;
    uint8_t atiFs, arbVp, arbFp, nvFp, nvVp, combine4;
    float r300, r200, nv30, nv20, nv10;
    int path;
  } rows[] = {
      {"llvmpipe", 1, 1, 1, 0, 0, 1, 0, 1, 0, 1, 1, kPathR200},
      {"llvmpipe, r300", 1, 1, 1, 0, 0, 1, 1, 1, 0, 1, 1, kPathR300},
      {"r300 without ARB_fp", 1, 1, 0, 0, 0, 0, 1, 0, 0, 1, 1, kPathR200},
      {"llvmpipe, both off", 1, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, kPathNV10},
      {"combine4 only", 0, 0, 0, 0, 0, 1, 0, 1, 0, 1, 1, kPathNV10},
      {"ATI, both off, no NV", 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1, kPathNone},
      {"NV30", 0, 0, 0, 1, 1, 1, 0, 1, 1, 1, 1, kPathNV30},
      {"NV20", 0, 0, 0, 0, 1, 1, 0, 1, 0, 1, 1, kPathNV20},
      {"NV20 and NV10 off", 0, 0, 0, 0, 1, 1, 0, 1, 0, 0, 0, kPathNone},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    GlExtFlags.ATI_fragment_shader = r.atiFs, GlExtFlags.ARB_vertex_program = r.arbVp;
    GlExtFlags.ARB_fragment_program = r.arbFp, GlExtFlags.NV_fragment_program = r.nvFp;
    GlExtFlags.NV_vertex_program = r.nvVp, GlExtFlags.NV_texture_env_combine4 = r.combine4;
    Var_SetValue(&render_bump_r300, r.r300), Var_SetValue(&render_bump_r200, r.r200);
    Var_SetValue(&render_bump_nv30, r.nv30), Var_SetValue(&render_bump_nv20, r.nv20);
    Var_SetValue(&render_bump_nv10, r.nv10);
    EXPECT_EQ(bu_ChooseLightingPath(), r.path);
  }
}

TEST_F(Lighting, AtiShaderNames) {
  EXPECT_EQ(ATIFS_Number("SCRIPTS\\SHADERS\\R200_Z.ATIFS"), 12);
  EXPECT_EQ(ATIFS_Number("scripts\\shaders\\R200_diffuse_specular_fastest.atifs"), 15);
  for (const char* bad : {"scripts/shaders/R200_z.atifs", "", (const char*)nullptr}) EXPECT_EQ(ATIFS_Number(bad), 0);
  EXPECT_EQ(ATIFS_Load("scripts\\shaders\\other.atifs"), 0u);
}

std::vector<float> Floats(const void* p, size_t count) {
  std::vector<float> v(count);
  std::memcpy(v.data(), p, count * sizeof(float));
  return v;
}

// The lit-mesh and volume arrays byte for byte; indices go to the index buffer strips first; a new
// vertex-array generation rebuilds them.
TEST_F(Lighting, GpuVerticesAreBuiltByteExact) {
  GlExtFlags.ATI_vertex_array_object = GlExtFlags.ATI_element_array = 1;
  Var_SetText(&render_var_type, "AGP");
  BuToolModel bar = BuTool_Bar(2, "", kTex);
  bar.objects[1].vertices[3].influences[2] = {1, 0.25f};
  BuModel* m = Load(bar);
  ASSERT_NE(m, nullptr);
  GlRecord_Clear();
  bu_BuildGpuVertices(m);
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
      for (int w = 0; w < 2; ++w) {
        std::vector<float> wantVol(src.position, src.position + 3);
        wantVol.push_back(float(w));
        wantVol.insert(wantVol.end(), want.begin() + 16, want.end());
        EXPECT_EQ(Floats(&vol[2 * v + w], 12), wantVol) << "volume vertex " << 2 * v + w;
      }
      ++v;
    }
  EXPECT_EQ(Count("glUpdateObjectBufferATI"), 4);
  EXPECT_TRUE(Has(GlRecord_Format("glUpdateObjectBufferATI", m->atiIndexBuffer, 0, 8, (const void*)1, GL_PRESERVE_ATI)));
  EXPECT_TRUE(Has(GlRecord_Format("glUpdateObjectBufferATI", m->atiIndexBuffer, 8, 12, (const void*)1, GL_PRESERVE_ATI)));
  GlRecord_Clear();
  bu_BuildGpuVertices(m);
  EXPECT_EQ(Count("glUpdateObjectBufferATI"), 0) << "nothing changed";
  OPENGL_AllocVar();
  bu_BuildGpuVertices(m);
  EXPECT_EQ(Count("glUpdateObjectBufferATI"), 4) << "a new vertex-array generation";
}

// Strips before lists, shaders out of range or blended skipped, bone rows 16 + 3k for skinned
// instances; and the rows skin a vertex exactly as the volume points are posed.
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
  EXPECT_TRUE(Has(GlRecord_Format("glDrawElements", GL_TRIANGLE_STRIP, 4, GL_UNSIGNED_SHORT, (const void*)1)));
  EXPECT_EQ(Count("glProgramEnvParameter4fvARB"), 6) << "rows 16 to 21";
  // Rows as recorded: "glProgramEnvParameter4fvARB(target, index, [a, b, c, d])".
  float rows[6][4];
  for (const std::string& call : GlRecord_Calls()) {
    int index;
    float r[4];
    if (std::sscanf(call.c_str(), "glProgramEnvParameter4fvARB(%*d, %d, [%g, %g, %g, %g])", &index, &r[0], &r[1], &r[2], &r[3]) == 5)
      std::memcpy(rows[index - 16], r, sizeof r);
  }
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
        const float* row = rows[3 * slot + r];
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
  GlRecord_Clear();
  bu_DrawSurfaceARB(m, 1, p, &view);
  EXPECT_TRUE(Has(GlRecord_Format("glDrawElements", GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, (const void*)1)));
  h->objects[1].shader = -1;
  h->objects[0].shader = 0;
  h->shaders[0].blend = 1;
  GlRecord_Clear();
  bu_DrawSurfaceARB(m, 0, p, &view);
  bu_DrawSurfaceARB(m, 1, p, &view);
  EXPECT_TRUE(GlRecord_Calls().empty());
  EXPECT_EQ(view.statDrawCalls, 2);
  EXPECT_EQ(view.statTriangles, 4);
}

ViewLight Touching(float x, float radius = 3) {
  ViewLight l{};
  l.key = 1;
  l.position = {x, 0, 0};
  l.radius = radius;
  return l;
}

// Gathering stops at 8 lights or when a light fills up; a full light is skipped; radius <= 0
// lights nothing.
TEST_F(Lighting, GatheringKeepsItsLimits) {
  BuModel* m = Load(BuTool_Cube(1, "", kTex));
  ASSERT_NE(m, nullptr);
  ModelDrawParams* p = At(0, 0, 0);
  BuInstanceState* s = bu_InstanceState(m, p);
  bu_PoseVolume(m, s->box);
  EXPECT_EQ(s->box[0], -1.0f);
  EXPECT_EQ(s->box[5], 1.0f);
  std::vector<ViewLight> lights(10, Touching(0.5f));
  lights[1].radius = 0;
  lights[2].litCount = 8;
  lights[5] = Touching(10);  // too far
  lights[6].litCount = 7;    // full with this instance: the search ends
  ViewParams view{};
  view.lights = lights.data();
  view.lightCount = 10;
  bu_GatherLights(m, p, &view, s);
  ASSERT_EQ(s->litCount, 4);
  EXPECT_EQ(std::vector<int>(s->lit, s->lit + 4), (std::vector<int>{0, 3, 4, 6}));
  EXPECT_EQ(lights[7].litCount, 0);
  EXPECT_EQ(lights[0].lit[0].params, p);
  for (ViewLight& l : lights) l = Touching(0.5f);
  bu_GatherLights(m, p, &view, s);
  EXPECT_EQ(s->litCount, 8) << "the eighth light ends the search";
  EXPECT_EQ(lights[8].litCount, 0);
}

// Facing masks only above 1.0; the far plane culls with the view's distance or the override.
TEST_F(Lighting, DepthPassMasksAndFarCull) {
  BuModel* m = Load(BuTool_Cube(1, "", kTex));
  ASSERT_NE(m, nullptr);
  ModelDrawParams* p = At(0, 100, 0);
  ViewLight light = Touching(0);
  light.position = {0, 100, 5};
  light.radius = 10;
  ViewParams view{};
  view.zoom = 1;
  view.fov = 90;
  View_Setup(&view, 0);
  view.lights = &light;
  view.lightCount = 1;
  const int triangles = m->header->volumeIndexCount / 3;
  for (float shadows : {1.0f, 1.5f}) {
    Var_SetValue(&render_bump_shadows, shadows);
    light.litCount = 0;
    bu_DepthPassR200(m, p, &view);
    BuInstanceState* s = bu_InstanceState(m, p);
    EXPECT_EQ(s->litCount, 1);
    EXPECT_EQ(s->visible, 1);
    int away = 0;
    for (int t = 0; t < triangles; ++t) away += s->facing[t] & 1;
    EXPECT_EQ(away, shadows > 1.0f ? 10 : 0) << "all but the two top triangles face away";
  }
  const float box[6] = {-1, 40000, -1, 1, 40002, 1};
  ModelDrawParams* origin = At(0, 0, 0);
  EXPECT_EQ(bu_InstanceVisible(box, origin, &view), 0) << "beyond the far distance";
  origin->farDistance = 50000;
  EXPECT_EQ(bu_InstanceVisible(box, origin, &view), 1);
}

// Volume lists: open edges only from their own triangle, reversed quads from the neighbour, caps
// only for z-fail (the far one alone for an instance out of view); -5 exactly is z-pass.
TEST_F(Lighting, VolumeListsAndTheMethodChoice) {
  BuToolModel quad;
  quad.shaders.push_back({"q", {"a", "", "", ""}});
  BuToolObject obj;
  for (int i = 0; i < 4; ++i) {
    BuToolVertex v;
    v.position[0] = float(i & 1), v.position[1] = float(i >> 1);
    obj.vertices.push_back(v);
  }
  obj.indices = {0, 1, 3, 0, 3, 2};
  quad.objects.push_back(obj);
  BuModel* m = Load(quad);
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

// Passes 1 to 3 make no GL call; the depth, volume and light passes leave the state as they found
// it (arrays, programs, shaders, matrices, stencil, colour mask).
TEST_F(Lighting, PassesRestoreWhatTheyChange) {
  BuModel* m = Load(BuTool_Bar(2, "", kTex));
  ASSERT_NE(m, nullptr);
  m->header->shaders[0].slots[0].material = 1;
  m->texturesNeeded = 0;  // keep that material
  m->textureGeneration = Tex_GetGeneration();
  ModelObject object{};
  object.data = m;
  m->owner = &object;
  ModelDrawParams* p = At(0, 40, 0);
  ViewLight light = Touching(0, 10);
  light.position = {0, 40, 3};
  ViewParams view{};
  view.zoom = 1;
  view.fov = 90;
  View_Setup(&view, 0);
  view.lights = &light;
  view.lightCount = 1;
  Var_SetValue(&render_bump_shadows, 2);
  GlRecord_Clear();
  for (int pass = 1; pass <= 3; ++pass) {
    view.pass = pass;
    bu_Draw(&object, p, &view);
  }
  EXPECT_TRUE(GlRecord_Calls().empty());
  for (float fast : {0.0f, 1.0f, 2.0f}) {
    SCOPED_TRACE(fast);
    Var_SetValue(&render_bump_fast, fast);
    GlRecord_Clear();
    for (int pass : {0, 4, 5}) {
      view.pass = pass;
      bu_Draw(&object, p, &view);
    }
    EXPECT_GT(Count("glDrawElements"), 2);
    EXPECT_EQ(Count("glEnableVertexAttribArrayARB"), Count("glDisableVertexAttribArrayARB"));
    EXPECT_EQ(Count("glPushMatrix"), Count("glPopMatrix"));
    EXPECT_EQ(Count("glEnable(" + std::to_string(GL_FRAGMENT_SHADER_ATI)), Count("glDisable(" + std::to_string(GL_FRAGMENT_SHADER_ATI)));
    EXPECT_EQ(Count("glEnable(" + std::to_string(GL_VERTEX_PROGRAM_ARB)), Count("glDisable(" + std::to_string(GL_VERTEX_PROGRAM_ARB)));
    EXPECT_EQ(Count("glEnable(" + std::to_string(GL_STENCIL_TEST)), Count("glDisable(" + std::to_string(GL_STENCIL_TEST)));
    const auto& calls = GlRecord_Calls();
    auto lastMask = std::find_if(calls.rbegin(), calls.rend(), [](const std::string& c) { return c.rfind("glColorMask", 0) == 0; });
    ASSERT_NE(lastMask, calls.rend());
    EXPECT_EQ(*lastMask, "glColorMask(1, 1, 1, 0)");
  }
  // Shadows 1: no volume pass.
  Var_SetValue(&render_bump_shadows, 1);
  GlRecord_Clear();
  view.pass = 4;
  bu_Draw(&object, p, &view);
  EXPECT_EQ(Count("glDrawElements"), 0);
  // Both ATI paths off: path 1, and nothing is drawn.
  Var_SetValue(&render_bump_r200, 0);
  BuModel* nv10 = Load(BuTool_Bar(2, "", kTex), "nv10");
  EXPECT_EQ(nv10->lightingPath, kPathNV10);
  object.data = nv10;
  GlRecord_Clear();
  for (int pass : {0, 4, 5}) {
    view.pass = pass;
    bu_Draw(&object, p, &view);
  }
  EXPECT_EQ(Count("glDrawElements"), 0);
}

// The sample game carries every program of both paths and the two lighting textures.
TEST(LightingSample, TheArchiveHoldsTheProgramsAndTextures) {
  tw_test::TempDir dir;
  ASSERT_TRUE(tw_test::MakeSampleGame(dir.Path()));
  File_Init();
  LightProgramSet both = Lighting_BuPathPrograms(kPathR200) | Lighting_BuPathPrograms(kPathR300);
  for (int p = 0; p < kProgAtiZ; ++p) {
    if (both & (LightProgramSet(1) << p)) {
      EXPECT_NE(TextFile_Get((std::string("scripts\\shaders\\") + Lighting_ProgramFile(p)).c_str()), nullptr)
          << Lighting_ProgramFile(p);
    }
  }
  for (const char* name : {"textures\\flat.tga", "textures\\normalization.cub", "textures\\normalization_PX.tga"}) {
    FileHandle* f = File_Open(name, "rb");
    EXPECT_NE(f, nullptr) << name;
    if (f) File_Close(f);
  }
  EXPECT_FALSE(fs::exists("scripts/shaders")) << "nothing loose";
  File_Shutdown();
}

}  // namespace
