// ".mp" models: writer round trip, refused files, the draw kernels, the registry's order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "foundation/mem.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/mp.h"
#include "support/render_support.h"
#include "tools/model_writer.h"

namespace {

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

struct BadCase {
  const char* fault;
  std::function<void(MpToolModel&)> spoil;
};

TEST_F(MpFiles, HostileFilesAreRefusedWithTheirFault) {
  const BadCase cases[] = {
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
  for (const BadCase& c : cases) {
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

TEST(MpKernels, BlendSuffixes) {
  const struct {
    const char* name;
    int fallback, mode;
  } cases[] = {{"glass_ALPHA", 0, 5}, {"fire_add", 0, 1}, {"lava_MUL2", 0, 4}, {"x_mul", 0, 2}, {"sky", 0, 0},
               {"_ADD", 0, 0},        {"a_MUL2", 0, 4},   {"", 1, 1},          {"spot", 1, 1}, {"_ALPHA", 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(Model_BlendFromName(c.name, c.fallback), c.mode) << c.name;
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

TEST(MpKernels, MorphAddsWeightedShapes) {
  MpMorphVertex v{};
  v.shapeCount = 3;
  v.shapes[0].pos = {1, 1, 1};
  v.shapes[1].pos = {0, 0, 2};
  v.shapes[2].pos = {4, 0, 0};
  float weights[16] = {1, 0.5f, 0.25f};
  float out[8];
  Model_MorphVertices(&v, 1, weights, nullptr, 0, reinterpret_cast<uint8_t*>(out));
  EXPECT_FLOAT_EQ(out[0], 2.0f);
  EXPECT_FLOAT_EQ(out[1], 1.0f);
  EXPECT_FLOAT_EQ(out[2], 2.0f);
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
