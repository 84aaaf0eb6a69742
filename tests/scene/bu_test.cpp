// BU models from the project's writer: round trips, the blend endings, refused and hostile files,
// and the shadow-volume mesh (golden cases, and the hashed build against the exhaustive scans).
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/mem.h"
#include "scene/bu.h"
#include "support/render_support.h"
#include "tools/bu_writer.h"

static bool operator==(const BuEdge& a, const BuEdge& b) {
  return a.triangle == b.triangle && a.neighbour == b.neighbour;
}

namespace {

const std::string kTextures[4] = {"skin", "skin_s", "", "skin_n"};

class BuTest : public tw_test::LoggedTest {
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
  static BuModel* Load(const std::vector<uint8_t>& bytes) {
    tw_test::WriteBytes("m.bu", bytes);
    return bu_Load("m");
  }
  int blocks_ = 0;
};

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
  BuToolModel bar = BuTool_Bar(2.0f, "lit\\", kTextures);
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
  EXPECT_EQ(h->bones[1].bindPosition[2], 1.0f);
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
  // Six welded points; the middle two belong to both bones, weighted {w p, w} in bone space.
  EXPECT_EQ(h->volumeVertexCount, 6);
  EXPECT_EQ(std::vector<int32_t>(h->volumeRefs, h->volumeRefs + h->volumeRefCount),
            (std::vector<int32_t>{0, -1, 0, -1, 0, 1, -1, 0, 1, -1, 1, -1, 1, -1, -1}));
  const float* w = h->volumeWeights + 4 * 5;  // middle left, to the tip
  EXPECT_EQ((std::vector<float>{w[0], w[1], w[2], w[3]}), (std::vector<float>{-0.25f, 0, 0, 0.5f}));
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

TEST_F(BuTest, MissingTruncatedWrongVersionAndHostileFilesAreRefused) {
  std::vector<size_t> cuts{0, 7};  // and every record boundary
  std::vector<uint8_t> whole = BuTool_Write(BuTool_Bar(2, "", kTextures), BuTool_WeldVolume(BuTool_Bar(2, "", kTextures)), &cuts);
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
    BuToolModel model = BuTool_Bar(2, "", kTextures);
    BuToolVolume volume = BuTool_WeldVolume(model);
    if (c.edit) c.edit(model, volume);
    std::vector<uint8_t> bytes = BuTool_Write(model, volume);
    if (c.patchOffset) std::memcpy(&bytes[c.patchOffset], &c.patchValue, 4);
    EXPECT_EQ(Load(bytes), nullptr) << c.line;
    EXPECT_NE(Log().find(std::string("bu_Load: ") + c.line), std::string::npos) << c.line;
  }
}

TEST_F(BuTest, MoreThan32768VerticesAreRefused) {
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
    BuToolModel model = BuTool_Bar(2, "", kTextures);
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
