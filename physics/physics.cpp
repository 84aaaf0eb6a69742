#include "physics/physics.h"

#include "foundation/log.h"
#include "scene/du.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/tritree.h"
#include "world/object.h"

PhysicsBodyRecord Physics_Bodies[kPhysicsBodies];
int32_t Physics_BodyCount;
std::vector<float> Physics_LevelTriangles;
uint32_t Physics_StepCount;

// The handles objects hold, one per row of the table.
static PhysicsBody g_handles[kPhysicsBodies];

// The row of an object's body; -1 when the field holds no handle of this table.
static int RowOf(const GameObject* obj) {
  const PhysicsBody* h = obj ? obj->physicsBody : nullptr;
  if (!h || h < g_handles || h >= g_handles + kPhysicsBodies) return -1;
  int i = int(h - g_handles);
  return Physics_Bodies[i].used && Physics_Bodies[i].owner == obj ? i : -1;
}

void Physics_Frame(double step) {
  if (!(step > 0)) return;
  Physics_StepCount++;
}

void Physics_Settle() {
  for (int i = 0; i < 500; i++) Physics_Frame(0.01);
}

int Physics_InitLevel(ModelObject* level) {
  Physics_LevelTriangles.clear();
  if (!level || !level->data) return 0;
  const TriTree* tree = nullptr;
  if (level->Trace == mayb_Trace)
    tree = static_cast<const MaylLevel*>(level->data)->tree;
  else if (level->Trace == du_Trace)
    tree = static_cast<const DuLevel*>(level->data)->tree;
  else {
    Log_Printf("Physics_InitLevel: the level is not a traced level model; no physics level\n");
    return 0;
  }
  if (!tree || tree->triangleCount <= 0 || !tree->triangles) {
    Log_Printf("Physics_InitLevel: the level has no triangle tree; no physics level\n");
    return 0;
  }
  Physics_LevelTriangles.reserve(size_t(tree->triangleCount) * 9);
  for (int32_t t = 0; t < tree->triangleCount; t++)
    for (const auto& v : tree->triangles[t].v) Physics_LevelTriangles.insert(Physics_LevelTriangles.end(), v, v + 3);
  return 1;
}

void Physics_FreeLevel() {
  Physics_LevelTriangles.clear();
  Physics_LevelTriangles.shrink_to_fit();
  for (PhysicsBodyRecord& b : Physics_Bodies) {
    if (b.used && b.owner && RowOf(b.owner) >= 0) b.owner->physicsBody = nullptr;
    b = PhysicsBodyRecord{};
  }
  Physics_BodyCount = 0;
}

int Physics_AddBody(GameObject* obj, const vec3* halfExtents, uint32_t flags) {
  if (!obj || obj->physicsBody) return -1;
  for (int i = 0; i < kPhysicsBodies; i++) {
    PhysicsBodyRecord& b = Physics_Bodies[i];
    if (b.used) continue;
    b = PhysicsBodyRecord{obj->origin, {1, 0, 0, 0, 1, 0, 0, 0, 1}, halfExtents ? *halfExtents : vec3{16, 16, 16},
                          flags, obj, 1};
    g_handles[i].index = i;
    obj->physicsBody = &g_handles[i];
    if (i >= Physics_BodyCount) Physics_BodyCount = i + 1;
    return i;
  }
  Log_Printf("Physics_AddBody: all %d bodies are taken\n", kPhysicsBodies);
  return -1;
}

void Physics_PushObjectBody(int body, const float impulse[3], const float point[3], int) {
  if (body < 0 || body >= Physics_BodyCount || !Physics_Bodies[body].used || !impulse || !point) return;
}

void Physics_SyncObject(GameObject* obj) {
  int i = RowOf(obj);
  if (i >= 0) obj->origin = Physics_Bodies[i].position;
}

void Physics_FreeRagdoll(GameObject* obj) {
  if (!obj) return;
  int i = RowOf(obj);
  if (i >= 0) Physics_Bodies[i] = PhysicsBodyRecord{};
  obj->physicsBody = nullptr;
}
