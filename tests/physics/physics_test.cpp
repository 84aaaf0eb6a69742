// The physics entries at their least: steps, settling, the level's triangles, bodies of objects.
#include <gtest/gtest.h>

#include "physics/physics.h"
#include "scene/du.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/tritree.h"
#include "world/object.h"

namespace {

TEST(PhysicsTest, OnlyTreeTracedLevelsGiveTheirTriangles) {
  TriTreeTriangle tris[2] = {};
  tris[1].v[2][1] = 7.0f;
  TriTree tree{};
  tree.triangles = tris;
  tree.triangleCount = 2;
  MaylLevel may{};
  may.tree = &tree;
  DuLevel du{};
  du.tree = &tree;
  struct Case {
    ModelTraceFn trace;
    void* data;
    int accepted;
  };
  MaylLevel noTree{};
  const Case cases[] = {{mayb_Trace, &may, 1}, {du_Trace, &du, 1}, {Model_NoTrace, &may, 0}, {mayb_Trace, &noTree, 0}};
  for (const Case& c : cases) {
    ModelObject model{Model_NoQuery, Model_NoDraw, c.trace, Model_NoFree, c.data};
    EXPECT_EQ(Physics_InitLevel(&model), c.accepted);
    EXPECT_EQ(Physics_LevelTriangles.size(), c.accepted ? 18u : 0u);
    if (c.accepted) EXPECT_EQ(Physics_LevelTriangles[9 + 7], 7.0f);
  }
  EXPECT_EQ(Physics_InitLevel(nullptr), 0);
}

TEST(PhysicsTest, BodiesKeepTheirObjectInPlaceAndStepsRunOnlyForAPositiveStep) {
  GameObject* o = Obj_Alloc();
  o->origin = vec3{1, 2, 3};
  vec3 half{4, 4, 4};
  int body = Physics_AddBody(o, &half, PHYS_FLESH);
  ASSERT_GE(body, 0);
  EXPECT_EQ(Physics_AddBody(o, &half, 0), -1);  // one body an object
  const float impulse[3] = {100, 0, 0}, point[3] = {0, 0, 0};
  Physics_PushObjectBody(body, impulse, point, 1);
  Physics_PushObjectBody(kPhysicsBodies + 5, impulse, point, 1);  // out of the table: nothing
  Physics_Settle();
  o->origin = vec3{9, 9, 9};
  Physics_SyncObject(o);
  EXPECT_EQ(o->origin.x, 1.0f);
  Physics_FreeRagdoll(o);
  EXPECT_EQ(o->physicsBody, nullptr);
  EXPECT_EQ(Physics_Bodies[body].used, 0);
  Physics_FreeRagdoll(o);  // a second release finds nothing
  Physics_AddBody(o, nullptr, 0);
  Physics_FreeLevel();
  EXPECT_EQ(o->physicsBody, nullptr);
  Obj_ClearAll();
  // Steps run only for a positive step; settling runs five hundred.
  uint32_t before = Physics_StepCount;
  for (double step : {0.0, -0.5}) Physics_Frame(step);
  EXPECT_EQ(Physics_StepCount, before);
  Physics_Settle();
  EXPECT_EQ(Physics_StepCount, before + 500);
}

}  // namespace
