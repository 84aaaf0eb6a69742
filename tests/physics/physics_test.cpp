// The physics wrapper: the level mesh, bodies that fall, rest, take impulses and follow into their
// objects, the fixed sub-steps, releases, rebuilding and refusals of bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "foundation/log.h"
#include "physics/physics.h"
#include "scene/du.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/tritree.h"
#include "support/test_support.h"
#include "world/object.h"

namespace {

// A square floor at z = 0 of two triangles, optionally with a wall along x = wallX.
struct Floor {
  std::vector<TriTreeTriangle> tris;
  TriTree tree{};
  MaylLevel may{};
  ModelObject model{};
  explicit Floor(float half = 1024, float z = 0) {
    Add({-half, -half, z}, {half, -half, z}, {half, half, z});
    Add({-half, -half, z}, {half, half, z}, {-half, half, z});
    Bind();
  }
  void Add(vec3 a, vec3 b, vec3 c) {
    TriTreeTriangle t{};
    for (int k = 0; k < 3; k++) {
      t.v[0][k] = (&a.x)[k];
      t.v[1][k] = (&b.x)[k];
      t.v[2][k] = (&c.x)[k];
    }
    tris.push_back(t);
  }
  void Bind() {
    tree.triangles = tris.data();
    tree.triangleCount = int32_t(tris.size());
    may.tree = &tree;
    model = ModelObject{Model_NoQuery, Model_NoDraw, mayb_Trace, Model_NoFree, &may};
  }
};

class PhysicsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log_Open();
    Obj_ClearAll();
    Physics_FreeLevel();
  }
  void TearDown() override {
    Obj_ClearAll();
    Physics_FreeLevel();
    Log_Close();
  }
  static std::string Log() { return tw_test::ReadFile("log"); }
  // A crate of 32 units standing on its origin.
  static GameObject* Crate(vec3 at, float yaw = 0) {
    GameObject* o = Obj_Alloc();
    o->classNum = WORLD;
    Load_ObjectX(o);
    o->flags |= OBJ_ACTIVE;
    o->origin = at;
    o->angles = vec3{yaw, 0, 0};
    return o;
  }
  static constexpr float kCrateBox[6] = {-16, -16, 0, 16, 16, 32};
  tw_test::TempDir dir_;
};

TEST_F(PhysicsTest, OnlyTreeTracedLevelsGiveTheirTriangles) {
  TriTreeTriangle tris[2] = {};
  tris[1].v[2][1] = 7.0f;
  TriTree tree{};
  tree.triangles = tris;
  tree.triangleCount = 2;
  MaylLevel may{};
  may.tree = &tree;
  DuLevel du{};
  du.tree = &tree;
  for (auto [trace, data] : {std::pair<ModelTraceFn, void*>{mayb_Trace, &may}, {du_Trace, &du}}) {
    ModelObject model{Model_NoQuery, Model_NoDraw, trace, Model_NoFree, data};
    EXPECT_EQ(Physics_InitLevel(&model), 1);
    ASSERT_EQ(Physics_LevelTriangles.size(), 18u);
    EXPECT_EQ(Physics_LevelTriangles[9 + 7], 7.0f);
  }
  // Refusals (another model, a level without a tree or without triangles, none) keep the level.
  MaylLevel noTree{};
  TriTree empty{};
  MaylLevel noTriangles{};
  noTriangles.tree = &empty;
  ModelObject other{Model_NoQuery, Model_NoDraw, Model_NoTrace, Model_NoFree, &may};
  ModelObject treeless{Model_NoQuery, Model_NoDraw, mayb_Trace, Model_NoFree, &noTree};
  ModelObject bare{Model_NoQuery, Model_NoDraw, mayb_Trace, Model_NoFree, &noTriangles};
  for (ModelObject* m : {&other, &treeless, &bare, static_cast<ModelObject*>(nullptr)}) {
    EXPECT_EQ(Physics_InitLevel(m), 0);
    EXPECT_EQ(Physics_LevelTriangles.size(), 18u);
  }
  std::string log = Log();
  EXPECT_NE(log.find("Physics_InitLevel: the model is not a traced level"), std::string::npos);
  EXPECT_NE(log.find("Physics_InitLevel: the level has no triangles"), std::string::npos);
}

TEST_F(PhysicsTest, ADroppedBoxRestsOnTheMeshAndAnOffCentreImpulseMovesAndTurnsIt) {
  Floor floor;
  ASSERT_EQ(Physics_InitLevel(&floor.model), 1);
  GameObject* o = Crate(vec3{300, -200, 60}, 0.3f);
  int body = Physics_AddBoxBody(o, kCrateBox, 0);
  ASSERT_GE(body, 0);
  EXPECT_EQ(Physics_BodyCount, body + 1);
  // The table holds the box centre, its turn and its half size in library units (x 16 = 16 units).
  EXPECT_NEAR(Physics_Bodies[body].position.z, 76, 1e-3);
  EXPECT_FLOAT_EQ(Physics_Bodies[body].halfExtents.x * 16, 16);
  EXPECT_NEAR(Physics_Bodies[body].rotation[3], std::sin(0.3f), 1e-5);  // the forward row

  Physics_Settle();
  EXPECT_EQ(Physics_BodyAsleep(body), 1);
  Physics_SyncObject(o);
  EXPECT_NEAR(o->origin.z, 0, 0.5) << "the bottom rests on the floor";
  EXPECT_NEAR(o->origin.x, 300, 2);
  EXPECT_NEAR(o->angles.x, 0.3f, 0.1);
  EXPECT_NEAR(o->angles.y, 0, 0.01);
  EXPECT_NEAR(o->angles.z, 0, 0.01);
  const float yaw = o->angles.x;

  // A push along +x at a point 12 units to the box's side: it slides along x and turns about z.
  const PhysicsBodyRecord& r = Physics_Bodies[body];
  const float push[3] = {150, 0, 0};
  const float at[3] = {r.position.x, r.position.y + 12, r.position.z};
  Physics_PushObjectBody(body, push, at, 1);
  EXPECT_EQ(Physics_BodyAsleep(body), 0);
  // Pushed on its +y side toward +x it turns clockwise seen from above: yaw grows.
  for (int i = 0; i < 5; i++) Physics_Frame(0.01);
  Physics_SyncObject(o);
  EXPECT_GT(o->angles.x, yaw + 0.1f);
  EXPECT_GT(o->origin.x, 302);
  for (int i = 0; i < 100; i++) Physics_Frame(0.02);
  Physics_SyncObject(o);
  EXPECT_GT(o->origin.x, 305);
  EXPECT_NEAR(o->origin.z, 0, 0.5);
  // The object takes the row's centre less the turned offset of its box, and the row's turn.
  mat3 m;
  Mat_FromAngles(&m, &o->angles);
  for (int k = 0; k < 9; k++) EXPECT_NEAR(m.m[k / 3][k % 3], r.rotation[k], 1e-4);
  EXPECT_NEAR(o->origin.x + 16 * m.m[2][0], r.position.x, 1e-3);
  EXPECT_NEAR(o->origin.z + 16 * m.m[2][2], r.position.z, 1e-3);

  // Without the by-mass flag the same impulse is shared by the body's mass.
  GameObject* b = Crate(vec3{-300, 0, 300});  // in the air: nothing holds it
  int second = Physics_AddBoxBody(b, kCrateBox, 0);
  Physics_PushObjectBody(second, push, &Physics_Bodies[second].position.x, 0);
  Physics_Frame(0.01);
  float slow = Physics_Bodies[second].position.x + 300;
  const float expected = 0.01f * 150 / Physics_BodyMass(second);
  EXPECT_GT(slow, 0.9f * expected);
  EXPECT_LT(slow, 1.1f * expected);
}

TEST_F(PhysicsTest, StepsAreFixedHundredthsAndDroppedOrDeletedBodiesLeaveTheTable) {
  Floor floor;
  ASSERT_EQ(Physics_InitLevel(&floor.model), 1);
  uint32_t before = Physics_StepCount;
  for (double step : {0.0, -0.5, std::numeric_limits<double>::quiet_NaN()}) Physics_Frame(step);
  EXPECT_EQ(Physics_StepCount, before);
  Physics_Frame(0.025);
  Physics_Frame(0.025);
  EXPECT_EQ(Physics_StepCount, before + 5);
  Physics_Frame(double(0.01f));  // a demo's step read back as a float
  EXPECT_EQ(Physics_StepCount, before + 6);
  Physics_Settle();
  EXPECT_EQ(Physics_StepCount, before + 506);

  // Deleting an object frees its row; a dropped body's row is free for the next.
  GameObject* a = Crate(vec3{0, 0, 100});
  GameObject* b = Crate(vec3{100, 0, 100});
  int rowA = Physics_AddBoxBody(a, kCrateBox, 0);
  int rowB = Physics_AddBoxBody(b, kCrateBox, PHYS_FLESH);
  EXPECT_EQ(Physics_AddBoxBody(a, kCrateBox, 0), -1) << "one body an object";
  EXPECT_EQ(Physics_Bodies[rowB].flags, PHYS_FLESH);
  Obj_RequestDelete(b);
  Obj_FlushDeleted();
  EXPECT_EQ(Physics_Bodies[rowB].used, 0);
  EXPECT_EQ(Physics_BodyCount, rowA + 1);
  Physics_FreeRagdoll(a);
  EXPECT_EQ(a->physicsBody, nullptr);
  EXPECT_EQ(Physics_BodyCount, 0);
  Physics_FreeRagdoll(a);  // a second release finds nothing
  // An impulse for a row out of the table or not in use does nothing.
  const float j[3] = {1, 0, 0}, p[3] = {0, 0, 0};
  Physics_PushObjectBody(kPhysicsBodies + 5, j, p, 1);
  Physics_PushObjectBody(rowA, j, p, 1);
  // The level release clears every handle and the mesh.
  ASSERT_GE(Physics_AddBoxBody(a, kCrateBox, 0), 0);
  Physics_FreeLevel();
  EXPECT_EQ(a->physicsBody, nullptr);
  EXPECT_TRUE(Physics_LevelTriangles.empty());
}

TEST_F(PhysicsTest, BadBoxesAndAFullTableGiveNoBodyAndOneLineEach) {
  Floor floor;
  ASSERT_EQ(Physics_InitLevel(&floor.model), 1);
  GameObject* o = Crate(vec3{0, 0, 0});
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const float bad[][6] = {{0, 0, 0, 0, 0, 0},          {-16, -16, 0, 16, 16, 0},  {16, -16, 0, -16, 16, 32},
                          {-1e6f, -16, 0, 1e6f, 16, 32}, {nan, -16, 0, 16, 16, 32}, {-16, -16, 0, 16, inf, 32}};
  for (const auto& box : bad) EXPECT_EQ(Physics_AddBoxBody(o, box, 0), -1);
  EXPECT_EQ(o->physicsBody, nullptr);
  std::string log = Log();
  auto count = [&](const char* what) {
    int n = 0;
    for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) n++;
    return n;
  };
  EXPECT_EQ(count("empty or inside-out box"), 3);
  EXPECT_EQ(count("larger than"), 1);
  EXPECT_EQ(count("not finite"), 2);
  for (float x : {nan, 3e7f}) {
    o->origin.x = x;
    EXPECT_EQ(Physics_AddBoxBody(o, kCrateBox, 0), -1);
  }
  o->origin.x = 0;
  const float thin[6] = {-16, -16, 0, 16, 16, 0.25f};
  EXPECT_EQ(Physics_AddBoxBody(o, thin, 0), -1);
  log = Log();
  EXPECT_EQ(count("stands at no finite place inside the world"), 2);
  EXPECT_EQ(count("empty or inside-out box"), 4);
  // A non-finite impulse is refused.
  int row = Physics_AddBoxBody(o, kCrateBox, 0);
  ASSERT_GE(row, 0);
  const float j[3] = {nan, 0, 0};
  Physics_PushObjectBody(row, j, &Physics_Bodies[row].position.x, 0);
  Physics_Frame(0.05);
  EXPECT_TRUE(std::isfinite(Physics_Bodies[row].position.x));
  EXPECT_NE(Log().find("Physics_PushObjectBody: an impulse or point that is not finite"), std::string::npos);

  // More bodies than the table holds: the rest get none, with one line each.
  std::vector<GameObject*> many;
  for (int i = 0; i < kPhysicsBodies + 2; i++) {
    GameObject* c = Crate(vec3{float(i % 40) * 40 - 800, float(i / 40) * 40 - 800, 0});
    many.push_back(c);
    int r = Physics_AddBoxBody(c, kCrateBox, 0);
    if (i < kPhysicsBodies - 1) EXPECT_GE(r, 0);
    else EXPECT_EQ(r, -1);
  }
  log = Log();
  EXPECT_EQ(count("all 1024 bodies are taken"), 3);
  Physics_Frame(0.01);
}

TEST_F(PhysicsTest, ALevelOfBrokenTrianglesIsRefusedAndALaterModelKeepsTheLevel) {
  Floor floor;
  Floor broken;
  for (TriTreeTriangle& t : broken.tris) t.v[1][2] = std::numeric_limits<float>::infinity();
  broken.Bind();
  EXPECT_EQ(Physics_InitLevel(&broken.model), 0);
  EXPECT_NE(Log().find("no triangle of the level has finite corners"), std::string::npos);
  EXPECT_TRUE(Physics_LevelTriangles.empty());
  // The real level, then a model that is no level: bodies still rest on the first.
  ASSERT_EQ(Physics_InitLevel(&floor.model), 1);
  ModelObject other{Model_NoQuery, Model_NoDraw, Model_NoTrace, Model_NoFree, &floor.may};
  EXPECT_EQ(Physics_InitLevel(&other), 0);
  GameObject* o = Crate(vec3{0, 0, 64});
  int row = Physics_AddBoxBody(o, kCrateBox, 0);
  Physics_Settle();
  EXPECT_NEAR(Physics_Bodies[row].position.z, 16, 0.5);
}

// Two worlds made anew from the same objects step to the same bytes; the rebuild puts bodies
// where their objects stand, at rest, in list order.
TEST_F(PhysicsTest, RebuildingFromTheObjectsReplaysTheSameBodiesByteForByte) {
  Floor floor;
  ASSERT_EQ(Physics_InitLevel(&floor.model), 1);
  GameObject* low = Crate(vec3{0, 0, 0});
  GameObject* high = Crate(vec3{6, 3, 32}, 0.4f);
  GameObject* side = Crate(vec3{60, 0, 90}, 1.0f);
  for (GameObject* o : {side, high, low}) ASSERT_GE(Physics_AddBoxBody(o, kCrateBox, 0), 0);
  const float push[3] = {40, 10, 0};
  Physics_PushObjectBody(0, push, &Physics_Bodies[0].position.x, 1);
  for (int i = 0; i < 30; i++) Physics_Frame(0.017);
  for (GameObject* o : {low, high, side}) Physics_SyncObject(o);

  auto run = [&]() {
    std::vector<uint8_t> bytes;
    Physics_RebuildWorld();
    EXPECT_EQ(Physics_Bodies[0].owner, low);
    EXPECT_EQ(Physics_Bodies[2].owner, side);
    const float shove[3] = {0, 60, 0};
    const float at[3] = {Physics_Bodies[1].position.x + 8, Physics_Bodies[1].position.y,
                         Physics_Bodies[1].position.z + 10};
    Physics_PushObjectBody(1, shove, at, 1);
    for (int i = 0; i < 200; i++) {
      Physics_Frame(i % 3 ? 0.016 : 0.033);
      const uint8_t* p = reinterpret_cast<const uint8_t*>(Physics_Bodies);
      for (int b = 0; b < 3; b++) {
        const PhysicsBodyRecord& r = Physics_Bodies[b];
        bytes.insert(bytes.end(), p + sizeof r * b, p + sizeof r * b + offsetof(PhysicsBodyRecord, owner));
      }
    }
    return bytes;
  };
  // The objects stay where they were synced (the runs move only bodies), as a saved game holds them.
  std::vector<uint8_t> first = run();
  std::vector<uint8_t> second = run();
  ASSERT_EQ(first.size(), second.size());
  EXPECT_EQ(std::memcmp(first.data(), second.data(), first.size()), 0);
}

}  // namespace
