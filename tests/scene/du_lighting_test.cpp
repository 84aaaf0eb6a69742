// DU level lighting without a driver: the path and buffers, the light slots and their lists,
// polygon clipping, areas and the portal flood, scissor rectangles, and what du_Draw issues on the
// recording GL table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/mem.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/material.h"
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

GLuint g_programNames;
void GenPrograms(GLsizei n, GLuint* out) {
  for (GLsizei i = 0; i < n; ++i) out[i] = ++g_programNames;
}

int Count(const std::string& prefix) {
  const auto& calls = GlRecord_Calls();
  return int(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

const std::string kTextures[6] = {"wall", "wall_s", "", "wall_n", "", ""};

class DuLighting : public tw_test::LoggedTest {
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
    Var_SetText(&render_var_type, "VBO");
    OPENGL_AllocVar();
  }
  void TearDown() override {
    for (DuLevel* l : levels_) du_FreeLevel(l);
    for (ModelDrawParams* p : params_) tw_test::LitScene_FreeParams(p);
    for (int p = 0; p < kLightProgramCount; ++p) EXPECT_EQ(Lighting_ProgramUsers(p), 0);
    OPENGL_FreeVar();
    Render_ResetBlock();
    LoggedTest::TearDown();
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
  ModelDrawParams* At(float x, float y, float z) {
    params_.push_back(tw_test::LitScene_NewParams(x, y, z));
    return params_.back();
  }
  tw_test::BumpSettings settings_;
  std::vector<DuLevel*> levels_;
  std::vector<ModelDrawParams*> params_;
};

ViewLight Light(int slot, int key, float x, float y, float z, float radius) {
  ViewLight l{};
  l.slot = slot, l.key = key, l.position = {x, y, z}, l.radius = radius;
  l.colour[0] = l.colour[1] = l.colour[2] = 1.0f;
  return l;
}

// A floor of two surfaces side by side (x < 0 and x > 0), each two triangles facing +Z.
DuToolLevel TwoFloors() {
  DuToolLevel level;
  level.shaders.push_back({"floor", {"c", "s", "", "n", "", ""}});
  level.shaders.push_back({"bare", {"", "", "", "n", "", ""}});
  level.models.push_back({DuTool_Quad(-64, -64, 0, 64, 0, 0), DuTool_Quad(0, -64, 64, 64, 0, 0)});
  return level;
}

ViewParams Camera(vec3 eye, float yaw, float pitch = 0) {
  ViewParams v{};
  v.position = eye;
  v.angles = {yaw, pitch, 0};
  v.zoom = 1.0f;
  v.fov = 90.0f;
  View_Setup(&v, 0);
  return v;
}

TEST_F(DuLighting, PathChoiceAndBuffers) {
  struct Row {
    const char* name;
    uint8_t atiFs, arbFp, nvTs, nvVp;
    float r300, r200, nv20, nv10;
    int path;
  } rows[] = {
      {"llvmpipe", 1, 1, 0, 0, 0, 1, 1, 1, kPathR200},
      {"r300", 1, 1, 0, 0, 1, 1, 1, 1, kPathR300},
      {"r300 without ARB_fp", 1, 0, 0, 0, 1, 0, 1, 1, kPathR200},
      {"NV20 needs the texture shader", 0, 0, 1, 1, 0, 1, 1, 1, kPathNV20},
      {"NV20 without it falls to NV10", 0, 0, 0, 1, 0, 1, 1, 1, kPathNV10},
      {"everything off", 1, 1, 1, 1, 0, 0, 0, 0, kPathNone},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    GlExtFlags.ATI_fragment_shader = r.atiFs, GlExtFlags.ARB_fragment_program = r.arbFp;
    GlExtFlags.NV_texture_shader = r.nvTs, GlExtFlags.NV_vertex_program = r.nvVp;
    Var_SetValue(&render_bump_r300, r.r300), Var_SetValue(&render_bump_r200, r.r200);
    Var_SetValue(&render_bump_nv30, 0), Var_SetValue(&render_bump_nv20, r.nv20), Var_SetValue(&render_bump_nv10, r.nv10);
    Var_SetText(&render_var_type, "vbo");
    GlRecord_Clear();
    DuLevel* l = Load(TwoFloors());
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->lightPath, r.path);
    EXPECT_EQ(DuLightPath, r.path);
    const bool buffers = r.path >= kPathNV20;
    EXPECT_EQ(l->vertexBuffer != 0 && l->indexBuffer != 0 && l->dynamicIndexBuffer != 0, buffers);
    EXPECT_EQ(Count("glProgramStringARB") + Count("glGenFragmentShadersATI") > 0, r.path >= kPathR200);
    if (r.path == kPathNone) {
      EXPECT_EQ(GlRecord_Calls().size(), 0u);
    }
    GlRecord_Clear();
    Free(l);
    EXPECT_EQ(Count("glDeleteBuffersARB"), buffers ? 3 : 0);
  }
  // Without "VBO" there is no dynamic index buffer; the ATI objects need their extensions.
  GlExtFlags.ATI_vertex_array_object = GlExtFlags.ATI_element_array = 1;
  Var_SetValue(&render_bump_r200, 1);
  Var_SetText(&render_var_type, "AGP");
  DuLevel* agp = Load(TwoFloors());
  EXPECT_EQ(agp->dynamicIndexBuffer, 0u);
  EXPECT_NE(agp->atiVertexObject, 0u);
  EXPECT_NE(agp->atiIndexObject, 0u);
  GlRecord_Clear();
  Free(agp);
  EXPECT_EQ(Count("glFreeObjectBufferATI"), 2);
  EXPECT_EQ(Count("glDeleteFragmentShaderATI"), 4);
  EXPECT_EQ(OPENGL_ProgramCount(2) + OPENGL_ProgramCount(3), 0);
}

TEST_F(DuLighting, LargeLevelsDrawAndLightFromTheirSurfacesOwnCopies) {
  for (int total : {65535, 65536}) {
    DuToolLevel level = TwoFloors();
    level.models[0][0].vertices.resize(size_t(total - 4), level.models[0][0].vertices[0]);
    DuLevel* l = Load(level);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->surfaceRelative, total == 65536);
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
  const float keepBelowX1[4] = {1, 0, 0, 1};
  std::vector<vec3> square = {{0, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 0}};
  struct Case {
    float plane[4];
    std::vector<vec3> want;
  } cases[] = {
      {{1, 0, 0, 5}, square},
      {{1, 0, 0, -5}, {}},
      {{keepBelowX1[0], keepBelowX1[1], keepBelowX1[2], keepBelowX1[3]}, {{0, 0, 0}, {0, 2, 0}, {1, 2, 0}, {1, 0, 0}}},
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

  // Yaw that looks along +X.
  float yaw = 0;
  for (float y : {-kMathPi / 2, kMathPi / 2}) {
    vec3 angles{y, 0, 0}, f;
    Mat_AxesFromAngles(&angles, &f, nullptr, nullptr);
    if (f.x > 0.9f) yaw = y;
  }
  ViewLight lights[1] = {Light(0, 1, 128, 0, 64, 100)};  // lights room B
  const DuModel& roomB = l->header->models[1];
  struct Case {
    const char* name;
    vec3 eye;
    float yaw;
    bool seesB;
  } cases[] = {{"through the portal", inA, yaw, true},
               {"looking away", inA, yaw + kMathPi, false},
               {"outside every area: the frustum", {-400, 0, 48}, yaw, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViewParams v = Camera(c.eye, c.yaw);
    v.lights = lights, v.lightCount = 1;
    l->cameraArea = du_FindArea(l, &v.position);
    du_MarkVisible(l, nullptr, &v);
    EXPECT_EQ(roomB.surfaces[0].visibleStamp == l->frameStamp, c.seesB);
    const DuLightInteraction* list = l->lightSlots[0].drawList;
    EXPECT_EQ(list != nullptr, c.seesB);
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
  ViewParams v = Camera(inA, yaw);
  v.lights = lights, v.lightCount = 1;
  two->cameraArea = du_FindArea(two, &v.position);
  du_MarkVisible(two, nullptr, &v);
  ASSERT_NE(two->lightSlots[0].drawList, nullptr);
  EXPECT_EQ(two->lightSlots[0].drawList->drawNext, nullptr);

  // Without nodes the frustum decides, and every interaction of the view's lights is drawn.
  rooms.nodes.clear();
  DuLevel* bare = Load(rooms, "bare");
  ViewParams away = Camera(inA, yaw + kMathPi);
  away.lights = lights, away.lightCount = 1;
  bare->cameraArea = du_FindArea(bare, &away.position);
  EXPECT_EQ(bare->cameraArea, -1);
  du_MarkVisible(bare, nullptr, &away);
  EXPECT_NE(bare->lightSlots[0].drawList, nullptr);
  EXPECT_NE(bare->header->models[1].surfaces[0].visibleStamp, bare->frameStamp) << "room B is behind the camera";
}

// Eight portals in the same opening between two rooms make 8! paths: the flood stops at its
// budget and says so once.
TEST_F(DuLighting, TheFloodStopsAtItsBudget) {
  DuToolLevel rooms = DuTool_TwoRooms("", kTextures);
  for (int i = 0; i < 7; ++i) rooms.portals.push_back(rooms.portals[0]);
  DuLevel* l = Load(rooms);
  ASSERT_NE(l, nullptr);
  float yaw = 0;
  for (float y : {-kMathPi / 2, kMathPi / 2}) {
    vec3 angles{y, 0, 0}, f;
    Mat_AxesFromAngles(&angles, &f, nullptr, nullptr);
    if (f.x > 0.9f) yaw = y;
  }
  ViewParams v = Camera({-128, 0, 48}, yaw);
  for (int frame = 0; frame < 2; ++frame) {
    l->cameraArea = 0;
    du_MarkVisible(l, nullptr, &v);
  }
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

// What du_Draw issues per pass: nothing on 1 and 3; only the upload, the matrix and the fog
// toggle on even passes from 4; no scale for (1, 1, 1).
TEST_F(DuLighting, DrawIssuesOnlyWhatThePassNeeds) {
  Var_SetValue(&render_bump_shadows, 1);
  for (const char* name : {"c", "s", "n"})
    ASSERT_TRUE(ImageTool_Save(std::string(name) + ".tga", ImageTool_WriteTGA(ImageTool_Solid(4, 4, 9, 9, 9, 255), 24)));
  DuToolLevel level = TwoFloors();
  EXPECT_TRUE(DuTool_Save("m", level, nullptr));
  ModelObject* m = du_CreateModel("m");
  ASSERT_NE(m, nullptr);
  ViewLight lights[1] = {Light(0, 1, 0, 0, 8, 100)};
  ViewParams v = Camera({0, 0, 50}, 0, -kMathPi / 2);
  v.lights = lights, v.lightCount = 1;
  ModelDrawParams* p = At(0, 0, 0);
  for (int pass : {1, 3}) {
    v.pass = pass;
    GlRecord_Clear();
    du_Draw(m, p, &v);
    EXPECT_EQ(GlRecord_Calls().size(), 0u) << pass;
  }
  v.pass = 4;
  du_Draw(m, p, &v);  // loads the shader textures and uploads the vertices
  GlRecord_Clear();
  du_Draw(m, p, &v);
  for (const std::string& c : GlRecord_Calls()) {
    bool allowed = c.rfind("glMatrixMode", 0) == 0 || c.rfind("glPushMatrix", 0) == 0 ||
                   c.rfind("glPopMatrix", 0) == 0 || c.rfind("glTranslatef", 0) == 0 ||
                   c.rfind("glRotatef", 0) == 0 || c.rfind("glBindBufferARB", 0) == 0 ||
                   c.rfind("glBufferSubDataARB", 0) == 0 || c.rfind("glDisable(2912", 0) == 0 ||
                   c.rfind("glEnable(2912", 0) == 0 || c.rfind("glBlendFunc", 0) == 0 ||
                   c.rfind("glEnable(3008", 0) == 0 || c.rfind("glDisable(3042", 0) == 0 ||
                   c.rfind("glEnable(3042", 0) == 0 || c.rfind("glDisable(3008", 0) == 0 ||
                   c.rfind("glAlphaFunc", 0) == 0 || c.rfind("glDepthMask", 0) == 0;
    EXPECT_TRUE(allowed) << c;
  }
  EXPECT_EQ(Count("glPushMatrix"), 1);
  EXPECT_EQ(Count("glPopMatrix"), 1);
  EXPECT_EQ(Count("glScalef"), 0);
  p->scale = {2, 2, 2};
  GlRecord_Clear();
  du_Draw(m, p, &v);
  EXPECT_EQ(Count("glScalef"), 1);
  // The passes that draw leave no program, array or stencil state on.
  p->scale = {1, 1, 1};
  for (int pass : {0, 5}) {
    v.pass = pass;
    GlRecord_Clear();
    du_Draw(m, p, &v);
    EXPECT_EQ(Count("glEnableVertexAttribArrayARB"), Count("glDisableVertexAttribArrayARB")) << pass;
    EXPECT_EQ(Count("glDrawElements"), 2) << pass;
  }
  // The large-level ATI branches, with their extensions forced on.
  GlExtFlags.ATI_vertex_array_object = GlExtFlags.ATI_element_array = GlExtFlags.ATI_vertex_attrib_array_object = 1;
  Var_SetText(&render_var_type, "AGP");
  level.models[0][0].vertices.resize(65536, level.models[0][0].vertices[0]);
  EXPECT_TRUE(DuTool_Save("big", level, nullptr));
  ModelObject* big = du_CreateModel("big");
  ASSERT_NE(big, nullptr);
  v.pass = 0;
  GlRecord_Clear();
  du_Draw(big, p, &v);
  EXPECT_EQ(Count("glNewObjectBufferATI"), 0);
  EXPECT_EQ(Count("glUpdateObjectBufferATI"), 4) << "both surfaces' vertices and indices";
  EXPECT_EQ(Count("glVertexAttribArrayObjectATI"), 4) << "attributes 0 and 4 per surface";
  EXPECT_EQ(Count("glDrawElementArrayATI"), 2);
  GlRecord_Clear();
  big->Free(&big);
  EXPECT_EQ(Count("glFreeObjectBufferATI"), 3);
  m->Free(&m);
}

}  // namespace

namespace {

// A unit's cache entry of -1 always binds; the same material twice in a row binds once.
TEST_F(DuLighting, CachedBindsSkipRepeats) {
  ASSERT_TRUE(ImageTool_Save("c.tga", ImageTool_WriteTGA(ImageTool_Solid(4, 4, 9, 9, 9, 255), 24)));
  int m = Material_Load("c");
  ASSERT_NE(m, 0);
  du_ResetBindCache(2);
  GlRecord_Clear();
  du_BindTextureCached(2, m, 0, 0);
  du_BindTextureCached(2, m, 0, 0);
  EXPECT_EQ(Count("glBindTexture(3553"), 1);
  du_ResetBindCache(2);
  du_BindTextureCached(2, m, 0, 1);
  EXPECT_EQ(Count("glBindTexture(3553"), 2);
  EXPECT_EQ(Count("glTexParameteri(3553, 34959, 35128)"), 1) << "expand-normal on the fresh bind";
  du_ResetBindCache(2);
}

}  // namespace
