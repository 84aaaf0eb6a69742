// Rigid-body physics: the wrapper over the rigid-body world of platform/ and the body table the
// world reads. The level's triangles become one static mesh; objects get box bodies that fall,
// tumble, take impulses and rest on it. The library works in game units / 16 (see README.md).
#pragma once
#include <cstdint>
#include <vector>

#include "foundation/vecmath.h"

struct GameObject;
struct ModelObject;

constexpr uint32_t PHYS_FLESH = 0x100;

// Library units per game unit. The table's half extents are in library units, so that 16 x a
// half extent is the body's half size in game units.
constexpr float kPhysicsScale = 1.0f / 16.0f;
// The fixed sub-step of the world, seconds.
constexpr double kPhysicsSubStep = 0.01;

// One body of the wrapper's table.
struct PhysicsBodyRecord {
  vec3 position;      // the box centre, game units
  float rotation[9];  // 3 x 3, rows: the box's own axes in the world
  vec3 halfExtents;   // library units
  uint32_t flags;
  GameObject* owner;  // the object it moves, or null
  int32_t used;
};
// An object's handle on its body.
struct PhysicsBody {
  int32_t index;  // row of Physics_Bodies
};
// What a moving object met, handed to its Contact operation: the object touched (null for the
// level) and its body's row (-1 none), the point of contact, the touched surface's normal there
// (facing the mover), how far along its move the mover got, and the mover's velocity as it met it.
struct PhysicsContact {
  GameObject* other;
  int32_t body;
  vec3 point;
  vec3 normal;
  float fraction;
  vec3 velocity;  // game units per second
};
constexpr int kPhysicsBodies = 1024;
extern PhysicsBodyRecord Physics_Bodies[kPhysicsBodies];
// Highest used row + 1.
extern int32_t Physics_BodyCount;

// The level's triangles (nine floats each, game units) taken by Physics_InitLevel.
extern std::vector<float> Physics_LevelTriangles;
// Fixed sub-steps run since start.
extern uint32_t Physics_StepCount;

// Advances the world by the step (seconds) in fixed sub-steps of 0.01 s, carrying what is left
// over to the next call; nothing for a step of 0 or less. Then refreshes the table.
void Physics_Frame(double step);
// 500 steps of 0.01 s, so that bodies come to rest after a load.
void Physics_Settle();
// 1 when the model is a level traced by its triangle tree ("may" and "du" levels).
int Physics_IsLevelModel(const ModelObject* model);
// Makes the level's triangles the world's static mesh. 0 for any other model or a level without
// triangles; a refused model leaves the loaded level as it was.
int Physics_InitLevel(ModelObject* level);
// Every body and the level leave the world; objects' handles are cleared.
void Physics_FreeLevel();
// Settings: 0 when "game_physics" is 0 (no level mesh and no bodies are made).
int Physics_Enabled();
// A box body for the object, centred on its origin, of `halfExtents` in library units (16 game
// units each when null). Returns its row, or -1.
int Physics_AddBody(GameObject* obj, const vec3* halfExtents, uint32_t flags);
// A box body for the object from a box of six floats (lowest then highest corner, game units,
// relative to the origin in the object's own axes). Returns its row, or -1 with a log line for an
// empty, inside-out, huge or not finite box, or a full table.
int Physics_AddBoxBody(GameObject* obj, const float box[6], uint32_t flags);
// An impulse (game units x mass per second) at a world point on a body of the table; with
// `byMass` the impulse is multiplied by the body's mass (a change of velocity). The body wakes.
void Physics_PushObjectBody(int body, const float impulse[3], const float point[3], int byMass);
// Copies the body's pose into its object: origin and angles.
void Physics_SyncObject(GameObject* obj);
// Moves the object's body to where the object now stands, moving at `velocity` (game units per
// second); for what the world itself pushes (doors).
void Physics_PlaceObjectBody(GameObject* obj, const vec3* velocity);
// Releases an object's body and clears its field.
void Physics_FreeRagdoll(GameObject* obj);
// Makes the world anew from the objects as they stand: the mesh, then every object's body in
// list order, at rest. A load and the start of a recording both run it, so they step alike.
void Physics_RebuildWorld();
// The box that holds the object's body as it is turned now: lowest then highest corner, world
// axes, relative to the object's origin. 0 (box untouched) when the object has no body.
int Physics_ObjectBounds(const GameObject* obj, float box[6]);
// 1 when the body of the row rests (sleeps).
int Physics_BodyAsleep(int body);
float Physics_BodyMass(int body);
// The row of the object's body, or -1 when it has none.
int Physics_ObjectBody(const GameObject* obj);
