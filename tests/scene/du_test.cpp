// DU levels and BU models from the project's writers: round trips, totals and log lines, refused
// and hostile files, traces, shader textures, both formats through the model registry, and the BU
// shadow-volume mesh (golden cases, and the hashed build against the exhaustive scans).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
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

static bool operator==(const BuEdge& a, const BuEdge& b) {
  return a.triangle == b.triangle && a.neighbour == b.neighbour;
}

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

TEST_F(DuTest, RoundTripsKeepEveryFieldAndTotal) {
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
  // The totals of an empty level and of an uneven surface.
  DuLevel* empty = Load(DuToolLevel{});
  ASSERT_NE(empty, nullptr);
  EXPECT_NE(Log().find("du_verts=0, du_indexes=0\n"), std::string::npos);
  du_FreeLevel(empty);
  DuToolLevel uneven = OneQuad();
  uneven.models[0][0].indices.push_back(1);  // seven indices: two triangles
  level = Load(uneven);
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
  // Over the 256 MiB of every whole-file read (a sparse file: no disk taken).
  tw_test::WriteFile("huge.du", "x");
  std::filesystem::resize_file("huge.du", (256u << 20) + 1);
  EXPECT_EQ(du_Load("huge"), nullptr);
  EXPECT_NE(Log().find("du_Load: huge.du is too large (268435457 bytes)\n"), std::string::npos);
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

class BuTest : public DuTest {
 protected:
  static BuModel* Load(const std::vector<uint8_t>& bytes) {
    tw_test::WriteBytes("m.bu", bytes);
    return bu_Load("m");
  }
};

const std::string kBuTextures[4] = {"skin", "skin_s", "", "skin_n"};

using Triangle = std::array<int, 3>;

// Objects of triangles over numbered points; every object holds a vertex for each point, so the
// welded volume vertex of a corner is its point number.
BuToolModel Mesh(const std::vector<std::vector<Triangle>>& objects) {
  int points = 0;
  for (const auto& obj : objects)
    for (const Triangle& t : obj)
      for (int p : t) points = std::max(points, p + 1);
  BuToolModel m;
  m.shaders.push_back({"mesh", {}});
  for (const auto& tris : objects) {
    BuToolObject obj;
    for (int p = 0; p < points; ++p) {
      BuToolVertex v;
      v.position[0] = float(p);
      v.position[1] = float(p * p);
      obj.vertices.push_back(v);
    }
    for (const Triangle& t : tris)
      for (int p : t) obj.indices.push_back(uint16_t(p));
    m.objects.push_back(obj);
  }
  return m;
}

std::vector<BuEdge> Edges(const BuVolume* v) { return std::vector<BuEdge>(v->edges, v->edges + v->edgeCount); }

TEST_F(BuTest, RoundTripOfTheBarKeepsEveryFieldAndLinksTheObjects) {
  BuToolModel bar = BuTool_Bar(2.0f, "lit\\", kBuTextures);
  bar.shaders[0].name = "figure_Mul2";
  BuModel* m = Load(BuTool_Write(bar));
  ASSERT_NE(m, nullptr) << Log();
  const BuHeader* h = m->header;
  EXPECT_STREQ(h->textureFolder, "lit\\");
  ASSERT_EQ(h->shaderCount, 1);
  EXPECT_STREQ(h->shaders[0].name, "figure_Mul2");
  EXPECT_EQ(h->shaders[0].blend, 4);
  EXPECT_STREQ(h->shaders[0].slots[kBuSlotNormalMap].name, "skin_n");
  ASSERT_EQ(h->boneCount, 2);
  EXPECT_STREQ(h->bones[1].name, "tip");
  EXPECT_EQ(h->bones[1].skelBone, -2);
  EXPECT_EQ(h->bones[1].bindPosition[2], -1.0f);  // into the bone's space
  ASSERT_EQ(h->objectCount, 2);
  const BuObject& lower = h->objects[0];
  const BuObject& upper = h->objects[1];
  EXPECT_EQ(lower.blendVertices, 0);
  EXPECT_NE(upper.blendVertices, 0);
  EXPECT_EQ(upper.boneCount, 2);
  EXPECT_EQ(upper.bones[1], 1);
  EXPECT_EQ((std::vector<int>{lower.firstVertex, upper.firstVertex, lower.firstTriangle, upper.firstTriangle,
                              lower.firstStrip, upper.firstStrip}),
            (std::vector<int>{0, 4, 0, 2, 0, 4}));
  EXPECT_EQ(std::vector<uint16_t>(lower.strips, lower.strips + lower.stripCount), (std::vector<uint16_t>{0, 1, 2, 3}));
  EXPECT_EQ(std::vector<uint16_t>(upper.indices, upper.indices + upper.indexCount),
            (std::vector<uint16_t>{4, 5, 6, 6, 5, 7}));
  const BuVertex& top = upper.vertices[3];
  EXPECT_EQ(top.position[2], 2.0f);
  EXPECT_EQ(top.influences[1].slot, 1);
  EXPECT_EQ(top.influences[1].weight, 1.0f);
  // Six welded points; the middle two belong to both bones, weighted {w p, w} of the bind-pose point.
  EXPECT_EQ(h->volumeVertexCount, 6);
  EXPECT_EQ(std::vector<int32_t>(h->volumeRefs, h->volumeRefs + h->volumeRefCount),
            (std::vector<int32_t>{0, -1, 0, -1, 0, 1, -1, 0, 1, -1, 1, -1, 1, -1, -1}));
  const float* w = h->volumeWeights + 4 * 5;  // middle left, to the tip
  EXPECT_EQ((std::vector<float>{w[0], w[1], w[2], w[3]}), (std::vector<float>{-0.25f, 0, 0.5f, 0.5f}));
  EXPECT_EQ(h->volumeRefBones[5], &h->bones[1]);
  EXPECT_EQ(h->volumeRefBones[6], nullptr);
  EXPECT_EQ(std::vector<uint32_t>(h->volumeIndices, h->volumeIndices + 12),
            (std::vector<uint32_t>{0, 1, 2, 2, 1, 3, 2, 3, 4, 4, 3, 5}));
  // The middle edge is kept once, by the lower object.
  ASSERT_NE(h->volume, nullptr);
  EXPECT_EQ(h->volume->edgeCount, 9);
  EXPECT_EQ(lower.quadCount, 5);
  EXPECT_EQ(upper.quadCount, 4);
  EXPECT_EQ(upper.firstEdge, 5);
  bu_FreeModel(m);
}

TEST_F(BuTest, BlendKindComesFromTheNameEnding) {
  const std::pair<const char*, int> cases[] = {{"skin", 0},   {"_ADD", 0},    {"glow_ADD", 1}, {"x_Mul", 2}, {"X_mul2", 4},
                                                {"_MUL2", 0},  {"A_ALPHA", 5}, {"b_alphA", 5},  {"", 0},      {"a_MUL2x", 0}};
  for (const auto& [name, kind] : cases) EXPECT_EQ(bu_ShaderBlendFromName(name), kind) << name;
  EXPECT_EQ(bu_ShaderBlendFromName(nullptr), 0);
}

TEST_F(BuTest, MissingTruncatedWrongVersionHostileAndOverlargeFilesAreRefused) {
  std::vector<size_t> cuts{0, 7};  // and every record boundary
  std::vector<uint8_t> whole = BuTool_Write(BuTool_Bar(2, "", kBuTextures), BuTool_WeldVolume(BuTool_Bar(2, "", kBuTextures)), &cuts);
  for (size_t cut : cuts)
    if (cut < whole.size()) EXPECT_EQ(Load(std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut))), nullptr) << cut;
  EXPECT_NE(Log().find("runs past the end of m.bu.\n"), std::string::npos);
  struct Case {
    const char* line;
    void (*edit)(BuToolModel&, BuToolVolume&);
    size_t patchOffset;  // 0: none
    int32_t patchValue;
  };
  EXPECT_EQ(bu_Load("absent"), nullptr);
  EXPECT_NE(Log().find("bu_Load: not found absent.bu.\n"), std::string::npos);
  tw_test::WriteFile("huge.bu", "x");
  std::filesystem::resize_file("huge.bu", (256u << 20) + 1);
  EXPECT_EQ(bu_Load("huge"), nullptr);
  EXPECT_NE(Log().find("bu_Load: huge.bu is too large (268435457 bytes)\n"), std::string::npos);
  const Case cases[] = {
      {"wrong version in d_header", nullptr, 4, 7},
      {"bad shader count", nullptr, 72, -1},
      {"bad bone count", nullptr, 80, -3},
      {"bad object count", nullptr, 88, int32_t(0x80000000)},
      {"bad volume weight count", nullptr, 100, -1},
      {"bad volume index count", nullptr, 116, -4},
      {"volume vertex count runs past", nullptr, 124, 1000000},
      {"bad object bone count", [](BuToolModel& m, BuToolVolume&) { m.objects[0].bones.assign(21, 0); }, 0, 0},
      {"bad object bone list", [](BuToolModel& m, BuToolVolume&) { m.objects[0].bones[1] = 2; }, 0, 0},
      {"bad vertex influence slot",
       [](BuToolModel& m, BuToolVolume&) { m.objects[1].vertices[0].influences[2] = {2, 0.5f}; }, 0, 0},
      {"bad vertex influence slot",
       [](BuToolModel& m, BuToolVolume&) { m.objects[0].vertices[1].influences[3] = {-1, 0}; }, 0, 0},
      {"bad object index", [](BuToolModel& m, BuToolVolume&) { m.objects[1].indices[4] = 4; }, 0, 0},
      {"bad object strip index", [](BuToolModel& m, BuToolVolume&) { m.objects[0].strips[3] = 60000; }, 0, 0},
      {"bad volume bone reference", [](BuToolModel&, BuToolVolume& v) { v.refs[0] = 2; }, 0, 0},
      {"bad volume bone reference", [](BuToolModel&, BuToolVolume& v) { v.refs[0] = -2; }, 0, 0},
      {"bad volume index", [](BuToolModel&, BuToolVolume& v) { v.indices[5] = 6; }, 0, 0},
  };
  for (const Case& c : cases) {
    BuToolModel model = BuTool_Bar(2, "", kBuTextures);
    BuToolVolume volume = BuTool_WeldVolume(model);
    if (c.edit) c.edit(model, volume);
    std::vector<uint8_t> bytes = BuTool_Write(model, volume);
    if (c.patchOffset) std::memcpy(&bytes[c.patchOffset], &c.patchValue, 4);
    EXPECT_EQ(Load(bytes), nullptr) << c.line;
    EXPECT_NE(Log().find(std::string("bu_Load: ") + c.line), std::string::npos) << c.line;
  }
  // More than 32768 vertices are refused.
  BuToolModel big;
  big.objects.resize(2);
  big.objects[0].vertices.resize(32768);
  big.objects[1].vertices.resize(1);
  EXPECT_EQ(Load(BuTool_Write(big, BuToolVolume{})), nullptr);
  EXPECT_NE(Log().find("bu_Load: bad vertex total (more than 32768) in m.bu.\n"), std::string::npos);
  big.objects.pop_back();
  BuModel* m = Load(BuTool_Write(big, BuToolVolume{}));
  EXPECT_NE(m, nullptr);
  bu_FreeModel(m);
}

TEST_F(BuTest, VolumeMeshThatDoesNotMatchIsDropped) {
  const std::pair<const char*, void (*)(BuToolVolume&)> cases[] = {
      {"index count is not three per triangle", [](BuToolVolume& v) { v.indices.resize(9); }},
      {"weight count differs from the bone reference count", [](BuToolVolume& v) { v.weights.resize(8); }},
      {"bone references end before the vertices",
       [](BuToolVolume& v) {
         v.refs.assign(3, -1);
         v.weights.assign(12, 0);
       }},
  };
  for (const auto& [line, edit] : cases) {
    BuToolModel model = BuTool_Bar(2, "", kBuTextures);
    BuToolVolume volume = BuTool_WeldVolume(model);
    edit(volume);
    BuModel* m = Load(BuTool_Write(model, volume));
    ASSERT_NE(m, nullptr) << line;
    EXPECT_EQ(m->header->volume, nullptr);
    EXPECT_EQ(m->header->volumeIndexCount, 0);
    EXPECT_NE(Log().find(std::string("bu_Load: volume mesh of m.bu dropped (") + line + "); no shadows.\n"),
              std::string::npos);
    bu_FreeModel(m);
  }
}

TEST_F(BuTest, ShadowVolumeGoldenCases) {
  struct Case {
    const char* name;
    std::vector<std::vector<Triangle>> objects;
    std::vector<BuEdge> edges;
    std::vector<int> quadCounts;
  };
  const Case cases[] = {
      {"no objects", {}, {}, {}},
      {"single triangle", {{{0, 1, 2}}}, {{0, -1}, {0, -1}, {0, -1}}, {3}},
      {"shared edge", {{{0, 1, 2}, {2, 1, 3}}}, {{0, -1}, {0, 1}, {0, -1}, {1, -1}, {1, -1}}, {5}},
      {"shared across objects", {{{0, 1, 2}}, {{2, 1, 3}}}, {{0, -1}, {0, 1}, {0, -1}, {1, -1}, {1, -1}}, {3, 2}},
      {"same winding", {{{0, 1, 2}, {1, 2, 3}}}, {{0, -1}, {0, -1}, {0, -1}, {1, -1}, {1, -1}, {1, -1}}, {6}},
  };
  for (const Case& c : cases) {
    BuModel* m = Load(BuTool_Write(Mesh(c.objects)));
    ASSERT_NE(m, nullptr) << c.name;
    ASSERT_NE(m->header->volume, nullptr);
    EXPECT_EQ(Edges(m->header->volume), c.edges) << c.name;
    EXPECT_EQ(m->header->volume->triangleCount == 0, c.edges.empty()) << c.name;
    for (size_t o = 0; o < c.quadCounts.size(); ++o) EXPECT_EQ(m->header->objects[o].quadCount, c.quadCounts[o]) << c.name;
    bu_FreeModel(m);
  }
  // The single triangle's whole list: caps, then a quad per edge.
  BuModel* m = Load(BuTool_Write(Mesh({{{0, 1, 2}}})));
  ASSERT_NE(m, nullptr);
  const uint16_t* v = m->header->volume->indices;
  EXPECT_EQ(std::vector<uint16_t>(v, v + 24), (std::vector<uint16_t>{0, 2, 4, 5, 3, 1, 2, 0, 1, 3, 2, 1,
                                                                     4, 2, 3, 5, 4, 3, 0, 4, 5, 1, 0, 5}));
  bu_FreeModel(m);
}

// A closed cube: eight welded corners, twelve triangles, eighteen edges each shared by two of
// them, so no triangle has an open side.
TEST_F(BuTest, ClosedCubeKeepsEighteenEdgesAndNoOpenOne) {
  BuModel* m = Load(BuTool_Write(BuTool_Cube(1, "", kBuTextures)));
  ASSERT_NE(m, nullptr);
  const BuVolume* v = m->header->volume;
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(m->header->volumeVertexCount, 8);
  ASSERT_EQ(v->triangleCount, 12);
  EXPECT_EQ(v->edgeCount, 18);
  for (const BuEdge& e : Edges(v)) EXPECT_GE(e.neighbour, 0) << e.triangle;
  for (int t = 0; t < 12; ++t)
    for (int e = 0; e < 3; ++e) EXPECT_GE(v->neighbours[4 * t + e], 0) << t << " " << e;
  bu_FreeModel(m);
}

TEST_F(BuTest, HashedBuildMatchesTheExhaustiveScans) {
  std::mt19937 random(26);
  for (int round = 0; round < 30; ++round) {
    std::vector<std::vector<Triangle>> objects(1 + random() % 3);
    int points = 3 + int(random() % 10);
    for (auto& obj : objects) {
      obj.resize(random() % 40);
      for (Triangle& t : obj)
        for (int& p : t) p = int(random() % unsigned(points));
    }
    BuModel* m = Load(BuTool_Write(Mesh(objects)));
    ASSERT_NE(m, nullptr);
    BuHeader* h = m->header;
    ASSERT_NE(h->volume, nullptr);
    const int32_t tris = h->volume->triangleCount;
    std::vector<int32_t> neighbours(h->volume->neighbours, h->volume->neighbours + 4 * tris);
    std::vector<uint16_t> indices(h->volume->indices, h->volume->indices + 24 * tris);
    std::vector<BuEdge> edges = Edges(h->volume);
    std::vector<int> quads;
    for (int o = 0; o < h->objectCount; ++o) quads.insert(quads.end(), {h->objects[o].quadCount, h->objects[o].firstEdge});
    bu_BuildShadowVolumeQuadratic(m);
    EXPECT_EQ(std::vector<int32_t>(h->volume->neighbours, h->volume->neighbours + 4 * tris), neighbours) << round;
    EXPECT_EQ(std::vector<uint16_t>(h->volume->indices, h->volume->indices + 24 * tris), indices) << round;
    EXPECT_EQ(Edges(h->volume), edges) << round;
    for (int o = 0; o < h->objectCount; ++o) {
      EXPECT_EQ(h->objects[o].quadCount, quads[2 * size_t(o)]);
      EXPECT_EQ(h->objects[o].firstEdge, quads[2 * size_t(o) + 1]);
    }
    bu_FreeModel(m);
  }
}

}  // namespace
