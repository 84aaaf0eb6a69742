// ".mp" models and ".may" levels: writer round trips, derived values, refused files, the draw
// kernels, queries, traces and the registry's order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "foundation/mem.h"
#include "foundation/random.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/mp.h"
#include "scene/tritree.h"
#include "support/render_support.h"
#include "tools/model_writer.h"
#include "world/trace.h"

namespace {

class MayFiles : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    tw_test::WriteFile("scripts/surfaces/list", "[id] [concrete] [sound_step] [a]\n[id] [brick]\n[id] [glass_alpha]\n");
    Model_LoadSurfaceList();
  }
};

TEST_F(MayFiles, RoundTripAndDerivedValues) {
  tw_test::WriteBytes("street.may", MayTool_Write(MayTool_SampleLevel()));
  MaylLevel* l = mayb_Load("street");
  ASSERT_NE(l, nullptr);
  EXPECT_STREQ(l->folder, "street\\");
  EXPECT_EQ(l->tree, nullptr);  // no ".hmp"
  ASSERT_EQ(l->shaderCount, 3);
  EXPECT_EQ(l->shaders[1].blend, 5);
  EXPECT_EQ(l->shaders[2].layerCount, 2);
  EXPECT_FLOAT_EQ(l->shaders[2].slots[1].opacity, 0.5f);
  // Surface numbers: list position of the id (0 = first id or none).
  EXPECT_EQ(l->shaders[0].surfaceType, 0);
  EXPECT_EQ(l->shaders[2].surfaceType, 1);
  EXPECT_EQ(l->shaders[1].surfaceType, 2);
  EXPECT_EQ(l->spotBlend, 1);
  EXPECT_STREQ(l->objects[0].name, "ground");
  EXPECT_STREQ(l->objects[1].name, "wall");
  EXPECT_STREQ(l->objects[2].name, "1234");
  EXPECT_STREQ(l->objects[3].name, "door");
  EXPECT_NE(Log().find("door_12->door"), std::string::npos);
  EXPECT_EQ(l->triangleCount, 2 + 12 * 3);
  EXPECT_FLOAT_EQ(l->bounds[0], -100.0f);
  EXPECT_FLOAT_EQ(l->bounds[5], 40.0f);
  EXPECT_FLOAT_EQ(l->objects[1].bounds[1], 50.0f);
  // Key bounds: the door box moved by each key.
  EXPECT_FLOAT_EQ(l->keys[2].bounds[0], 20.0f);
  EXPECT_FLOAT_EQ(l->keys[2].bounds[3], 24.0f);
  EXPECT_FLOAT_EQ(l->keys[0].bounds[5], 30.0f);
  mayb_FreeLevel(l);
  // A shader name that fills its 56 bytes loads as a standard shader, with one error line.
  MayToolLevel full = MayTool_SampleLevel();
  full.shaders[2].name = std::string(56, 'n');
  auto bytes = MayTool_Write(full);
  l = mayb_LoadBytes(bytes.data(), bytes.size(), "full", 0);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->shaders[2].layerCount, 0);
  EXPECT_EQ(std::strlen(l->shaders[2].name), 56u);
  EXPECT_NE(Log().find("!!!!!!!!!!!!!!!!!!!!!!! error [" + full.shaders[2].name + "]"), std::string::npos);
  mayb_FreeLevel(l);
}

TEST_F(MayFiles, QueryAnswersTrimmedNamesOnly) {
  auto bytes = MayTool_Write(MayTool_SampleLevel());
  MaylLevel* l = mayb_LoadBytes(bytes.data(), bytes.size(), "q", 0);
  ASSERT_NE(l, nullptr);
  ModelObject model{mayb_Query, mayb_Draw, mayb_Trace, mayb_Free, l};
  ModelDrawParams params{};
  params.position = {1000, 0, 0};
  struct {
    int32_t kind;
    char name[20];
  } rq;
  struct {
    int32_t found;
    float box[6];
  } answer;
  const struct {
    int kind;
    const char* name;
    int found;
  } cases[] = {{1, "door", 1}, {1, "door_12", -1}, {2, "door", -1}, {1, "", -1}, {1, "Door", -1}};
  for (const auto& c : cases) {
    rq.kind = c.kind;
    std::strcpy(rq.name, c.name);
    answer.found = -1;
    mayb_Query(&model, &params, &rq, &answer);
    EXPECT_EQ(answer.found, c.found) << c.name;
  }
  rq.kind = 1;
  std::strcpy(rq.name, "door");
  mayb_Query(&model, &params, &rq, &answer);
  EXPECT_FLOAT_EQ(answer.box[0], 1000.0f);
  EXPECT_FLOAT_EQ(answer.box[5], 30.0f);
  mayb_FreeLevel(l);
}

struct BadCase {
  const char* fault;
  std::function<void(MayToolLevel&)> spoil;
};

TEST_F(MayFiles, HostileFilesAreRefusedWithTheirFault) {
  const BadCase cases[] = {
      {"wrong id", [](MayToolLevel& l) { l.version = 10; }},
      {"shader count beyond the file", [](MayToolLevel& l) { l.shaderCount = -2; }},
      {"surface count beyond the file", [](MayToolLevel& l) { l.surfaceCount = 1 << 30; }},
      {"set count beyond the file", [](MayToolLevel& l) { l.setCount = 1000; }},
      {"header name not ended", [](MayToolLevel& l) { l.folder = std::string(32, 'f'); }},
      {"texture slot name not ended", [](MayToolLevel& l) { l.shaders[0].slots[3].name = std::string(40, 't'); }},
      {"layer count outside 0..7", [](MayToolLevel& l) { l.shaders[2].layerCount = 8; }},
      {"layer count outside 0..7", [](MayToolLevel& l) { l.shaders[2].layerCount = -1; }},
      {"shader set range outside the sets", [](MayToolLevel& l) { l.shaders[0].setCount = 9; }},
      {"object name not ended", [](MayToolLevel& l) { l.objects[2].name = std::string(256, 'o'); }},
      {"object key range outside the keys", [](MayToolLevel& l) { l.objects[3].firstKey = 1; }},
      {"moving set of an object without keys", [](MayToolLevel& l) { l.sets[0].moving = 1; }},
      {"set shader out of range", [](MayToolLevel& l) { l.sets[1].shader = 3; }},
      {"set object out of range", [](MayToolLevel& l) { l.sets[1].object = -1; }},
      {"set surface out of range", [](MayToolLevel& l) { l.sets[1].surface = 1; }},
      {"set index range outside its surface", [](MayToolLevel& l) { l.sets[1].indexCount = 999; }},
      {"set index count not a multiple of 3", [](MayToolLevel& l) { l.sets[1].indexCount = 4; }},
      {"set bounds not finite", [](MayToolLevel& l) { l.sets[2].bounds[4] = NAN; }},
      {"index beyond its surface's vertex count", [](MayToolLevel& l) { l.surfaces[0].indices[7] = 60000; }},
      {"vertex not finite", [](MayToolLevel& l) { l.surfaces[0].vertices[3].pos[2] = INFINITY; }},
      {"key not finite", [](MayToolLevel& l) { l.keys[1].rot[4] = NAN; }},
      {"spotlight key range outside the keys", [](MayToolLevel& l) {
         l.spotTexture = "spot";
         l.spotKeyCount = 0;
       }},
      {"spotlight key range outside the keys", [](MayToolLevel& l) {
         l.spotFirstKey = 2;
         l.spotKeyCount = 2;
       }},
  };
  for (const BadCase& c : cases) {
    MayToolLevel level = MayTool_SampleLevel();
    c.spoil(level);
    auto bytes = MayTool_Write(level);
    MaylLevel* l = mayb_LoadBytes(bytes.data(), bytes.size(), "bad", 0);
    EXPECT_EQ(l, nullptr) << c.fault;
    EXPECT_NE(Log().find(c.fault), std::string::npos) << c.fault;
    mayb_FreeLevel(l);
  }
  // Every truncation, without leaks.
  Sys_Debug.debugMem = 1;
  int blocks = Global_LiveBlocks();
  auto bytes = MayTool_Write(MayTool_SampleLevel());
  for (size_t n = 0; n < bytes.size(); n += 13) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
    EXPECT_EQ(mayb_LoadBytes(cut.data(), cut.size(), "cut", 0), nullptr) << n;
  }
  EXPECT_EQ(Global_LiveBlocks(), blocks);
}

TEST(MayKernels, KeyBlendingAndObjectNameTrimming) {
  MaylKey keys[3] = {};
  for (int i = 0; i < 3; i++) keys[i].t[0] = float(10 * i);
  MaylKey out;
  const struct {
    int count;
    float start, end;
    double time;
    float x;
  } cases[] = {
      {3, 0, 2, 1.5, 15},  {3, 0, 2, 2.0, 0},      {3, 0, 2, 0.5, 5},  {1, 0, 2, 1.5, 0},
      {0, 0, 2, 1.5, 0},   {3, 2, 2, 1.0, 0},      {3, 2, 1, 1.5, 0},  {3, 0, 2, NAN, 0},
      {3, 0, 2, 1e30, 0},  {3, 0, 2, -0.5, 15},
  };
  for (const auto& c : cases) {
    Model_BlendKeys(keys, c.count, c.start, c.end, c.time, &out);
    EXPECT_FLOAT_EQ(out.t[0], c.x) << c.count << " " << c.time;
  }
  // Object names lose a trailing "_" and digits.
  const char* names[][2] = {{"door_12", "door"}, {"wall_", "wall"}, {"wall_07", "wall"}, {"wall7", "wall7"},
                            {"1234", "1234"},   {"_12", ""},    {"", ""},            {"a_b_3", "a_b"}};
  for (auto& c : names) {
    char name[32];
    std::strcpy(name, c[0]);
    Model_TrimObjectName(name);
    EXPECT_STREQ(name, c[1]) << c[0];
  }
}

// Random boxes: traces through the tree and the set walk alike (the tree against every triangle is
// the tree's own test).
class MayTraces : public tw_test::LoggedTest {};

TraceRequest Ray(vec3 s, vec3 e, float box) {
  TraceRequest rq{};
  rq.start = s;
  rq.end = e;
  rq.mins = {-box, -box, -box};
  rq.maxs = {box, box, box};
  rq.fraction = 1.0f;
  rq.factor = 1.0f;
  return rq;
}

TEST_F(MayTraces, TreeAndSetWalkAgree) {
  MayToolLevel level;
  level.shaders.resize(2);
  level.shaders[0].name = "concrete";
  level.shaders[1].name = "brick";
  level.objects = {{"a"}, {"b"}};
  uint32_t seed = 7;
  auto rnd = [&seed](float lo, float hi) {
    seed = seed * 1664525u + 1013904223u;
    return lo + (hi - lo) * float(seed >> 8) / float(1 << 24);
  };
  for (int i = 0; i < 60; i++) {
    vec3 a{rnd(-500, 500), rnd(-500, 500), rnd(0, 100)};
    vec3 b{a.x + rnd(5, 80), a.y + rnd(5, 80), a.z + rnd(5, 80)};
    MayTool_Box(level, i % 2, i % 2, a, b);
  }
  MayTool_GroupSets(level);
  tw_test::WriteBytes("boxes.may", MayTool_Write(level));
  tw_test::WriteFile("boxes.hmp", MayTool_HmpText(64, 8));
  MaylLevel* withTree = mayb_Load("boxes");
  ASSERT_NE(withTree, nullptr);
  ASSERT_NE(withTree->tree, nullptr);
  auto bytes = MayTool_Write(level);
  MaylLevel* walk = mayb_LoadBytes(bytes.data(), bytes.size(), "boxes", 0);
  ASSERT_NE(walk, nullptr);
  ModelObject mt{mayb_Query, mayb_Draw, mayb_Trace, mayb_Free, withTree};
  ModelObject mw{mayb_Query, mayb_Draw, mayb_Trace, mayb_Free, walk};
  ModelDrawParams params{};
  int hits = 0;
  for (int i = 0; i < 400; i++) {
    vec3 s{rnd(-600, 600), rnd(-600, 600), rnd(-50, 250)};
    vec3 e{rnd(-600, 600), rnd(-600, 600), rnd(-50, 250)};
    float box = i % 2 ? 0.0f : rnd(1, 16);
    TraceRequest a = Ray(s, e, box), b = Ray(s, e, box);
    mayb_Trace(&mt, &params, &a);
    mayb_Trace(&mw, &params, &b);
    ASSERT_EQ(a.fraction, b.fraction) << i;
    EXPECT_EQ(a.part, b.part) << i;
    EXPECT_EQ(a.normal.x, b.normal.x) << i;
    EXPECT_EQ(a.normal.z, b.normal.z) << i;
    EXPECT_EQ(a.start.x, s.x);  // restored
    if (a.fraction < 1.0f) hits++;
  }
  EXPECT_GT(hits, 40);
  mayb_FreeLevel(withTree);
  mayb_FreeLevel(walk);
}

TEST_F(MayTraces, TurnedLevelUsesTheEnclosingCubeAndAnEmptyOneMissesEverything) {
  auto bytes = MayTool_Write(MayTool_SampleLevel());
  MaylLevel* l = mayb_LoadBytes(bytes.data(), bytes.size(), "turn", 0);
  ASSERT_NE(l, nullptr);
  ModelObject model{mayb_Query, mayb_Draw, mayb_Trace, mayb_Free, l};
  ModelDrawParams params{};
  TraceRequest rq = Ray({0, 0, 100}, {0, 0, -100}, 0);
  rq.mins = {-1, -2, 0};
  rq.maxs = {1, 2, 2};
  mayb_Trace(&model, &params, &rq);
  EXPECT_EQ(rq.rotated, 0);
  EXPECT_EQ(rq.localMins.y, -2.0f);
  EXPECT_LT(rq.fraction, 1.0f);
  params.angles = {0.5f, 0, 0};
  TraceRequest turned = Ray({0, 0, 100}, {0, 0, -100}, 0);
  turned.mins = rq.mins;
  turned.maxs = rq.maxs;
  mayb_Trace(&model, &params, &turned);
  EXPECT_EQ(turned.rotated, 1);
  EXPECT_FLOAT_EQ(turned.localMaxs.x, 3.0f);  // sqrt(1 + 4 + 4)
  EXPECT_FLOAT_EQ(turned.localMins.z, -3.0f);
  mayb_FreeLevel(l);
  // An empty level loads with inverted bounds and misses everything.
  bytes = MayTool_Write(MayToolLevel{});
  model.data = l = mayb_LoadBytes(bytes.data(), bytes.size(), "empty", 0);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->bounds[0], 1e8f);
  EXPECT_EQ(l->bounds[3], -1e8f);
  rq = Ray({0, 0, 100}, {0, 0, -100}, 0);
  mayb_Trace(&model, &params, &rq);
  EXPECT_EQ(rq.fraction, 1.0f);
  mayb_FreeLevel(l);
}

// ---- Models ---------------------------------------------------------------------------------------

class MpFiles : public tw_test::LoggedTest {};

TEST_F(MpFiles, RoundTripKeepsEveryField) {
  auto bytes = MpTool_Write(MpTool_SampleModel());
  tw_test::WriteBytes("sample.mp", bytes);
  MpModel* m = mp_Load("sample");
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->name, "sample");
  ASSERT_EQ(m->shaderCount, 3);
  EXPECT_EQ(m->shaders[0].blend, 0);
  EXPECT_EQ(m->shaders[1].blend, 1);
  EXPECT_EQ(m->shaders[2].blend, 5);
  EXPECT_EQ(m->shaders[2].twoSided, 1);
  EXPECT_STREQ(m->shaders[0].slots[2].name, "env\\sky");
  ASSERT_EQ(m->frameCount, 2);
  EXPECT_EQ(m->frames[1].boneIndex, -2);
  EXPECT_FLOAT_EQ(m->frames[1].relPos.z, 10.0f);
  ASSERT_EQ(m->objectCount, 3);
  const MpObject& strip = m->objects[1];
  EXPECT_EQ(strip.shader, -1);
  ASSERT_EQ(strip.vertexCount, 3);
  EXPECT_EQ(strip.vertices[2].influenceCount, 3);
  EXPECT_FLOAT_EQ(strip.vertices[2].influences[1].weight, 0.3f);
  EXPECT_EQ(strip.vertices[0].influences[1].frame, 0);
  EXPECT_EQ(strip.vertices[0].influences[1].weight, 0.0f);
  EXPECT_EQ(strip.stripCount, 3);
  EXPECT_EQ(strip.pies[0].kind, 2);
  const MpObject& morph = m->objects[2];
  ASSERT_NE(morph.morphVertices, nullptr);
  EXPECT_EQ(morph.morphVertices[0].shapeCount, 3);
  EXPECT_FLOAT_EQ(morph.morphVertices[0].shapes[2].pos.z, 2.0f);
  EXPECT_EQ(morph.morphVertices[0].shapes[3].pos.z, 0.0f);
  EXPECT_EQ(morph.pies[0].morphs, 1);
  EXPECT_EQ(m->morphWeights[0], 1.0f);
  mp_FreeModel(m);
  // A shape count of 1 leaves garbage in shapes 1..15 of the file; the loader clears them.
  MpToolModel model = MpTool_SampleModel();
  for (auto& v : model.objects[2].vertices) v.shapeCount = 1;
  tw_test::WriteBytes("cleared.mp", MpTool_Write(model));
  m = mp_Load("cleared");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->objects[2].morphVertices[1].shapes[1].pos.z, 0.0f);
  mp_FreeModel(m);
}

struct MpBadCase {
  const char* fault;
  std::function<void(MpToolModel&)> spoil;
};

TEST_F(MpFiles, HostileFilesAreRefusedWithTheirFault) {
  const MpBadCase cases[] = {
      {"wrong id", [](MpToolModel& m) { m.version = 4; }},
      {"shader count beyond the file", [](MpToolModel& m) { m.shaderCount = 0x7FFFFFFF; }},
      {"frame count beyond the file", [](MpToolModel& m) { m.frameCount = -7; }},
      {"object count beyond the file", [](MpToolModel& m) { m.objectCount = 1 << 28; }},
      {"model name not ended", [](MpToolModel& m) { m.name = std::string(64, 'x'); }},
      {"shader name not ended", [](MpToolModel& m) { m.shaders[0].name = std::string(56, 's'); }},
      {"frame bone name not ended", [](MpToolModel& m) { m.frames[0].bone = std::string(64, 'b'); }},
      {"frame transform not finite", [](MpToolModel& m) { m.frames[1].pos.x = NAN; }},
      {"influence count outside 0..8", [](MpToolModel& m) { m.objects[1].vertices[0].influenceCount = -2; }},
      {"influence count outside 0..8", [](MpToolModel& m) { m.objects[1].vertices[0].influenceCount = 9; }},
      {"influence frame out of range", [](MpToolModel& m) { m.objects[1].vertices[1].influences[1].frame = 2; }},
      {"shape count outside 1..16", [](MpToolModel& m) { m.objects[2].vertices[0].shapeCount = 0; }},
      {"shape count outside 1..16", [](MpToolModel& m) { m.objects[2].vertices[0].shapeCount = 17; }},
      {"vertex not finite", [](MpToolModel& m) { m.objects[0].vertices[3].pos.y = INFINITY; }},
      {"pie kind outside 1..3", [](MpToolModel& m) { m.objects[0].pies[0].kind = 4; }},
      {"pie frame out of range", [](MpToolModel& m) { m.objects[0].pies[0].frame = 2; }},
      {"pie range outside its object", [](MpToolModel& m) { m.objects[0].pies[0].vertexCount = 25; }},
      {"pie range outside its object", [](MpToolModel& m) { m.objects[0].pies[0].firstIndex = -3; }},
      {"pie range outside its object", [](MpToolModel& m) { m.objects[1].pies[0].stripCount = 4; }},
      {"pie index count not a multiple of 3", [](MpToolModel& m) {
         m.objects[0].pies[0].indexCount = 35;
       }},
      {"index beyond the vertex count", [](MpToolModel& m) { m.objects[0].indices[5] = 24; }},
      {"index beyond the vertex count", [](MpToolModel& m) { m.objects[1].strips[2] = 3; }},
      {"vertex count beyond the file", [](MpToolModel& m) { m.objects[2].vertexCount = 1 << 24; }},
  };
  for (const MpBadCase& c : cases) {
    MpToolModel model = MpTool_SampleModel();
    c.spoil(model);
    auto bytes = MpTool_Write(model);
    MpModel* m = mp_LoadBytes(bytes.data(), bytes.size(), "bad.mp");
    EXPECT_EQ(m, nullptr) << c.fault;
    EXPECT_NE(Log().find(c.fault), std::string::npos) << c.fault;
    mp_FreeModel(m);
  }
  // Every truncation, without leaks.
  Sys_Debug.debugMem = 1;
  int blocks = Global_LiveBlocks();
  auto bytes = MpTool_Write(MpTool_SampleModel());
  for (size_t n = 0; n < bytes.size(); n += 7) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
    EXPECT_EQ(mp_LoadBytes(cut.data(), cut.size(), "cut.mp"), nullptr) << n;
  }
  EXPECT_EQ(Global_LiveBlocks(), blocks);
}

TEST(MpKernels, BlendSuffixesAndMorphAddsWeightedShapes) {
  const struct {
    const char* name;
    int fallback, mode;
  } cases[] = {{"glass_ALPHA", 0, 5}, {"fire_add", 0, 1}, {"lava_MUL2", 0, 4}, {"x_mul", 0, 2}, {"sky", 0, 0},
               {"_ADD", 0, 0},        {"a_MUL2", 0, 4},   {"", 1, 1},          {"spot", 1, 1}, {"_ALPHA", 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(Model_BlendFromName(c.name, c.fallback), c.mode) << c.name;
  // A morph adds the weighted shapes.
  MpMorphVertex v{};
  v.shapeCount = 3;
  v.shapes[0].pos = {1, 1, 1};
  v.shapes[1].pos = {0, 0, 2};
  v.shapes[2].pos = {4, 0, 0};
  float weights[16] = {1, 0.5f, 0.25f};
  float out[8];
  Model_MorphVertices(&v, 1, weights, nullptr, 0, reinterpret_cast<uint8_t*>(out));
  EXPECT_EQ(std::vector<float>(out, out + 3), std::vector<float>({2, 1, 2}));
}

TEST(MpKernels, SkinningFollowsTheFramesAsRowVectors) {
  MpFrame frames[2] = {};
  vec3 yaw{kMathPi / 2, 0, 0};
  Mat_FromAngles(&frames[0].rot, &yaw);
  frames[0].pos = {10, 0, 0};
  Mat_Identity(&frames[1].rot);
  frames[1].pos = {0, 0, 4};
  MpWeightedVertex v{};
  v.pos = {0, 1, 0};
  v.normal = {0, 1, 0};
  v.influenceCount = 2;
  v.influences[0] = {0, 0.5f};
  v.influences[1] = {1, 0.5f};
  v.u = 0.25f;
  float out[8];
  Model_SkinVertices(&v, 1, frames, reinterpret_cast<uint8_t*>(out));
  vec3 rotated;
  Vec_Rotate(&v.pos, &frames[0].rot, &rotated);
  EXPECT_NEAR(out[0], 0.5f * (rotated.x + 10) + 0.5f * 0, 1e-5f);
  EXPECT_NEAR(out[1], 0.5f * rotated.y + 0.5f * 1, 1e-5f);
  EXPECT_NEAR(out[2], 0.5f * 4, 1e-5f);
  EXPECT_NEAR(out[3], 0.5f * rotated.x, 1e-5f);
  EXPECT_EQ(out[6], 0.25f);
}

TEST_F(MpFiles, RegistryPrefersTheModelOverTheLevel) {
  tw_test::WriteBytes("both.mp", MpTool_Write(MpTool_SampleModel()));
  MayToolLevel level;
  tw_test::WriteBytes("both.may", MayTool_Write(level));
  Model_Reset();
  Model_AddLoader(mp_CreateModel);
  Model_AddLoader(mayb_CreateModel);
  ModelObject* m = Model_Get("both");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Draw, mp_Draw);
  EXPECT_EQ(m->Trace, Model_NoTrace);
  std::remove("both.mp");
  Model_FreeAll();
  m = Model_Get("both");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Trace, mayb_Trace);
  EXPECT_NE(Log().find("mp_Load: not found both.mp."), std::string::npos);
  Model_Reset();
}

}  // namespace
