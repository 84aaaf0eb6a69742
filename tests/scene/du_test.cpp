// DU levels from the project's writer: round trips, totals and log lines, refused and hostile
// files, traces, shader textures, and both formats through the model registry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/mem.h"
#include "foundation/vecmath.h"
#include "platform/gl_dispatch.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "scene/bu.h"
#include "scene/du.h"
#include "scene/model.h"
#include "scene/tritree.h"
#include "support/render_support.h"
#include "tools/bu_writer.h"
#include "tools/du_writer.h"
#include "world/trace.h"

namespace {

const std::string kTextures[6] = {"wall", "wall_s", "", "wall_n", "", ""};

class DuTest : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    Sys_Debug.debugMem = 1;
    blocks_ = Global_LiveBlocks();
  }
  void TearDown() override {
    EXPECT_EQ(Global_LiveBlocks(), blocks_) << "blocks left";
    LoggedTest::TearDown();
  }
  static DuLevel* Load(const DuToolLevel& level, const std::string* hmp = nullptr) {
    EXPECT_TRUE(DuTool_Save("l", level, hmp));
    return du_Load("l");
  }
  static DuLevel* LoadBytes(const std::vector<uint8_t>& bytes) {
    tw_test::WriteBytes("l.du", bytes);
    return du_Load("l");
  }
  int blocks_ = 0;
};

DuToolLevel OneQuad() {
  DuToolLevel level;
  level.models.push_back({DuTool_Quad(-64, -64, 64, 64, 0, 0)});
  level.areaModels = {0};
  return level;
}

TraceRequest Ray(vec3 start, vec3 end) {
  TraceRequest t{};
  t.start = start;
  t.end = end;
  t.fraction = 1.0f;
  t.factor = 1.0f;
  return t;
}

TEST_F(DuTest, RoundTripOfTwoRoomsKeepsEveryFieldAndRebasesTheIndices) {
  DuLevel* level = Load(DuTool_TwoRooms("levels\\lit", kTextures));
  ASSERT_NE(level, nullptr) << Log();
  const DuHeader* h = level->header;
  EXPECT_STREQ(h->textureFolder, "levels\\lit");
  ASSERT_EQ(h->shaderCount, 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(h->shaders[0].data), "room");
  EXPECT_STREQ(h->shaders[0].slots[3].name, "wall_n");
  ASSERT_EQ(h->modelCount, 2);
  const DuSurface& second = h->models[1].surfaces[0];
  EXPECT_EQ(second.vertexCount, 24);
  EXPECT_EQ(second.firstVertex, 24);
  EXPECT_EQ(second.firstIndex, 36);
  EXPECT_EQ((std::vector<uint16_t>(second.indices, second.indices + 6)), (std::vector<uint16_t>{24, 25, 26, 24, 26, 27}));
  EXPECT_EQ(second.bounds[3], 256.0f);
  ASSERT_EQ(h->portalCount, 1);
  const DuPortal& p = h->portals[0];
  EXPECT_EQ(p.pointCount, 4);
  EXPECT_EQ(p.areas[1], 1);
  // (p1 - p0) x (p2 - p0) = (0, 64, 0) x (0, 64, 96): (6144, 0, 0), distance 0.
  EXPECT_EQ((std::vector<float>(p.plane, p.plane + 4)), (std::vector<float>{6144, 0, 0, 0}));
  ASSERT_EQ(h->nodeCount, 1);
  EXPECT_EQ(h->nodes[0].children[0], -2);
  ASSERT_EQ(h->areaCount, 2);
  EXPECT_EQ(h->areas[1].model, 1);
  EXPECT_EQ(level->vertexTotal, 48);
  EXPECT_EQ(level->indexTotal, 72);
  EXPECT_EQ(level->triangleTotal, 24);
  EXPECT_NE(Log().find("du_verts=48, du_indexes=72\n"), std::string::npos);
  du_FreeLevel(level);
}

TEST_F(DuTest, TotalsOfAnEmptyLevelAndOfAnUnevenSurface) {
  DuLevel* empty = Load(DuToolLevel{});
  ASSERT_NE(empty, nullptr);
  EXPECT_NE(Log().find("du_verts=0, du_indexes=0\n"), std::string::npos);
  du_FreeLevel(empty);
  DuToolLevel uneven = OneQuad();
  uneven.models[0][0].indices.push_back(1);  // seven indices: two triangles
  DuLevel* level = Load(uneven);
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(level->triangleTotal, 2);
  EXPECT_EQ(level->indexTotal, 7);
  du_FreeLevel(level);
}

TEST_F(DuTest, MissingTruncatedWrongVersionAndHostileFilesAreRefused) {
  std::vector<size_t> cuts{0, 5};  // and every record boundary
  std::vector<uint8_t> whole = DuTool_Write(DuTool_TwoRooms("", kTextures), &cuts);
  for (size_t cut : cuts)
    if (cut < whole.size()) EXPECT_EQ(LoadBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut))), nullptr) << cut;
  EXPECT_NE(Log().find("runs past the end of l.du.\n"), std::string::npos);
  struct Case {
    const char* line;
    void (*edit)(DuToolLevel&);
    size_t patchOffset;  // patched when there is no edit
    int32_t patchValue;
  };
  EXPECT_EQ(du_Load("absent"), nullptr);
  EXPECT_NE(Log().find("du_Load: not found absent.du.\n"), std::string::npos);
  const Case cases[] = {
      {"wrong version in du_header", nullptr, 4, 2},
      {"wrong version in du_header", nullptr, 0, 2},  // the magic
      {"bad shader count", nullptr, 72, -1},
      {"bad model count", nullptr, 80, int32_t(0x80000000)},
      {"bad portal count", nullptr, 88, -2},
      {"node count runs past", nullptr, 96, 1 << 28},
      {"bad area count", nullptr, 104, -1},
      {"bad surface vertex count", nullptr, 120 + 824 + 148 + 4, -1},
      {"bad surface index", [](DuToolLevel& l) { l.models[0][0].indices[2] = 24; }, 0, 0},
      {"bad portal point count", [](DuToolLevel& l) { l.portals[0].points.resize(6); }, 0, 0},
      {"bad portal area", [](DuToolLevel& l) { l.portals[0].areas[1] = 2; }, 0, 0},
      {"bad area model", [](DuToolLevel& l) { l.areaModels[0] = 2; }, 0, 0},
      {"bad area model", [](DuToolLevel& l) { l.areaModels[0] = -2; }, 0, 0},
      {"bad node child", [](DuToolLevel& l) { l.nodes[0].children[0] = 1; }, 0, 0},
      {"bad node leaf area", [](DuToolLevel& l) { l.nodes[0].children[1] = -3; }, 0, 0},
      {"bad node tree (a node is reached twice)",
       [](DuToolLevel& l) {
         l.nodes[0].children[0] = 1;
         l.nodes.push_back(l.nodes[0]);  // node 1 leads to itself
       },
       0, 0},
  };
  for (const Case& c : cases) {
    DuToolLevel level = DuTool_TwoRooms("", kTextures);
    if (c.edit) c.edit(level);
    std::vector<uint8_t> bytes = DuTool_Write(level);
    if (!c.edit) std::memcpy(&bytes[c.patchOffset], &c.patchValue, 4);
    const int before = tw_test::CountOccurrences(Log(), std::string("du_Load: ") + c.line);
    EXPECT_EQ(LoadBytes(bytes), nullptr) << c.line;
    EXPECT_EQ(tw_test::CountOccurrences(Log(), std::string("du_Load: ") + c.line), before + 1) << c.line;
  }
}

TEST_F(DuTest, HeightmapTextBuildsATreeFromSurfaceRelativeIndices) {
  const std::string hmp = DuTool_HmpText(48, 8);
  DuLevel* level = Load(DuTool_TwoRooms("", kTextures), &hmp);
  ASSERT_NE(level, nullptr);
  ASSERT_NE(level->tree, nullptr);
  EXPECT_EQ(level->tree->triangleCount, 24);
  // The second room's first triangle, from its own first three vertices.
  const DuSurface& s = level->header->models[1].surfaces[0];
  EXPECT_EQ(level->tree->triangles[12].v[1][0], s.vertices[1].position[0]);
  EXPECT_EQ(level->tree->triangles[12].v[2][2], s.vertices[3].position[2]);
  EXPECT_NE(Log().find("hmp[l.hmp] maxboxsize=48.000000, maxtriangles=8\n"), std::string::npos) << Log();
  du_FreeLevel(level);
  const std::string nothing;
  level = Load(OneQuad(), &nothing);
  ASSERT_NE(level, nullptr);
  EXPECT_NE(level->tree, nullptr);
  EXPECT_NE(Log().find("hmp[l.hmp] maxboxsize=0.000000, maxtriangles=0\n"), std::string::npos);
  du_FreeLevel(level);
}

TEST_F(DuTest, TracesHitTheLevelWhereverItsInstanceStands) {
  const std::string hmp = DuTool_HmpText(64, 4);
  DuLevel* level = Load(OneQuad(), &hmp);
  ASSERT_NE(level, nullptr);
  ModelDrawParams params{};
  TraceRequest t = Ray({3, 4, 64}, {3, 4, -64});
  du_TraceLocal(level, &params, &t);
  EXPECT_NEAR(t.fraction, 0.5f, 1e-3);
  EXPECT_FLOAT_EQ(t.normal.z, 1.0f);
  EXPECT_EQ(t.start.z, 64.0f);  // the world segment is put back
  params.position = {0, 0, 32};
  t = Ray({3, 4, 64}, {3, 4, -64});
  du_TraceLocal(level, &params, &t);
  EXPECT_NEAR(t.fraction, 0.25f, 1e-3);
  // Turned: the quad's plane and its normal turn with the instance; a box becomes a cube.
  params.position = {0, 0, 0};
  params.angles = {0.3f, 0.5f, 0.0f};
  mat3 r;
  Mat_FromAngles(&r, &params.angles);
  vec3 up = {r.m[2][0], r.m[2][1], r.m[2][2]};
  vec3 from, to, across = {3, 4, 0};
  Vec_Rotate(&across, &r, &across);
  Vec_Scale(&up, 64, &from);
  Vec_Scale(&up, -64, &to);
  Vec_Add(&from, &across, &from);
  Vec_Add(&to, &across, &to);
  t = Ray(from, to);
  t.mins = {-1, -2, -3};
  t.maxs = {4, 1, 1};
  du_TraceLocal(level, &params, &t);
  EXPECT_NEAR(t.fraction, 0.5f - std::sqrt(29.0f) / 128, 1e-3);
  EXPECT_NEAR(t.normal.x, up.x, 1e-4);
  EXPECT_NEAR(t.normal.y, up.y, 1e-4);
  EXPECT_NEAR(t.normal.z, up.z, 1e-4);
  EXPECT_FLOAT_EQ(t.localMaxs.y, std::sqrt(29.0f));
  du_FreeLevel(level);
  // Without a ".hmp" text nothing is hit.
  std::remove("l.hmp");
  level = Load(OneQuad());
  t = Ray({3, 4, 64}, {3, 4, -64});
  du_TraceLocal(level, &params, &t);
  EXPECT_EQ(t.fraction, 1.0f);
  du_FreeLevel(level);
}

int TextureFrames(const char* name, int) { return Tex_FindByName(name) ? Tex_FindByName(name) : Tex_Create(name, 0x0DE1); }

TEST_F(DuTest, ShaderTexturesReloadAfterTheTextureTableEmpties) {
  RenderApi = RENDER_API_NONE;
  Material_SetFrameLoader(TextureFrames);
  Tex_FreeAll();
  blocks_ = Global_LiveBlocks();  // the texture table keeps a name table of its own
  DuLevel* level = Load(DuTool_TwoRooms("lit\\", kTextures));
  ASSERT_NE(level, nullptr);
  DuTextureSlot* slots = level->header->shaders[0].slots;
  du_LoadShaderTextures(level);
  EXPECT_NE(slots[0].material, 0);
  EXPECT_EQ(slots[0].material, Material_FindByName("lit\\wall"));
  EXPECT_EQ(slots[2].material, 0);
  slots[0].material = -7;
  du_LoadShaderTextures(level);  // same table: nothing reloads
  EXPECT_EQ(slots[0].material, -7);
  Tex_FreeAll();
  du_LoadShaderTextures(level);
  EXPECT_EQ(slots[0].material, Material_FindByName("lit\\wall"));
  // The folder is used as it stands: without a trailing separator it runs into the name.
  std::strcpy(level->header->textureFolder, "lit");
  level->texturesNeeded = 1;
  du_LoadShaderTextures(level);
  EXPECT_EQ(slots[3].material, Material_FindByName("litwall_n"));
  du_FreeLevel(level);
  // BU models put "textures\" in front of the folder.
  const std::string textures[4] = {"skin", "", "", ""};
  ASSERT_TRUE(BuTool_Save("m.bu", BuTool_Bar(2, "lit\\", textures)));
  BuModel* model = bu_Load("m");
  ASSERT_NE(model, nullptr);
  bu_RefreshMaterials(model);
  EXPECT_EQ(model->header->shaders[0].slots[0].material, Material_FindByName("textures\\lit\\skin"));
  EXPECT_NE(model->header->shaders[0].slots[0].material, 0);
  Tex_FreeAll();
  model->header->shaders[0].slots[0].material = -7;
  bu_RefreshMaterials(model);
  EXPECT_EQ(model->header->shaders[0].slots[0].material, Material_FindByName("textures\\lit\\skin"));
  bu_FreeModel(model);
  Tex_FreeAll();
  Material_SetFrameLoader(nullptr);
}

TEST_F(DuTest, BothFormatsLoadThroughTheRegistryWithoutAGlCall) {
  const std::string hmp = DuTool_HmpText(64, 4);
  ASSERT_TRUE(DuTool_Save("level", OneQuad(), &hmp));
  const std::string textures[4] = {"a", "", "", ""};
  ASSERT_TRUE(BuTool_Save("figure.bu", BuTool_Bar(2, "", textures)));
  Render_ResetBlock();
  GlDispatch_InstallRecording();
  for (uint32_t api : {RENDER_API_NONE, RENDER_API_D3D8}) {
    RenderApi = api;
    Model_Init(1);
    ModelObject* du = Model_Get("level");
    ModelObject* bu = Model_Get("figure");
    ASSERT_NE(du, nullptr);
    ASSERT_NE(bu, nullptr);
    EXPECT_EQ(static_cast<BuModel*>(bu->data)->owner, bu);
    ModelDrawParams params{};
    TraceRequest t = Ray({3, 4, 10}, {3, 4, -10});
    du->Trace(du, &params, &t);
    bu->Trace(bu, &params, &t);
    EXPECT_NEAR(t.fraction, 0.5f, 1e-2);
    du->Draw(du, &params, nullptr);
    bu->Draw(bu, &params, nullptr);
    EXPECT_EQ(Model_Get("missing"), nullptr);
    Model_FreeAll();
    EXPECT_TRUE(GlRecord_Calls().empty()) << GlRecord_Calls()[0];
  }
  EXPECT_NE(Log().find("bu_Load: not found missing.bu.\n"), std::string::npos);
  Model_Reset();
  Render_ResetBlock();
  // A handle without a level releases only itself.
  auto* bare = static_cast<ModelObject*>(Global_MallocZero(sizeof(ModelObject), "DUS"));
  du_Free(&bare);
  EXPECT_EQ(bare, nullptr);
}

}  // namespace
