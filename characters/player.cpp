#include "characters/player.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "characters/actions.h"
#include "characters/inventory.h"
#include "characters/person.h"
#include "characters/pose.h"
#include "foundation/input.h"
#include "foundation/log.h"
#include "foundation/sound.h"
#include "world/trace.h"
#include "foundation/var.h"
#include "physics/physics.h"
#include "quests/dialog.h"
#include "scene/model.h"
#include "world/game.h"
#include "world/net.h"
#include "world/props.h"
#include "world/tick.h"

float Player_ViewHeight;

namespace {

// The movement settings, looked up once each (their records live as long as the program).
enum PlayerSetting {
  SET_ROTATE, SET_FORWARD, SET_BACK, SET_SIDE, SET_MOVEKEY, SET_ALWAYSRUN, SET_JUMP, SET_GRAVITY,
  SET_FRICTION, SET_STOP, SET_ACCEL, SET_MAXVEL, SET_MAXSPEED, kPlayerSettings
};
struct SettingRef {
  const char* name;
  float fallback;
};
constexpr SettingRef kSettings[kPlayerSettings] = {
    {"cl_rotatespeed", 2.4434609f}, {"cl_forwardspeed", 200}, {"cl_backspeed", 200}, {"cl_sidespeed", 175},
    {"cl_movespeedkey", 2},         {"cl_alwaysrun", 1},      {"cl_jumpspeed", 270}, {"sv_gravity", 800},
    {"sv_friction", 4},             {"sv_stopspeed", 100},    {"sv_accelerate", 10}, {"sv_maxvelocity", 2000},
    {"sv_maxspeed", 320},
};
VarRecord* g_settings[kPlayerSettings];

float Setting(PlayerSetting s) {
  if (!g_settings[s]) g_settings[s] = Var_Find(kSettings[s].name);
  return g_settings[s] ? g_settings[s]->value : kSettings[s].fallback;
}

constexpr float kGroundNormal = 0.7f;
constexpr float kStandHeight = 64.0f;
constexpr float kCrouchHeight = 40.0f;
// Walking into a loose body: the part of the player's speed into it (at most kPlayerPushSpeed
// units a second) that the body takes as a change of its own speed.
constexpr float kPlayerPushSpeed = 320.0f;
constexpr float kPlayerPushShare = 0.35f;

vec3 Add(const vec3& a, const vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
vec3 Scale(const vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(const vec3& a, const vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
vec3 Vel(const GameObject* p) { return {p->person.velocity[0], p->person.velocity[1], p->person.velocity[2]}; }
void SetVel(GameObject* p, const vec3& v) {
  p->person.velocity[0] = v.x;
  p->person.velocity[1] = v.y;
  p->person.velocity[2] = v.z;
}

// The solid world objects a trace tests: active, traceable WORLD objects with a clip model.
void GatherSolids(const GameObject* ignore, std::vector<GameObject*>* out) {
  out->clear();
  int count = 0;
  GameObject* const* all = Obj_ListArray(&count);
  for (int i = 0; i < count; i++) {
    GameObject* o = all[i];
    if (o->classNum == WORLD && o != ignore && (o->flags & OBJ_ACTIVE) && !o->notTraceable && o->clipModel)
      out->push_back(o);
  }
}

void TraceSolids(const std::vector<GameObject*>& solids, const vec3* start, const vec3* end, const vec3* mins,
                 const vec3* maxs, TraceResult* out) {
  static ModelDrawParams params;
  TraceRequest rq{};
  rq.start = *start;
  rq.end = *end;
  rq.mins = *mins;
  rq.maxs = *maxs;
  rq.fraction = 1.0f;
  rq.factor = 1.0f;
  for (GameObject* o : solids) {
    params.position = o->origin;
    params.angles = o->angles;
    rq.candidate = o;
    o->clipModel->Trace(o->clipModel, &params, &rq);
  }
  out->fraction = rq.fraction;
  out->end = vec3{start->x + (end->x - start->x) * rq.fraction, start->y + (end->y - start->y) * rq.fraction,
                  start->z + (end->z - start->z) * rq.fraction};
  if (rq.fraction >= 1.0f) out->end = *end;
  out->normal = rq.normal;
  out->zero = 0;
  out->candidate = rq.candidate;
  out->hitObject = rq.fraction < 1.0f ? rq.hitObject : nullptr;
  out->factor = rq.factor;
  out->part = rq.part;
}

// The solids of the think under way: gathered once a think (its traces make no objects).
std::vector<GameObject*> g_thinkSolids;

// What blocks a walking character: the level, solid props and doors, and living characters.
constexpr uint32_t kMoveMask = TRACE_ANIMS | TRACE_CHARACTERS | TRACE_STATE1;

// A sweep of the mover's box through the objects of the last tick; before any tick has listed
// them (a level just loaded) only the solid world objects answer.
void Sweep(GameObject* mover, const std::vector<GameObject*>& solids, const vec3* start, const vec3* end,
           const vec3* mins, const vec3* maxs, TraceResult* out) {
  if (mover && Tick_TraceList.count + Tick_NearList.count > 0)
    Obj_Trace(out, mover, start, mins, maxs, end, kMoveMask);
  else
    TraceSolids(solids, start, end, mins, maxs, out);
}

TraceResult Trace(GameObject* p, const vec3& start, const vec3& end) {
  TraceResult r;
  Sweep(p, g_thinkSolids, &start, &end, &p->mins, &p->maxs, &r);
  return r;
}

// Removes the velocity's part into the plane (a little more, so the box leaves it).
vec3 ClipVelocity(const vec3& v, const vec3& n) {
  float back = Dot(v, n) * 1.001f;
  return {v.x - n.x * back, v.y - n.y * back, v.z - n.z * back};
}

// The record of a move held up by an object with a body: the point is on the mover's box face
// that met it, at knee height.
void NoteBodyContact(const GameObject* p, const TraceResult& r, const vec3& velocity, PhysicsContact* out) {
  int body = Physics_ObjectBody(r.hitObject);
  if (!out || out->other || body < 0) return;
  const vec3& n = r.normal;
  float reach = std::fabs(n.x) * (n.x > 0 ? -p->mins.x : p->maxs.x) +
                std::fabs(n.y) * (n.y > 0 ? -p->mins.y : p->maxs.y);
  vec3 point{r.end.x - n.x * reach, r.end.y - n.y * reach, r.end.z + p->mins.z + (p->maxs.z - p->mins.z) * 0.25f};
  *out = PhysicsContact{r.hitObject, body, point, n, r.fraction, velocity};
}

// Moves along the velocity for dt, sliding along what it meets. Returns 1 when blocked. The first
// object with a body that held it up goes to *touched (when given and still empty).
int SlideMove(GameObject* p, float dt, PhysicsContact* touched = nullptr) {
  vec3 v = Vel(p);
  const vec3 original = v;
  vec3 planes[5];
  int planeCount = 0;
  float left = dt;
  int blocked = 0;
  for (int bump = 0; bump < 4; bump++) {
    if (v.x == 0 && v.y == 0 && v.z == 0) break;
    vec3 end = Add(p->origin, Scale(v, left));
    TraceResult r = Trace(p, p->origin, end);
    if (r.fraction > 0) p->origin = r.end;
    if (r.fraction >= 1.0f) break;
    blocked = 1;
    NoteBodyContact(p, r, v, touched);
    left -= left * r.fraction;
    if (planeCount == 5) {
      v = vec3{0, 0, 0};
      break;
    }
    planes[planeCount++] = r.normal;
    // A velocity that no longer goes into any plane met so far, else the crease of two.
    int i = 0;
    for (; i < planeCount; i++) {
      vec3 c = ClipVelocity(v, planes[i]);
      int j = 0;
      for (; j < planeCount; j++)
        if (j != i && Dot(c, planes[j]) < 0) break;
      if (j == planeCount) {
        v = c;
        break;
      }
    }
    if (i == planeCount) {
      if (planeCount != 2) {
        v = vec3{0, 0, 0};
        break;
      }
      vec3 dir;
      Vec_Cross(&planes[0], &planes[1], &dir);
      v = Scale(dir, Dot(dir, v));
    }
    if (Dot(v, original) <= 0) {
      v = vec3{0, 0, 0};
      break;
    }
  }
  SetVel(p, v);
  return blocked;
}

// Slides; when a move on the ground was blocked, also tries it one step higher and keeps the
// one that gets further. The first try's contact with a body goes to *touched.
void StepSlideMove(GameObject* p, float dt, PhysicsContact* touched) {
  const vec3 startOrigin = p->origin, startVel = Vel(p);
  if (!SlideMove(p, dt, touched) || !p->person.onGround) return;
  const vec3 downOrigin = p->origin, downVel = Vel(p);

  p->origin = startOrigin;
  SetVel(p, startVel);
  TraceResult up = Trace(p, startOrigin, Add(startOrigin, vec3{0, 0, kPlayerStepHeight}));
  float raised = up.end.z - startOrigin.z;
  if (raised <= 0) {
    p->origin = downOrigin;
    SetVel(p, downVel);
    return;
  }
  p->origin = up.end;
  SlideMove(p, dt);
  TraceResult down = Trace(p, p->origin, Add(p->origin, vec3{0, 0, -(raised + 1.0f)}));
  if (down.fraction >= 1.0f || down.normal.z < kGroundNormal) {
    p->origin = downOrigin;
    SetVel(p, downVel);
    return;
  }
  p->origin = down.end;
  float dxUp = p->origin.x - startOrigin.x, dyUp = p->origin.y - startOrigin.y;
  float dxDown = downOrigin.x - startOrigin.x, dyDown = downOrigin.y - startOrigin.y;
  if (dxUp * dxUp + dyUp * dyUp <= dxDown * dxDown + dyDown * dyDown) {
    p->origin = downOrigin;
    SetVel(p, downVel);
    return;
  }
  vec3 v = Vel(p);
  v.z = downVel.z;
  SetVel(p, v);
}

// Stands the player on what lies within 2 units below, when it is not moving up.
void CheckGround(GameObject* p) {
  if (p->person.velocity[2] > 0) {
    p->person.onGround = 0;
    p->person.groundId = 0;
    return;
  }
  TraceResult r = Trace(p, p->origin, Add(p->origin, vec3{0, 0, -2.0f}));
  if (r.fraction >= 1.0f || r.normal.z < kGroundNormal) {
    p->person.onGround = 0;
    p->person.groundId = 0;
    return;
  }
  p->person.onGround = 1;
  p->person.groundId = r.hitObject ? r.hitObject->id : 0;
  p->origin = r.end;
  p->person.velocity[2] = 0;
}

void Friction(GameObject* p, float dt) {
  float vx = p->person.velocity[0], vy = p->person.velocity[1];
  float speed = std::sqrt(vx * vx + vy * vy);
  if (speed <= 0) return;
  float stop = Setting(SET_STOP);
  float control = speed < stop ? stop : speed;
  float fresh = speed - control * Setting(SET_FRICTION) * dt;
  if (fresh < 0) fresh = 0;
  p->person.velocity[0] = vx * (fresh / speed);
  p->person.velocity[1] = vy * (fresh / speed);
}

void Accelerate(GameObject* p, const vec3& dir, float wishSpeed, float dt) {
  float current = p->person.velocity[0] * dir.x + p->person.velocity[1] * dir.y;
  float add = wishSpeed - current;
  if (add <= 0) return;
  float step = Setting(SET_ACCEL) * dt * wishSpeed;
  if (step > add) step = add;
  p->person.velocity[0] += step * dir.x;
  p->person.velocity[1] += step * dir.y;
}

// Crouching lowers the box top; standing up needs room above.
void UpdateCrouch(GameObject* p, bool wantCrouch) {
  if (wantCrouch) {
    p->person.crouched = 1;
  } else if (p->person.crouched) {
    const vec3 mins = p->mins, maxs{p->maxs.x, p->maxs.y, kCrouchHeight};
    vec3 top = Add(p->origin, vec3{0, 0, kStandHeight - kCrouchHeight});
    TraceResult r;
    Sweep(p, g_thinkSolids, &p->origin, &top, &mins, &maxs, &r);
    if (r.fraction >= 1.0f) p->person.crouched = 0;
  }
  p->person.moveMode[0] = p->person.crouched;
  Person_UpdateBBox(p);
}

bool StillListed(const GameObject* target) {
  if (!target) return false;
  for (const GameObject* o = Obj_ListHead; o; o = o->next)
    if (o == target) return (o->flags & OBJ_ACTIVE) != 0;
  return false;
}

// Where a ray from start along dir (unit) enters the object's box, within range; -1 if not.
// Props and doors from entity text carry their size in the clip box.
float RayBox(const vec3& start, const vec3& dir, float range, const GameObject* o) {
  const float s[3] = {start.x, start.y, start.z}, d[3] = {dir.x, dir.y, dir.z};
  const float own[6] = {o->mins.x, o->mins.y, o->mins.z, o->maxs.x, o->maxs.y, o->maxs.z};
  const float* c = o->clipBox;
  const bool clip = (o->classNum == WORLD || o->classNum == FUNC_DOOR) && (c[0] < c[3] || c[1] < c[4] || c[2] < c[5]);
  const float* box = clip ? c : own;
  const float lo[3] = {o->origin.x + box[0], o->origin.y + box[1], o->origin.z + box[2]};
  const float hi[3] = {o->origin.x + box[3], o->origin.y + box[4], o->origin.z + box[5]};
  float enter = 0, leave = range;
  for (int k = 0; k < 3; k++) {
    if (d[k] == 0) {
      if (s[k] < lo[k] || s[k] > hi[k]) return -1;
      continue;
    }
    float a = (lo[k] - s[k]) / d[k], b = (hi[k] - s[k]) / d[k];
    if (a > b) std::swap(a, b);
    if (a > enter) enter = a;
    if (b < leave) leave = b;
    if (enter > leave) return -1;
  }
  return enter;
}

// What the use key can act on besides characters: a world object with a use text or script, a
// lever (a world object with a trigger command), or a door.
bool UsableObject(const GameObject* o) {
  if (o->classNum == FUNC_DOOR) return true;
  return o->classNum == WORLD &&
         (o->useScript[0] || o->useArgument[0] || o->person.itemText[0] || o->prop.triggerCommand[0]);
}

// The two use targets: the first character, and the first usable object, whose box the eye's
// 100-unit ray meets.
void FindUseTargets(GameObject* p) {
  p->useTargetCharacter = p->useTargetObject = nullptr;
  vec3 forward, right, up;
  vec3 look{p->angles.x, p->angles.y, 0};
  Mat_AxesFromAngles(&look, &forward, &right, &up);
  const vec3 eye{p->person.eye[0], p->person.eye[1], p->person.eye[2]};
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (o == p || !(o->flags & OBJ_ACTIVE)) continue;
    bool character = o->classNum == NPC && !p->useTargetCharacter;
    bool usable = !p->useTargetObject && UsableObject(o);
    if (!character && !usable) continue;
    if (RayBox(eye, forward, kPlayerUseRange, o) < 0) continue;
    if (character) p->useTargetCharacter = o;
    else p->useTargetObject = o;
  }
}

// The end of the opening camera sequence (game time); it belongs to the one local player.
double g_sequenceUntil;

// The camera block: behind and above the player (farther and higher in a car, camera mode 1),
// pulled in where the level is hit. In the camera sequence (mode 2) the camera swings round from
// in front of the hero, farther out, to its place behind him; when the time is up, or the
// sequence flag went (its key, a load), the sequence ends and takes the flag with it.
void UpdateCamera(GameObject* p) {
  ObjCamera& c = p->camera;
  c.prevOrigin = c.origin;
  c.prevAngles = c.angles;
  float yaw = p->angles.x;
  if (c.mode == 2 && (!Game_SpecialFlag || Game_Time >= g_sequenceUntil)) {
    c.mode = 0;
    Game_SpecialFlag = 0;
  }
  // A player carried in a car into a level or a loaded game drives with the car camera too.
  if (c.mode != 2) c.mode = p->person.carIndex != 0 ? 1 : 0;
  const bool car = c.mode == 1;
  float back = car ? kPlayerCarCameraBack : kPlayerCameraBack;
  if (c.mode == 2) {
    const float done = 1.0f - float((g_sequenceUntil - Game_Time) / kCameraSequenceTime);
    const float f = done < 0 ? 0 : done;
    yaw = std::remainder(yaw + kMathPi * (1.0f + f), 2 * kMathPi);
    back = kCameraSequenceBack + (kPlayerCameraBack - kCameraSequenceBack) * f;
  }
  const vec3 pivot{p->origin.x, p->origin.y, p->origin.z + (car ? kPlayerCarCameraUp : kPlayerCameraUp)};
  const vec3 want{pivot.x - std::sin(yaw) * back, pivot.y - std::cos(yaw) * back, pivot.z};
  const vec3 mins{-4, -4, -4}, maxs{4, 4, 4};
  TraceResult r;
  TraceSolids(g_thinkSolids, &pivot, &want, &mins, &maxs, &r);
  c.origin = r.end;
  c.angles = vec3{yaw, p->angles.y, 0};
  if (c.fov == 0) c.fov = 1.0f;
}

// Whether the weapon's projectile kind flies: pellets (1), grenades (2), rockets (4), bullets (5).
bool ShootsProjectiles(const WeaponDef& w) { return w.kind == 1 || w.kind == 2 || w.kind == 4 || w.kind == 5; }

// The ammunition kind a weapon takes rounds of (0 = it needs none).
int AmmoKind(const WeaponDef& w) { return w.ammo > 0 && w.ammo < kAmmoKinds ? w.ammo : 0; }

// Rounds a magazine of the weapon holds: at least one.
int32_t MagazineSize(const WeaponDef& w) { return w.magazine > 0 ? w.magazine : 1; }

}  // namespace

int Player_FireWeapon(GameObject* p, int pulled) {
  if (!p) return 0;
  PersonStats& ps = p->person;
  const int w = ps.equippedIndex;
  if (ps.equippedKind != INV_WEAPON || w < 0 || w >= kWeaponDefs) return 0;
  const WeaponDef& def = Def_Weapons[w];
  if (!ShootsProjectiles(def)) return 0;
  const float now = float(Game_Time);
  if (ps.lastShotTime > 0 && now >= ps.lastShotTime && now - ps.lastShotTime < def.shotTime) return 0;
  const int a = AmmoKind(def);
  if (a != 0 && ps.magazine[a] <= 0) {
    if (pulled) Sound_Play(kPlayerEmptySound, 1.0f, 100.0f, &p->origin.x, 0, SOUND_CAT_EFFECTS);
    return 0;
  }
  if (a != 0) ps.magazine[a]--;
  ps.lastShotTime = now;
  ps.actionState = 2;
  const vec3 eye{ps.eye[0], ps.eye[1], ps.eye[2]};
  const vec3 aim{p->angles.x, p->angles.y, 0};
  NET_SpawnShot(p->id, w, &eye, &aim);
  if (Game_NetMode != 0) NET_PendingShot = PendingShot{1, eye, aim, w, int32_t(Game_TickFrame.command)};
  return 1;
}

int Player_ReloadWeapon(GameObject* p) {
  if (!p) return 0;
  PersonStats& ps = p->person;
  const int w = ps.equippedIndex;
  if (ps.equippedKind != INV_WEAPON || w < 0 || w >= kWeaponDefs) return 0;
  const WeaponDef& def = Def_Weapons[w];
  const int a = AmmoKind(def);
  if (a == 0) return 0;
  if (ps.magazine[a] < 0) ps.magazine[a] = 0;
  int32_t want = MagazineSize(def) - ps.magazine[a];
  if (want <= 0 || ps.ammo[a] <= 0) return 0;
  if (want > ps.ammo[a]) want = ps.ammo[a];
  ps.magazine[a] += want;
  ps.ammo[a] -= want;
  Sound_Play(kPlayerReloadSound, 1.0f, 100.0f, &p->origin.x, 0, SOUND_CAT_EFFECTS);
  return want;
}

int Player_SelectWeapon(GameObject* p, int step) {
  if (!p || step == 0) return 0;
  PersonStats& ps = p->person;
  // The weapons at hand, in definition order: the carried ones and the equipped one.
  bool have[kWeaponDefs] = {};
  for (const InvPair& pair : ps.items)
    if (pair.kind == INV_WEAPON && pair.index >= 0 && pair.index < Def_WeaponCount && pair.index < kWeaponDefs)
      have[pair.index] = true;
  const bool armed = ps.equippedKind == INV_WEAPON && ps.equippedIndex >= 0 && ps.equippedIndex < kWeaponDefs;
  const int current = armed ? ps.equippedIndex : (step > 0 ? -1 : kWeaponDefs);
  int chosen = -1;
  for (int n = 1; n <= kWeaponDefs && chosen < 0; n++) {
    int i = step > 0 ? current + n : current - n;
    i = ((i % kWeaponDefs) + kWeaponDefs) % kWeaponDefs;
    if (have[i]) chosen = i;
  }
  if (chosen < 0 || (armed && chosen == ps.equippedIndex)) return 0;
  // The weapon put away stays carried.
  if (armed && Inv_FindWeapon(&ps, ps.equippedIndex) < 0) Inv_AddItem(&ps, INV_WEAPON, ps.equippedIndex);
  ps.equippedKind = INV_WEAPON;
  ps.equippedIndex = chosen;
  ps.actionState = 0;
  // Weapons of one ammunition kind share its magazine: rounds beyond the new weapon's magazine go
  // back to the reserve.
  const WeaponDef& def = Def_Weapons[chosen];
  if (const int a = AmmoKind(def); a != 0 && ps.magazine[a] > MagazineSize(def)) {
    const int64_t reserve = int64_t(ps.ammo[a]) + (ps.magazine[a] - MagazineSize(def));
    ps.ammo[a] = reserve > INT32_MAX ? INT32_MAX : int32_t(reserve);
    ps.magazine[a] = MagazineSize(def);
  }
  Sound_Play(kPlayerSwitchSound, 1.0f, 100.0f, &p->origin.x, 0, SOUND_CAT_EFFECTS);
  return 1;
}

namespace {

// The weapon keys of a tick: changes and reloads on their press (the bits held last tick are kept
// with the player, so a loaded game or a demo sees the same presses); fire while held, at the
// weapon's shot interval, clicking when empty only on the pull.
void WeaponKeys(GameObject* p, uint32_t cmd) {
  const uint32_t pressed = cmd & ~p->person.heldCommands;
  p->person.heldCommands = cmd;
  if (p->person.carIndex != 0) return;
  if (pressed & CMD_NEXT_WEAPON) Player_SelectWeapon(p, 1);
  else if (pressed & CMD_PREV_WEAPON) Player_SelectWeapon(p, -1);
  if (pressed & CMD_RELOAD_WEAPON) Player_ReloadWeapon(p);
  if (cmd & CMD_FIRE) Player_FireWeapon(p, (pressed & CMD_FIRE) != 0);
}

// In a network game the player takes pick-ups and flags by walking into them: a numbered or
// capture-the-flag world object in state 1 whose origin lies within 16 units of the player's box
// is used. A client asks its server again for the same object only after half a second.
void TouchPickups(GameObject* p) {
  static uint32_t lastId;
  static double lastTime;
  constexpr float kReach = 16.0f;
  int count = 0;
  GameObject* const* all = Obj_ListArray(&count);
  for (int i = 0; i < count; i++) {
    GameObject* o = all[i];
    if (o->classNum != WORLD || !(o->flags & OBJ_ACTIVE) || o->person.state != 1) continue;
    if (o->person.name[0] != '#' && o->person.ctfRole == 0) continue;
    const vec3& at = o->origin;
    if (at.x < p->origin.x + p->mins.x - kReach || at.x > p->origin.x + p->maxs.x + kReach ||
        at.y < p->origin.y + p->mins.y - kReach || at.y > p->origin.y + p->maxs.y + kReach ||
        at.z < p->origin.z + p->mins.z - kReach || at.z > p->origin.z + p->maxs.z + kReach)
      continue;
    if (Game_NetMode == 2 && o->id == lastId && Game_Time >= lastTime && Game_Time - lastTime < 0.5) continue;
    lastId = o->id;
    lastTime = Game_Time;
    o->slots.Use(o, p, nullptr);
  }
}

// The network id of whoever fired what hurt the player: a peer's body, the player itself (the
// local address), else 0.
uint32_t KillerId(const GameObject* p, GameObject* attacker) {
  GameObject* who = attacker;
  if (who && who->classNum != NETPLAYER && who != p && who->owner && who->owner != who->id)
    who = Obj_FindById(who->owner);
  if (!who) return 0;
  if (who->classNum == NETPLAYER) return uint32_t(who->prop.netId);
  return who == p ? NET_LocalAddress : 0;
}

// Slow motion ("Galahaste"): a press on foot slows the game to half speed for a while, or until
// pressed again (a press against the bits held last tick, which the weapon keys then take over).
// The end (game time) belongs to the one local player; a load ends slow motion.
double g_slowUntil;

void SlowMotion(GameObject* p, uint32_t cmd) {
  PersonStats& ps = p->person;
  const bool press = (cmd & CMD_GALAHASTE) && !(ps.heldCommands & CMD_GALAHASTE);
  const bool on = ps.slowMotionLevel > 0;
  if (on && (press || Game_Time >= g_slowUntil || ps.carIndex || ps.vehicleState)) {
    Player_EndSlowMotion(p);
  } else if (!on && press && !ps.carIndex && !ps.vehicleState) {
    ps.slowMotionLevel = 1.0f;
    TimeScale = kSlowMotionScale;
    g_slowUntil = Game_Time + kSlowMotionTime;
  }
}

void Think(GameObject* p, const DemoFrame& f) {
  const float dt = f.step;
  PersonStats& ps = p->person;
  if (!StillListed(p->useTargetCharacter)) p->useTargetCharacter = nullptr;
  if (!StillListed(p->useTargetObject)) p->useTargetObject = nullptr;
  GatherSolids(p, &g_thinkSolids);
  if (dt <= 0) {
    // A zero step (paused, or the settle frames of a load) moves nothing, but the view stands
    // behind the hero from the first frame of a level.
    UpdateCamera(p);
    return;
  }
  if (p->damageFlash > 0) p->damageFlash = std::fmax(0.0f, p->damageFlash - kDamageFlashFade * dt);
  Person_RespawnPickups();
  const bool alive = ps.state != 2;
  // The hero stands while the camera sequence shows him.
  const bool acting = alive && p->camera.mode != 2;
  const uint32_t cmd = acting ? f.command : 0;
  if (p == Obj_Player) SlowMotion(p, cmd);

  if (acting) {
    float turn = f.turn;
    const float rotate = Setting(SET_ROTATE) * dt;
    if (cmd & CMD_LEFT) turn -= rotate;
    if (cmd & CMD_RIGHT) turn += rotate;
    // Wrapped wholly: a yaw of any size comes back within one turn, so later turns still count.
    const float yaw = std::remainder(std::remainder(p->angles.x, 2 * kMathPi) + turn, 2 * kMathPi);
    if (std::isfinite(yaw)) p->angles.x = yaw;
    float pitch = p->angles.y + f.pitch;
    p->angles.y = pitch > 1.4f ? 1.4f : pitch < -1.4f ? -1.4f : pitch;
  }
  UpdateCrouch(p, (cmd & CMD_CROUCH) != 0);
  CheckGround(p);

  float fmove = 0, smove = 0;
  if (cmd & CMD_FORWARD) fmove += Setting(SET_FORWARD);
  if (cmd & CMD_BACK) fmove -= Setting(SET_BACK);
  if (cmd & CMD_STRAFE_RIGHT) smove += Setting(SET_SIDE);
  if (cmd & CMD_STRAFE_LEFT) smove -= Setting(SET_SIDE);
  const bool run = Setting(SET_ALWAYSRUN) != 0;
  ps.moveMode[1] = run;
  if (run) fmove *= Setting(SET_MOVEKEY), smove *= Setting(SET_MOVEKEY);
  const float yaw = p->angles.x, sy = std::sin(yaw), cy = std::cos(yaw);
  vec3 wish{sy * fmove + cy * smove, cy * fmove - sy * smove, 0};
  float wishSpeed = std::sqrt(wish.x * wish.x + wish.y * wish.y);
  if (wishSpeed > 0) wish = Scale(wish, 1.0f / wishSpeed);
  const float maxSpeed = Setting(SET_MAXSPEED);
  if (wishSpeed > maxSpeed) wishSpeed = maxSpeed;
  if (ps.crouched) wishSpeed *= 0.5f;

  const bool jump = (cmd & CMD_JUMP) != 0;
  if (ps.onGround && jump && !ps.jumpHeld) {
    ps.velocity[2] = Setting(SET_JUMP);
    ps.onGround = 0;
    ps.groundId = 0;
  }
  ps.jumpHeld = jump;

  const float gravity = Setting(SET_GRAVITY);
  if (ps.onGround) {
    Friction(p, dt);
    Accelerate(p, wish, wishSpeed, dt);
  } else {
    Accelerate(p, wish, wishSpeed > 30 ? 30 : wishSpeed, dt);
    ps.velocity[2] -= gravity * dt * 0.5f;  // half before the move, half after: exact arcs
  }
  const float maxVel = Setting(SET_MAXVEL);
  for (float& v : ps.velocity) v = v > maxVel ? maxVel : v < -maxVel ? -maxVel : v;

  const bool airborne = !ps.onGround;
  p->prevOrigin = p->origin;
  PhysicsContact touched{};
  StepSlideMove(p, dt, &touched);
  if (airborne) ps.velocity[2] -= gravity * dt * 0.5f;
  CheckGround(p);
  if (touched.other && p->slots.Contact) p->slots.Contact(p, &touched);

  Player_ViewHeight += (p->origin.z - Player_ViewHeight) * (dt * 10 > 1 ? 1 : dt * 10);
  ps.eye[0] = p->origin.x;
  ps.eye[1] = p->origin.y;
  ps.eye[2] = p->origin.z + p->maxs.z - 8.0f;
  UpdateCamera(p);
  if (alive) FindUseTargets(p);
  if (alive) WeaponKeys(p, cmd);
  else ps.heldCommands = 0;
  if (alive && Game_NetMode != 0) TouchPickups(p);
}

}  // namespace

int Player_TraceMove(const vec3* start, const vec3* end, const vec3* mins, const vec3* maxs, const GameObject* ignore,
                     TraceResult* out) {
  static std::vector<GameObject*> solids;
  GatherSolids(ignore, &solids);
  Sweep(const_cast<GameObject*>(ignore), solids, start, end, mins, maxs, out);
  return 1;
}

void Player_Think(GameObject* p) { Think(p, Game_TickFrame); }

void Player_Animate(GameObject* p) {
  PersonStats& ps = p->person;
  int anim = ANIM_IDLE;
  float speed = std::sqrt(ps.velocity[0] * ps.velocity[0] + ps.velocity[1] * ps.velocity[1]);
  if (ps.state == 2) anim = ANIM_DEAD;
  else if (!ps.onGround) anim = ANIM_JUMP;
  else if (ps.crouched) anim = ANIM_CROUCH;
  else if (speed > 250) anim = ANIM_RUN;
  else if (speed > 10) anim = ANIM_WALK;
  if (anim != ps.anim) {
    ps.anim = anim;
    ps.animTime = 0;
  } else {
    ps.animTime += Game_TickFrame.step;
  }
  Pose_Update(p, ps.anim, ps.animTime, ps.anim != ANIM_DEAD);
}

// While the player drives, the car is drawn where the player is: its definition's body and second
// model, turned by the player's yaw. On foot, the hero's posed body.
void Player_Draw(GameObject* p, ViewParams* view) {
  const int car = p->person.carIndex;
  if (car <= 0 || car >= kCarDefs) {
    Pose_Draw(p, view);
    return;
  }
  Def_DrawCarAt(car, p->origin, p->angles.x, view);
  // The hero sits in the open car: drawn lower, so that the car's sides hide the legs.
  const vec3 standing = p->origin;
  p->origin.z -= kPlayerCarSeatDrop;
  Pose_Draw(p, view);
  p->origin = standing;
}

// The player is not hit by the traces of others through its own model; its box serves them.
void Player_Clip(GameObject* p, TraceRequest* tr) { Obj_ClipCharacter(p, tr); }

void Player_Free(GameObject* p) {
  Person_StopSounds(p);
  Pose_Free(p);
  if (Obj_Player == p) Obj_Player = nullptr;
}

void Player_Damage(GameObject* p, GameObject* attacker, float amount, float, const vec3*, int32_t, int32_t) {
  PersonStats& ps = p->person;
  if (Game_GodMode || ps.state == 2 || !(amount > 0)) return;
  ps.health -= amount;
  // The flash grows with the hit, up to its full strength 30, and fades within a second or two.
  p->damageFlash = std::fmin(kDamageFlashFull, p->damageFlash + amount);
  if (ps.health > 0) {
    ps.voices[0] = Sound_Play("sound\\pain1", 1.0f, 100.0f, &p->origin.x, 0, SOUND_CAT_VOICES);
    return;
  }
  ps.health = 0;
  ps.state = 2;
  if (p == Obj_Player) Player_EndSlowMotion(p);
  // The hero of single play dies mid-talk: the talk ends with him, and its answers with it.
  if (p == Obj_Player && Game_NetMode == 0 && Dialog_Open) Dialog_End();
  p->deathTime = float(Game_Time);
  ps.anim = ANIM_DEAD;
  ps.animTime = 0;
  ps.crouched = 0;
  ps.voices[0] = Sound_Play("sound\\death1", 1.0f, 100.0f, &p->origin.x, 0, SOUND_CAT_VOICES);
  // In a network game the server counts the frag: a client reports its death, the server's
  // own player's death is counted at once.
  if (p == Obj_Player && Game_NetMode == 2) NET_SendKilled(KillerId(p, attacker));
  if (p == Obj_Player && Game_NetMode == 1) NET_AddFrag(KillerId(p, attacker));
}

// Walking into a loose body shoves it along the way the player was going: a change of its speed of
// a share of the player's speed into it, so a crate slides or tips ahead of him instead of standing
// like a wall. The dead push nothing.
void Player_Contact(GameObject* p, PhysicsContact* contact) {
  if (!contact || p->person.state == 2 || contact->body < 0 || contact->body >= kPhysicsBodies) return;
  if (Physics_Bodies[contact->body].flags & PHYS_FLESH) return;
  vec3 along{contact->velocity.x, contact->velocity.y, 0};
  float into = -(along.x * contact->normal.x + along.y * contact->normal.y);
  if (into <= 0 || Vec_Normalize(&along) <= 0) return;
  vec3 impulse = Scale(along, std::fmin(into, kPlayerPushSpeed) * kPlayerPushShare);
  Physics_PushObjectBody(contact->body, &impulse.x, &contact->point.x, 1);
}

void Player_Info(GameObject* p, const void* request, void* reply) {
  Obj_InfoReply(p, request, reply, "MACHINEPLAYER", true);
}

void Player_Init(GameObject* p) {
  PersonStats& ps = p->person;
  if (ps.state == 0) ps.state = 1;
  if (ps.maxHealth <= 0) ps.maxHealth = 100.0f;
  if (ps.health <= 0 && ps.state == 1) ps.health = ps.maxHealth;
  Person_UpdateBBox(p);
  p->camera.fov = 1.0f;
  Player_ViewHeight = p->origin.z;
  Player_PostLoad(p);
}

// The draw model, the skeleton "anim\<hero>\<hero>_stand" and the hero's animations.
void Player_PostLoad(GameObject* p) {
  char hero[kPersonNameSize];
  size_t n = 0;
  for (; p->person.name[n] && n + 1 < sizeof hero; n++) hero[n] = char(std::tolower(uint8_t(p->person.name[n])));
  hero[n] = 0;
  char name[3 * kPersonNameSize];
  if (!p->drawModel) {
    std::snprintf(name, sizeof name, "npc\\%s\\body", hero);
    p->drawModel = Model_Get(name);
  }
  std::snprintf(name, sizeof name, "anim\\%s\\%s_stand", hero, hero);
  Pose_LoadSkeleton(p, name);
  static const char* const kSuffix[kPersonAnims] = {"_idle", "_walk", "_run", "_jump", "_crouch", "_dead"};
  for (int a = 0; a < kPersonAnims; a++) {
    std::snprintf(name, sizeof name, "anim\\%s\\%s%s", hero, hero, kSuffix[a]);
    Pose_LoadAnim(p, a, name);
  }
}

void Player_StartCameraSequence(GameObject* p) {
  if (!p) return;
  p->camera.mode = 2;
  Game_SpecialFlag = 1;
  g_sequenceUntil = Game_Time + kCameraSequenceTime;
}

void Player_EndSlowMotion(GameObject* p) {
  TimeScale = 1.0f;
  if (p) p->person.slowMotionLevel = 0;
}

void Player_BuildCommand() {
  Game_CurrentFrame.command = Player_CommandWord & ~(DEMO_CMD_CHAIN | DEMO_CMD_END);
}

int Player_ClearInput() {
  Player_CommandWord = 0;
  Input_MouseX = Input_MouseY = 0;
  Game_CurrentFrame = DemoFrame{};
  Game_Step = 0;
  Game_RingRead = Game_RingWrite = 0;
  return 0;
}
