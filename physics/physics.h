// Rigid-body physics, at its least: a body table that keeps bodies where they are put, the
// level's triangles copied for the bodies to rest on, and the entries the world calls.
#pragma once
#include <cstdint>
#include <vector>

#include "foundation/vecmath.h"

struct GameObject;
struct ModelObject;

constexpr uint32_t PHYS_FLESH = 0x100;

// One body of the wrapper's table.
struct PhysicsBodyRecord {
  vec3 position;
  float rotation[9];  // 3 x 3, rows
  vec3 halfExtents;
  uint32_t flags;
  GameObject* owner;  // the object it moves, or null
  int32_t used;
};
// An object's handle on its body.
struct PhysicsBody {
  int32_t index;  // row of Physics_Bodies
};
constexpr int kPhysicsBodies = 1024;
extern PhysicsBodyRecord Physics_Bodies[kPhysicsBodies];
extern int32_t Physics_BodyCount;

// The level's triangles (nine floats each) taken by Physics_InitLevel.
extern std::vector<float> Physics_LevelTriangles;
// Steps run since start (every Physics_Frame with a step above 0).
extern uint32_t Physics_StepCount;

// Advances the physics world by one step (seconds); nothing for a step of 0 or less.
void Physics_Frame(double step);
// 500 steps of 0.01 s, so that bodies come to rest after a load.
void Physics_Settle();
// Takes the level's triangles when the level is traced by its triangle tree ("may" and "du"
// levels). 0 for any other model or a level without a tree.
int Physics_InitLevel(ModelObject* level);
void Physics_FreeLevel();
// A body for the object (0 when the table is full): returns its index.
int Physics_AddBody(GameObject* obj, const vec3* halfExtents, uint32_t flags);
// An impulse at a world point on a body of the table; by mass or as a change of velocity. Bodies
// stay at rest until rigid bodies arrive, so only the body index is checked.
void Physics_PushObjectBody(int body, const float impulse[3], const float point[3], int byMass);
// Copies the body's pose into its object.
void Physics_SyncObject(GameObject* obj);
// Releases a character's ragdoll body and clears its field.
void Physics_FreeRagdoll(GameObject* obj);
