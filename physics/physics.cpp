#include "physics/physics.h"

#include <cmath>

#include "foundation/log.h"
#include "foundation/var.h"
#include "platform/rigid_bullet.h"
#include "scene/du.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/tritree.h"
#include "world/object.h"

PhysicsBodyRecord Physics_Bodies[kPhysicsBodies];
int32_t Physics_BodyCount;
std::vector<float> Physics_LevelTriangles;
uint32_t Physics_StepCount;

namespace {

constexpr float kGravity = 800.0f;      // game units per second squared
constexpr float kDensity = 4.0f;        // mass per cubic library unit
constexpr float kLargestBox = 4096.0f;  // game units along any side
constexpr float kThinnestBox = 0.5f;    // game units along any side
constexpr float kFarthest = 1.0e6f;     // game units from the world's centre
constexpr int kMostSubSteps = 100;      // one second of world a frame at most

// What the table does not show, by row.
struct BodyExtra {
  int rigid = -1;      // handle of the library's body
  vec3 offset{};       // box centre from the origin, in the object's axes, game units
  float mass = 0;
};

PhysicsBody g_handles[kPhysicsBodies];
BodyExtra g_extra[kPhysicsBodies];
double g_leftover;  // seconds not yet stepped

// The row of an object's body; -1 when the field holds no handle of this table.
int RowOf(const GameObject* obj) { return Physics_ObjectBody(obj); }

bool Open() { return Rigid_Open(-kGravity * kPhysicsScale) != 0; }

// The mesh from the copied triangles, in library units.
bool LoadMesh() {
  if (Physics_LevelTriangles.empty()) {
    Rigid_ClearMesh();
    return false;
  }
  std::vector<float> scaled(Physics_LevelTriangles.size());
  for (size_t i = 0; i < scaled.size(); i++) scaled[i] = Physics_LevelTriangles[i] * kPhysicsScale;
  return Rigid_SetMesh(scaled.data(), int32_t(scaled.size() / 9)) != 0;
}

// Frees the row and its library body (a row a test emptied by hand may still hold one).
void ClearRow(int i) {
  if (g_extra[i].rigid >= 0) Rigid_RemoveBox(g_extra[i].rigid);
  g_extra[i] = BodyExtra{};
  Physics_Bodies[i] = PhysicsBodyRecord{};
}

void CountRows() {
  Physics_BodyCount = 0;
  for (int i = kPhysicsBodies - 1; i >= 0; i--)
    if (Physics_Bodies[i].used) {
      Physics_BodyCount = i + 1;
      break;
    }
}

// The table from the library: centre and rotation rows (the columns of the library's basis).
void Refresh() {
  for (int i = 0; i < kPhysicsBodies; i++) {
    PhysicsBodyRecord& r = Physics_Bodies[i];
    if (!r.used || g_extra[i].rigid < 0) continue;
    float c[3], b[9];
    if (!Rigid_GetBox(g_extra[i].rigid, c, b)) continue;
    r.position = vec3{c[0] / kPhysicsScale, c[1] / kPhysicsScale, c[2] / kPhysicsScale};
    for (int row = 0; row < 3; row++)
      for (int col = 0; col < 3; col++) r.rotation[3 * row + col] = b[3 * col + row];
  }
  CountRows();
}

// The object's rotation as rows (its own axes in the world).
mat3 ObjectAxes(const GameObject* obj) {
  mat3 m;
  Mat_FromAngles(&m, &obj->angles);
  return m;
}

// A new library body for row i from the object's place.
bool MakeRigid(int i, GameObject* obj) {
  const PhysicsBodyRecord& r = Physics_Bodies[i];
  BodyExtra& x = g_extra[i];
  mat3 m = ObjectAxes(obj);
  vec3 off;
  Vec_Rotate(&x.offset, &m, &off);
  float centre[3] = {(obj->origin.x + off.x) * kPhysicsScale, (obj->origin.y + off.y) * kPhysicsScale,
                     (obj->origin.z + off.z) * kPhysicsScale};
  float basis[9];
  for (int row = 0; row < 3; row++)
    for (int col = 0; col < 3; col++) basis[3 * row + col] = m.m[col][row];
  const float half[3] = {r.halfExtents.x, r.halfExtents.y, r.halfExtents.z};
  x.rigid = Rigid_AddBox(half, x.mass, centre, basis);
  return x.rigid >= 0;
}

bool Finite(const vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

int AddRow(GameObject* obj, const vec3& half, const vec3& offset, uint32_t flags, const char* who) {
  if (!obj) return -1;
  if (RowOf(obj) >= 0) {
    Log_Printf("%s: object %u already has a body\n", who, obj->id);
    return -1;
  }
  bool inside = std::fabs(obj->origin.x) < kFarthest && std::fabs(obj->origin.y) < kFarthest &&
                std::fabs(obj->origin.z) < kFarthest;
  if (!Finite(obj->origin) || !Finite(obj->angles) || !inside) {
    Log_Printf("%s: object %u stands at no finite place inside the world; no body\n", who, obj->id);
    return -1;
  }
  if (!Open()) return -1;
  for (int i = 0; i < kPhysicsBodies; i++) {
    if (Physics_Bodies[i].used) continue;
    ClearRow(i);
    PhysicsBodyRecord& r = Physics_Bodies[i];
    r = PhysicsBodyRecord{obj->origin, {1, 0, 0, 0, 1, 0, 0, 0, 1}, half, flags, obj, 1};
    g_extra[i].offset = offset;
    g_extra[i].mass = 8.0f * half.x * half.y * half.z * kDensity;
    if (!MakeRigid(i, obj)) {
      Log_Printf("%s: the library refused a body for object %u\n", who, obj->id);
      ClearRow(i);
      return -1;
    }
    g_handles[i].index = i;
    obj->physicsBody = &g_handles[i];
    Refresh();
    return i;
  }
  Log_Printf("%s: all %d bodies are taken; object %u gets none\n", who, kPhysicsBodies, obj->id);
  return -1;
}

}  // namespace

int Physics_Enabled() {
  const VarRecord* v = Var_Find("game_physics");
  return !v || v->value != 0;
}

void Physics_Frame(double step) {
  if (!(step > 0) || !std::isfinite(step)) return;
  g_leftover += step;
  int n = 0;
  // A recorded step of 0.01 s reads back as a float a hair below it: it still makes one sub-step.
  while (g_leftover >= kPhysicsSubStep - 1e-6 && n < kMostSubSteps) {
    if (Rigid_MeshTriangles() > 0) Rigid_Step(float(kPhysicsSubStep));
    g_leftover -= kPhysicsSubStep;
    Physics_StepCount++;
    n++;
  }
  if (n == kMostSubSteps || g_leftover < 0) g_leftover = 0;
  Refresh();
}

void Physics_Settle() {
  for (int i = 0; i < 500; i++) {
    if (Rigid_MeshTriangles() > 0) Rigid_Step(float(kPhysicsSubStep));
    Physics_StepCount++;
  }
  g_leftover = 0;
  Refresh();
}

int Physics_IsLevelModel(const ModelObject* model) {
  return model && model->data && (model->Trace == mayb_Trace || model->Trace == du_Trace);
}

int Physics_InitLevel(ModelObject* level) {
  if (!Physics_IsLevelModel(level)) {
    Log_Printf("Physics_InitLevel: the model is not a traced level; the physics level stays as it was\n");
    return 0;
  }
  const TriTree* tree = level->Trace == mayb_Trace ? static_cast<const MaylLevel*>(level->data)->tree
                                                   : static_cast<const DuLevel*>(level->data)->tree;
  if (!tree || tree->triangleCount <= 0 || !tree->triangles) {
    Log_Printf("Physics_InitLevel: the level has no triangles; the physics level stays as it was\n");
    return 0;
  }
  std::vector<float> copy;
  copy.reserve(size_t(tree->triangleCount) * 9);
  for (int32_t t = 0; t < tree->triangleCount; t++)
    for (const auto& v : tree->triangles[t].v) copy.insert(copy.end(), v, v + 3);
  if (!Open()) return 0;
  Physics_LevelTriangles.swap(copy);
  if (!LoadMesh()) {
    Log_Printf("Physics_InitLevel: no triangle of the level has finite corners; no physics level\n");
    Physics_LevelTriangles.clear();
    return 0;
  }
  return 1;
}

void Physics_FreeLevel() {
  Physics_LevelTriangles.clear();
  Physics_LevelTriangles.shrink_to_fit();
  // Every object frees its body when it is released, so an owner still named here is alive.
  for (int i = 0; i < kPhysicsBodies; i++) {
    PhysicsBodyRecord& b = Physics_Bodies[i];
    if (b.used && b.owner && RowOf(b.owner) == i) b.owner->physicsBody = nullptr;
    ClearRow(i);
  }
  Physics_BodyCount = 0;
  g_leftover = 0;
  Rigid_Close();
}

int Physics_AddBody(GameObject* obj, const vec3* halfExtents, uint32_t flags) {
  vec3 h = halfExtents ? *halfExtents : vec3{1, 1, 1};
  const float box[6] = {-h.x / kPhysicsScale, -h.y / kPhysicsScale, -h.z / kPhysicsScale,
                        h.x / kPhysicsScale,  h.y / kPhysicsScale,  h.z / kPhysicsScale};
  return Physics_AddBoxBody(obj, box, flags);
}

int Physics_AddBoxBody(GameObject* obj, const float box[6], uint32_t flags) {
  if (!obj || !box) return -1;
  for (int k = 0; k < 3; k++) {
    float lo = box[k], hi = box[3 + k];
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
      Log_Printf("Physics_AddBoxBody: object %u has a box that is not finite; no body\n", obj->id);
      return -1;
    }
    if (!(hi - lo >= kThinnestBox)) {
      Log_Printf("Physics_AddBoxBody: object %u has an empty or inside-out box; no body\n", obj->id);
      return -1;
    }
    if (hi - lo > kLargestBox || std::fabs(lo) > kLargestBox || std::fabs(hi) > kLargestBox) {
      Log_Printf("Physics_AddBoxBody: object %u has a box larger than %g units; no body\n", obj->id,
                 double(kLargestBox));
      return -1;
    }
  }
  vec3 half{(box[3] - box[0]) * 0.5f * kPhysicsScale, (box[4] - box[1]) * 0.5f * kPhysicsScale,
            (box[5] - box[2]) * 0.5f * kPhysicsScale};
  vec3 offset{(box[0] + box[3]) * 0.5f, (box[1] + box[4]) * 0.5f, (box[2] + box[5]) * 0.5f};
  return AddRow(obj, half, offset, flags, "Physics_AddBoxBody");
}

void Physics_PushObjectBody(int body, const float impulse[3], const float point[3], int byMass) {
  if (body < 0 || body >= kPhysicsBodies || !Physics_Bodies[body].used || g_extra[body].rigid < 0 || !impulse ||
      !point)
    return;
  float scale = kPhysicsScale * (byMass ? g_extra[body].mass : 1.0f);
  float j[3], p[3];
  for (int k = 0; k < 3; k++) {
    j[k] = impulse[k] * scale;
    p[k] = point[k] * kPhysicsScale;
    if (!std::isfinite(j[k]) || !std::isfinite(p[k])) {
      Log_Printf("Physics_PushObjectBody: an impulse or point that is not finite; body %d not pushed\n", body);
      return;
    }
  }
  Rigid_ApplyImpulse(g_extra[body].rigid, j, p);
}

void Physics_SyncObject(GameObject* obj) {
  int i = RowOf(obj);
  if (i < 0) return;
  const PhysicsBodyRecord& r = Physics_Bodies[i];
  mat3 m;
  for (int k = 0; k < 9; k++) m.m[k / 3][k % 3] = r.rotation[k];
  vec3 off;
  Vec_Rotate(&g_extra[i].offset, &m, &off);
  obj->origin = vec3{r.position.x - off.x, r.position.y - off.y, r.position.z - off.z};
  Mat_ToAngles(&m, &obj->angles);
}

void Physics_PlaceObjectBody(GameObject* obj, const vec3* velocity) {
  int i = RowOf(obj);
  if (i < 0 || !Finite(obj->origin)) return;
  mat3 m;
  for (int k = 0; k < 9; k++) m.m[k / 3][k % 3] = Physics_Bodies[i].rotation[k];
  vec3 off;
  Vec_Rotate(&g_extra[i].offset, &m, &off);
  float c[3] = {(obj->origin.x + off.x) * kPhysicsScale, (obj->origin.y + off.y) * kPhysicsScale,
                (obj->origin.z + off.z) * kPhysicsScale};
  float v[3] = {0, 0, 0};
  if (velocity && Finite(*velocity))
    for (int k = 0; k < 3; k++) v[k] = (&velocity->x)[k] * kPhysicsScale;
  Rigid_PlaceBox(g_extra[i].rigid, c, v);
  Refresh();
}

void Physics_FreeRagdoll(GameObject* obj) {
  if (!obj) return;
  int i = RowOf(obj);
  if (i >= 0) {
    ClearRow(i);
    CountRows();
  }
  obj->physicsBody = nullptr;
}

void Physics_RebuildWorld() {
  struct Kept {
    GameObject* obj;
    PhysicsBodyRecord row;
    BodyExtra extra;
  };
  std::vector<Kept> kept;
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    int i = RowOf(o);
    if (i >= 0) kept.push_back({o, Physics_Bodies[i], g_extra[i]});
  }
  for (int i = 0; i < kPhysicsBodies; i++) {
    if (Physics_Bodies[i].used && Physics_Bodies[i].owner) Physics_Bodies[i].owner->physicsBody = nullptr;
    Physics_Bodies[i] = PhysicsBodyRecord{};
    g_extra[i] = BodyExtra{};
  }
  Physics_BodyCount = 0;
  g_leftover = 0;
  Rigid_Close();
  if (kept.empty() && Physics_LevelTriangles.empty()) return;
  if (!Open()) return;
  LoadMesh();
  int i = 0;
  for (const Kept& k : kept) {
    Physics_Bodies[i] = k.row;
    Physics_Bodies[i].position = k.obj->origin;
    g_extra[i] = k.extra;
    if (!MakeRigid(i, k.obj)) {
      Log_Printf("Physics_RebuildWorld: the library refused the body of object %u\n", k.obj->id);
      g_extra[i] = BodyExtra{};
      Physics_Bodies[i] = PhysicsBodyRecord{};
      continue;
    }
    g_handles[i].index = i;
    k.obj->physicsBody = &g_handles[i];
    i++;
  }
  Refresh();
}

int Physics_ObjectBounds(const GameObject* obj, float box[6]) {
  int i = RowOf(obj);
  if (i < 0) return 0;
  const PhysicsBodyRecord& r = Physics_Bodies[i];
  const float half[3] = {r.halfExtents.x / kPhysicsScale, r.halfExtents.y / kPhysicsScale,
                         r.halfExtents.z / kPhysicsScale};
  const float* centre = &r.position.x;
  const float* origin = &obj->origin.x;
  for (int k = 0; k < 3; k++) {
    float reach = 0;
    for (int j = 0; j < 3; j++) reach += std::fabs(r.rotation[3 * j + k]) * half[j];
    box[k] = centre[k] - origin[k] - reach;
    box[3 + k] = centre[k] - origin[k] + reach;
  }
  return 1;
}

int Physics_BodyAsleep(int body) {
  return body >= 0 && body < kPhysicsBodies && Physics_Bodies[body].used ? Rigid_IsSleeping(g_extra[body].rigid) : 0;
}

float Physics_BodyMass(int body) {
  return body >= 0 && body < kPhysicsBodies && Physics_Bodies[body].used ? g_extra[body].mass : 0.0f;
}

int Physics_ObjectBody(const GameObject* obj) {
  const PhysicsBody* h = obj ? obj->physicsBody : nullptr;
  if (!h || h < g_handles || h >= g_handles + kPhysicsBodies) return -1;
  int i = int(h - g_handles);
  return Physics_Bodies[i].used && Physics_Bodies[i].owner == obj ? i : -1;
}
