#include "world/projectile.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "characters/defs.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/sound.h"
#include "hud/hud.h"
#include "physics/physics.h"
#include "render/material.h"
#include "scene/model.h"
#include "scene/view.h"
#include "world/fx.h"
#include "world/game.h"
#include "world/props.h"
#include "world/tick.h"
#include "world/trace.h"

namespace {

constexpr float kTwoPi = 6.28318530717958647692f;

float Rand() { return Math_RandNext() - 0.5f; }

bool WeaponValid(int w) { return w >= 0 && w < kWeaponDefs; }

vec3 Scale(const vec3& v, float s) { return vec3{v.x * s, v.y * s, v.z * s}; }
vec3 Add(const vec3& a, const vec3& b) { return vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
vec3 Sub(const vec3& a, const vec3& b) { return vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(const vec3& a, const vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

vec3& Velocity(GameObject* o) { return *reinterpret_cast<vec3*>(o->person.velocity); }

void Shot_StopSound(GameObject* o) {
  if (o->prop.soundHandle) Sound_Stop(o->prop.soundHandle);
  o->prop.soundHandle = 0;
}

// Switches the object off and queues it; its flight sound ends with it.
void Shot_Remove(GameObject* o) {
  Shot_StopSound(o);
  o->person.state = 0;
  Obj_RequestDelete(o);
}

// One effect record with the common fields; null when the pool is empty.
FxRecord* Shot_Effect(const vec3& position, const vec3& velocity, const vec3& acceleration, float size, int fade,
                      int blend, const char* material) {
  FxRecord* fx = Fx_Alloc();
  if (!fx) return nullptr;
  fx->position = position;
  fx->velocity = velocity;
  fx->acceleration = acceleration;
  fx->size = size;
  fx->startTime = float(Game_Time);
  fx->duration = 1.0f;
  for (float& c : fx->color) c = 255.0f;
  fx->fade = uint32_t(fade);
  fx->blendMode = uint32_t(blend);
  fx->material = uint32_t(Material_Load(material));
  fx->active = 1;
  return fx;
}

void Shot_Detonate(GameObject* o, const WeaponDef& w) {
  if (w.kind == 2 || w.kind == 4) {
    Sound_Play(w.explodSound, 1.0f, 10.0f, &o->origin.x, 2, 0);
    Person_SplashDamage(o, w.bulletDamage, w.bulletExplod, o->prop.weapon);
  }
  Shot_StopSound(o);
  o->person.state = 2;
  o->prop.hitTime = Game_Time;
}

// Sound follows the flying shot; a sound that ended is forgotten.
void Shot_UpdateSound(GameObject* o) {
  if (!o->prop.soundHandle) return;
  if (!Sound_CheckHandle(o->prop.soundHandle)) {
    o->prop.soundHandle = 0;
    return;
  }
  vec3 v = Scale(Velocity(o), 10.0f);
  Sound_SetParams(o->prop.soundHandle, 1.0f, o->prop.soundMinDist, &o->origin.x, &v.x);
}

void Shot_Smoke(GameObject* o, const WeaponDef& w) {
  if (!w.smoke) return;
  vec3 at = Add(o->origin, o->prop.effectOffset);
  vec3 pos{at.x + Rand() * 10.0f, at.y + Rand() * 10.0f, at.z + Rand() * 10.0f};
  vec3 vel{Rand() * 2.5f, Rand() * 2.5f, Rand() * 2.5f};
  const float r5 = std::sqrt(5.0f);
  vec3 acc{Rand() * r5 * 2.5f, Rand() * r5 * 2.5f, r5 * 5.0f};
  Shot_Effect(pos, vel, acc, 25.0f, 1, 1, "textures\\explod");
}

bool IsCharacter(const GameObject* t) {
  return t->classNum == MACHINEPLAYER || t->classNum == NETPLAYER || t->classNum == NPC;
}

// The record left where a shot struck a character: blood, or a flash for those that do not bleed.
void Shot_HitCharacter(const GameObject* t, const vec3& pos, const vec3& vel) {
  bool marked = (t->classNum == NPC && !(t->bot.acfFlags & 0x100000)) || t->classNum == NETPLAYER ||
                (t == Obj_Player && t->person.carIndex == 0);
  if (!marked) return;
  float size = 12.0f;
  int blend = 5;
  const char* material = "textures\\blood";
  if (t->classNum == NPC && t->npcControl == 12) {
    blend = 1;
    material = "textures\\explod";
  } else if (t->classNum == NPC && t->npcControl == 13 && ((t->bot.acfFlags & 0x1000) || t->person.carIndex != 0)) {
    blend = 1;
    material = "textures\\explod";
    size = 20.0f;
  } else if (t->classNum == NPC && t->person.noBlood) {
    blend = 1;
    material = "textures\\explod";
  }
  Shot_Effect(pos, vel, vec3{0, 0, -100.0f}, size, 0, blend, material);
}

}  // namespace

bool Pulka_SomethingNear(GameObject* o, float radius) {
  static GameObject* found[kGridCells * kGridCellObjects];
  vec3 lo{o->origin.x - radius, o->origin.y - radius, o->origin.z};
  vec3 hi{o->origin.x + radius, o->origin.y + radius, o->origin.z};
  int n = Tick_GridCollect(&lo, &hi, found, int(sizeof found / sizeof found[0]));
  for (int i = 0; i < n; i++) {
    GameObject* c = found[i];
    if (c == o || c == Obj_Player || !(c->flags & OBJ_ACTIVE) || (c->bot.acfFlags & 0x1000)) continue;
    vec3 d = Sub(c->origin, o->origin);
    if (Dot(d, d) < radius * radius) return true;
  }
  return false;
}

GameObject* Pulka_Spawn(const char* name, const float viewBox[6], int32_t, const char* text, uint32_t owner,
                        const vec3* origin, int32_t, const vec3* velocity, const vec3* angles, int32_t weapon) {
  if (!WeaponValid(weapon) || !origin || !velocity || !angles) {
    Log_Printf("Pulka_Spawn: weapon %i is not 0..%i\n", int(weapon), kWeaponDefs - 1);
    return nullptr;
  }
  GameObject* o = Obj_Alloc();
  if (!o) return nullptr;
  const WeaponDef& w = Def_Weapons[weapon];
  std::snprintf(o->person.name, sizeof o->person.name, "%s", name ? name : "");
  std::snprintf(o->person.dialogueCue, sizeof o->person.dialogueCue, "%s", text ? text : "");
  o->prop.modelName[0] = o->prop.clipName[0] = o->prop.clip2Name[0] = 0;
  o->classNum = PULKA;
  o->prop.weapon = weapon;
  Load_ObjectX(o);
  o->owner = owner;
  o->person.health = 100000.0f;
  o->person.state = 1;
  o->flags = 33;
  if (viewBox) std::memcpy(o->viewBox, viewBox, sizeof o->viewBox);
  o->viewFar = w.size;
  float life = w.bulletLifetime;
  if (life == 0) life = w.kind == 5 ? 5.0f : w.kind == 1 ? 4.0f : w.kind == 4 ? 10.0f : 20.0f;
  o->prop.lifetime = life;
  o->origin = *origin;
  Velocity(o) = *velocity;
  o->prop.acceleration = vec3{0, 0, 1.0f - kShotGravity * w.gravity};
  o->angles = o->prop.launchAngles = *angles;
  o->prop.angularVelocity = vec3{0, 0, 0};
  o->prop.spawnTime = float(Game_Time);
  o->prop.poseOrigin = *origin;
  o->prop.poseAngles = *angles;
  o->prop.poseScale = vec3{1, 1, 1};
  o->prop.effectOffset = vec3{0, 0, 0};
  o->prop.soundMinDist = 5.0f;
  o->prop.soundHandle = w.flySound[0] ? Sound_Play(w.flySound, 1.0f, 5.0f, &origin->x, 3, 0) : 0;
  return o;
}

float Pulka_TraceBodies(const vec3* start, const vec3* end, TraceResult* out, int* body) {
  constexpr float kEps = 0.03125f;
  *out = TraceResult{};
  out->fraction = 1.0f;
  *body = -1;
  for (int b = 0; b < Physics_BodyCount && b < kPhysicsBodies; b++) {
    const PhysicsBodyRecord& r = Physics_Bodies[b];
    if (!r.used) continue;
    const float* m = r.rotation;
    vec3 s = Sub(*start, r.position), e = Sub(*end, r.position);
    // Into the box's frame: the rows are its axes.
    float ls[3], le[3];
    for (int k = 0; k < 3; k++) {
      ls[k] = m[3 * k] * s.x + m[3 * k + 1] * s.y + m[3 * k + 2] * s.z;
      le[k] = m[3 * k] * e.x + m[3 * k + 1] * e.y + m[3 * k + 2] * e.z;
    }
    const float half[3] = {r.halfExtents.x * 16.0f, r.halfExtents.y * 16.0f, r.halfExtents.z * 16.0f};
    float enter = 0, leave = 1;
    int axis = -1;
    float sign = 0;
    bool miss = false;
    for (int plane = 0; plane < 6 && !miss; plane++) {
      int k = plane >> 1;
      float dir = (plane & 1) ? -1.0f : 1.0f;
      float ds = dir * ls[k] - half[k], de = dir * le[k] - half[k];
      if (ds > 0 && de >= ds) miss = true;
      if (miss || (ds <= 0 && de <= 0)) continue;
      if (ds > de) {
        float f = std::fmin(std::fmax((ds - kEps) / (ds - de), 0.0f), 1.0f);
        if (f > enter || axis < 0) {
          enter = std::fmax(enter, f);
          axis = k;
          sign = dir;
        }
      } else {
        float f = std::fmin(std::fmax((ds + kEps) / (ds - de), 0.0f), 1.0f);
        if (f < leave) leave = f;
      }
      if (ds > 0 && de > 0) miss = true;
    }
    if (miss || axis < 0 || enter > leave || enter >= out->fraction) continue;
    out->fraction = enter;
    // The face normal back in the world: the box axis row times the sign.
    out->normal = vec3{m[3 * axis] * sign, m[3 * axis + 1] * sign, m[3 * axis + 2] * sign};
    *body = b;
  }
  out->end = Add(*start, Scale(Sub(*end, *start), out->fraction));
  out->part = *body;
  return out->fraction;
}

float Pulka_SkillFactor(const GameObject* owner, int skillClass) {
  static const int kSkillOfClass[kHudDamageKinds] = {0, 1, 2, 3, 5, 4};
  if (Game_NetMode != 0 || !owner || owner != Obj_Player || skillClass < 0 || skillClass >= kHudDamageKinds)
    return 1.0f;
  float s = owner->person.skills[kSkillOfClass[skillClass]];
  const float* a = Hud_Settings.damage[skillClass];
  if (s < 10) return a[0];
  if (s < 100) return a[0] + (a[1] - a[0]) * (s - 10) / 90;
  if (s < 200) return a[1] + (a[2] - a[1]) * (s - 100) / 100;
  if (s < 300) return a[2] + (a[3] - a[2]) * (s - 200) / 100;
  return a[4];
}

void Pulka_Think(GameObject* o) {
  if (!(o->flags & OBJ_ACTIVE)) return;
  PropState& p = o->prop;
  double now = Game_Time;
  float dt = float(Game_Step);
  if (p.spawnTime + p.lifetime < now) {
    Shot_Remove(o);
    return;
  }
  if (!WeaponValid(p.weapon)) {
    Shot_Remove(o);
    return;
  }
  const WeaponDef& w = Def_Weapons[p.weapon];
  if (o->person.state == 2) {
    if (p.hitTime + w.removeTime < now) Shot_Remove(o);
    return;
  }
  if (o->person.state != 1 || dt <= 0) return;
  if (p.spawnTime + w.bulletExplodTime < now ||
      (w.sensorDist > 0 && p.spawnTime + 1.0 < now && Pulka_SomethingNear(o, w.sensorDist))) {
    Shot_Detonate(o, w);
    return;
  }

  vec3& vel = Velocity(o);
  vec3 start = o->origin;
  vec3 end = Add(start, Scale(vel, dt));
  vec3 zero{0, 0, 0};
  TraceResult tr;
  Obj_Trace(&tr, o, &start, &zero, &zero, &end, 15);

  GameObject* owner = o->owner ? Obj_FindById(o->owner) : nullptr;
  if (owner && owner == Obj_Player && w.kind != 2 && w.kind != 4) {
    TraceResult bodyHit;
    int body;
    // A body's own object (its clip box, which does not turn with it) does not shield the body.
    float bodyFraction = Pulka_TraceBodies(&start, &end, &bodyHit, &body);
    if (body >= 0 && (bodyFraction < tr.fraction || (tr.hitObject && tr.hitObject == Physics_Bodies[body].owner))) {
      vec3 dir = vel;
      Vec_Normalize(&dir);
      vec3 impulse = Scale(dir, w.physics);
      Physics_PushObjectBody(body, &impulse.x, &bodyHit.end.x, 0);
      vec3 at = Sub(bodyHit.end, Scale(dir, 4.0f));
      vec3 pos{at.x + Rand() * 4.0f, at.y + Rand() * 4.0f, at.z + Rand() * 4.0f};
      vec3 v{Rand() - 20.0f * dir.x, Rand() - 20.0f * dir.y, Rand() - 20.0f * dir.z};
      bool flesh = Physics_Bodies[body].flags & PHYS_FLESH;
      Shot_Effect(pos, v, vec3{0, 0, -100.0f}, flesh ? 3.0f : 10.0f, 0, flesh ? 5 : 1,
                  flesh ? "textures\\blood" : "textures\\explod");
      Shot_Remove(o);
      return;
    }
  }

  GameObject* target = tr.hitObject;
  if (tr.fraction >= 1.0f || !target) {
    o->origin = end;
    vel = Add(vel, Scale(p.acceleration, dt));
    o->angles = Add(o->angles, Scale(p.angularVelocity, dt));
    Shot_UpdateSound(o);
    Shot_Smoke(o, w);
    return;
  }
  if (w.bounce != 0 && !IsCharacter(target)) {
    o->origin = Add(start, Scale(Sub(end, start), tr.fraction));
    vec3 v = vel;
    float speed = float(Vec_Normalize(&v));
    vec3 r = Sub(v, Scale(tr.normal, 2.0f * Dot(v, tr.normal)));
    vel = Scale(r, speed * w.bounce);
    p.angularVelocity = vec3{kMathPi, kMathPi, kMathPi};
    vel = Add(vel, Scale(p.acceleration, dt));
    Shot_UpdateSound(o);
    Shot_Smoke(o, w);
    return;
  }

  // Impact.
  Shot_StopSound(o);
  vec3 dir = vel;
  Vec_Normalize(&dir);
  o->origin = Sub(tr.end, Scale(dir, 2.0f));
  Vec_ToAngles(&tr.normal, &o->angles);
  o->angles.z = Math_RandNext() * kTwoPi;
  p.angularVelocity = vec3{0, 0, 0};
  o->person.state = 2;
  p.hitTime = now;
  float damage = w.bulletDamage * Pulka_SkillFactor(owner, w.skill);
  if (target == Obj_Player && owner && owner->classNum == NPC) damage *= 0.5f;
  if (w.kind == 5 || w.kind == 1) {
    const bool hadBody = Physics_ObjectBody(target) >= 0;
    target->slots.Damage(target, o, damage, tr.factor, nullptr, p.weapon, tr.part);
    // A hit that kills a character makes its body only now: the bullet's push goes to it here,
    // along the shot where it struck, but no lower than high on the body (the dying man's legs
    // give way), so the dead fall over along the shot rather than slide.
    if (!hadBody) Person_PushBodyHigh(target, Scale(dir, w.physics), tr.end);
  } else if (w.kind == 2 || w.kind == 4) {
    Sound_Play(w.explodSound, 1.0f, 10.0f, &o->origin.x, 2, 0);
    Person_SplashDamage(o, damage, w.bulletExplod, p.weapon);
  }
  vec3 pos{tr.end.x + Rand() * 4.8f, tr.end.y + Rand() * 4.8f, tr.end.z + Rand() * 4.8f};
  vec3 v{Rand() * 1.2f, Rand() * 1.2f, Rand() * 1.2f};
  if (!IsCharacter(target)) {
    v = Add(v, Scale(tr.normal, 20.0f));
    Shot_Effect(pos, v, vec3{0, 0, 0}, 12.0f, 1, 1, "textures\\explod");
    return;
  }
  Shot_HitCharacter(target, pos, v);
  if (w.kind == 5 || w.kind == 1) Shot_Remove(o);
}

static void Shot_DrawModel(ModelObject** cache, const char* name, GameObject* o, const vec3& angles, float time,
                           ViewParams* view) {
  if (!name[0]) return;
  if (!*cache) *cache = Model_Find(name);
  if (!*cache) return;
  ModelDrawParams params{};
  params.position = o->prop.poseOrigin;
  params.angles = angles;
  params.scale = vec3{1, 1, 1};
  params.drawValues[0] = 1.0f;
  params.farDistance = o->viewFar;
  params.lightingMode = 1;
  float saved = view ? view->time : 0;
  if (view) view->time = time;
  (*cache)->Draw(*cache, &params, view);
  if (view) view->time = saved;
}

void Pulka_Draw(GameObject* o, ViewParams* view) {
  if (!(o->flags & OBJ_ACTIVE) || !WeaponValid(o->prop.weapon)) return;
  WeaponDef& w = Def_Weapons[o->prop.weapon];
  vec3 facing = view ? view->angles : vec3{0, 0, 0};
  if (o->person.state == 1) {
    float time = float(Game_Time) - o->prop.spawnTime;
    Shot_DrawModel(&w.bulletModel, w.bulletModelName, o, o->prop.poseAngles, time, view);
    Shot_DrawModel(&w.bulletModel2, w.bulletModel2Name, o, facing, time, view);
  } else if (o->person.state == 2) {
    float time = float(Game_Time - o->prop.hitTime);
    Shot_DrawModel(&w.explodModel, w.explodModelName, o, o->prop.poseAngles, time, view);
    Shot_DrawModel(&w.explodModel2, w.explodModel2Name, o, facing, time, view);
  }
}

void Pulka_Info(GameObject* o, const void* rq, void* reply) { Obj_InfoReply(o, rq, reply, "PULKA", true); }

void Gilza_Think(GameObject* o) {
  PropState& p = o->prop;
  float dt = float(Game_Step);
  if (p.spawnTime + p.lifetime < Game_Time) {
    Obj_RequestDelete(o);
    return;
  }
  p.acceleration.z -= kShotGravity;
  vec3& vel = Velocity(o);
  vel = Add(vel, Scale(p.acceleration, dt));
  p.acceleration = vec3{0, 0, 0};
  o->angles = Add(o->angles, Scale(p.angularVelocity, dt));
  vec3 start = o->origin, end = Add(start, Scale(vel, dt)), zero{0, 0, 0};
  TraceResult tr;
  Obj_Trace(&tr, o, &start, &zero, &zero, &end, 15);
  o->origin = tr.end;
  if (tr.fraction < 1.0f && o->slots.Contact) {
    PhysicsContact contact{tr.hitObject, Physics_ObjectBody(tr.hitObject), tr.end, tr.normal, tr.fraction, vel};
    o->slots.Contact(o, &contact);
  }
}

void Gilza_Bounce(GameObject* o, const TraceResult* hit) {
  vec3& vel = Velocity(o);
  vec3 v = vel;
  float speed = float(Vec_Normalize(&v));
  vec3 r = Sub(v, Scale(hit->normal, 2.0f * Dot(v, hit->normal)));
  vel = Scale(r, speed * 0.5f);
  if (hit->fraction > 0.01f) {
    o->prop.angularVelocity = vec3{Math_RandNext() * 20.0f, Math_RandNext() * 20.0f, Math_RandNext() * 20.0f};
  } else {
    o->prop.angularVelocity = vec3{0, 0, 0};
    o->angles.y = o->angles.z = 0;
  }
}

// A casing's contacts come from its own trace (Gilza_Think).
void Gilza_Contact(GameObject* o, PhysicsContact* contact) {
  if (!contact) return;
  TraceResult hit{};
  hit.fraction = contact->fraction;
  hit.end = contact->point;
  hit.normal = contact->normal;
  hit.hitObject = contact->other;
  Gilza_Bounce(o, &hit);
}

void Gilza_Draw(GameObject* o, ViewParams* view) {
  if (!(o->flags & OBJ_ACTIVE) || !o->drawModel) return;
  ModelDrawParams params{};
  params.position = o->origin;
  params.angles = o->angles;
  params.scale = vec3{1, 1, 1};
  params.drawValues[0] = 1.0f;
  params.farDistance = o->viewFar;
  params.lightingMode = 1;
  o->drawModel->Draw(o->drawModel, &params, view);
}

void Gilza_Info(GameObject* o, const void* rq, void* reply) { Obj_InfoReply(o, rq, reply, "GILZA", true); }
