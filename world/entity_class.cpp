// What a closed entity block makes: the level's tables and the scenery and character objects.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "characters/inventory.h"
#include "characters/npc.h"
#include "characters/person.h"
#include "foundation/log.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"
#include "world/props.h"

PlayerStartRecord Level_PlayerStart;
DeathmatchStart Level_DmStarts[kDeathmatchStarts];
int32_t Level_DmStartCount;
SoundEmitter Level_Emitters[kSoundEmitters];
int32_t Level_EmitterCount;

// ---- Emitter image --------------------------------------------------------------------------------

static void PutF32(uint8_t* out, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  for (int i = 0; i < 4; i++) out[i] = uint8_t(u >> (8 * i));
}
static float GetF32(const uint8_t* in) {
  uint32_t u = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
  float v;
  std::memcpy(&v, &u, 4);
  return v;
}

void SoundEmitter_Write(const SoundEmitter* e, uint8_t out[kSoundEmitterImageSize]) {
  std::memcpy(out, e->name, 64);
  PutF32(out + 64, e->volume);
  PutF32(out + 68, e->mindist);
  PutF32(out + 72, e->origin.x);
  PutF32(out + 76, e->origin.y);
  PutF32(out + 80, e->origin.z);
  std::memcpy(out + 84, e->id, 64);
}

void SoundEmitter_Read(SoundEmitter* e, const uint8_t in[kSoundEmitterImageSize]) {
  std::memcpy(e->name, in, 64);
  e->name[63] = 0;
  e->volume = GetF32(in + 64);
  e->mindist = GetF32(in + 68);
  e->origin = vec3{GetF32(in + 72), GetF32(in + 76), GetF32(in + 80)};
  std::memcpy(e->id, in + 84, 64);
  e->id[63] = 0;
}

// ---- Helpers --------------------------------------------------------------------------------------

// Bounded copy that always ends with a NUL (the template's fields may be wider than the object's).
static void CopyText(char* to, size_t size, const char* from) {
  size_t n = from ? strnlen(from, size - 1) : 0;
  if (n) std::memcpy(to, from, n);
  to[n] = 0;
}
template <size_t N>
static void CopyText(char (&to)[N], const char* from) {
  CopyText(to, N, from);
}

// A fog colour component as a byte: the integer part, kept within 0..255.
static uint8_t FogByte(float v) {
  if (!(v > 0)) return 0;
  if (v >= 255.0f) return 255;
  return uint8_t(int(v));
}

// The spawn trace of one block, gathered and written at once.
struct EntTrace {
  char text[8192];
  size_t n = 0;
  void Put(const char* s) {
    size_t len = strnlen(s, sizeof text - 1 - n);
    std::memcpy(text + n, s, len);
    n += len;
  }
  void Line(const char* key, const char* value) {
    Put(key);
    Put(" ");
    Put(value);
    Put("\n");
  }
  // " %5.2f" for values of ordinary size; others as printf writes them.
  void Fixed(float v) {
    char buffer[64];
    if (std::fabs(v) < 1e9f) {
      long long hundredths = std::llround(double(v) * 100.0);
      bool negative = hundredths < 0 || (hundredths == 0 && std::signbit(v));
      unsigned long long a = (unsigned long long)(hundredths < 0 ? -hundredths : hundredths);
      // Digits from the right: two decimals, the point, the integer part, the sign.
      char digits[32];
      int at = sizeof digits;
      digits[--at] = char('0' + a % 10);
      digits[--at] = char('0' + a / 10 % 10);
      digits[--at] = '.';
      unsigned long long whole = a / 100;
      do {
        digits[--at] = char('0' + whole % 10);
        whole /= 10;
      } while (whole);
      if (negative) digits[--at] = '-';
      int len = int(sizeof digits) - at;
      int b = 0;
      buffer[b++] = ' ';
      for (int pad = len; pad < 5; pad++) buffer[b++] = ' ';
      std::memcpy(buffer + b, digits + at, size_t(len));
      buffer[b + len] = 0;
    } else {
      std::snprintf(buffer, sizeof buffer, " %5.2f", v);
    }
    Put(buffer);
  }
  void Vec(const char* key, const vec3& v) {
    Put(key);
    Fixed(v.x);
    Fixed(v.y);
    Fixed(v.z);
    Put("\n");
  }
};

static void Ent_Trace(EntTrace& out, const SpawnTemplate* t) {
  out.Line("classname", t->classname);
  const vec3 zero{0, 0, 0};
  if (std::memcmp(&t->origin, &zero, sizeof zero) != 0) out.Vec("origin", t->origin);
  if (std::memcmp(&t->angle, &zero, sizeof zero) != 0) out.Vec("angle", t->angle);
  if (t->id[0]) out.Line("id", t->id);
  if (t->name[0][0]) out.Line("name", t->name[0]);
  if (t->solid[0]) out.Line("solid", t->solid);
  if (t->shot[0]) out.Line("shot", t->shot);
  if (t->skel[0]) out.Line("skel", t->skel);
  for (int i = 0; i < kEntAnims; i++)
    if (t->anim[i][0]) {
      char key[16];
      std::snprintf(key, sizeof key, "anim[%i]", i);
      out.Line(key, t->anim[i]);
    }
  if (t->sound[0]) out.Line("sound", t->sound);
}

// The set-up shared by the scenery spawners once the class is bound.
static void Ent_CommonSetup(GameObject* o, const SpawnTemplate* t, const vec3& angles, const vec3& scale) {
  o->owner = o->id;
  o->flags = 33;
  o->person.health = 100000.0f;
  o->person.state = 1;
  o->drawZone = 0;
  o->prop.spawnTime = float(Game_Time);
  o->prop.lifetime = 1000000.0f;
  std::memcpy(o->viewBox, t->viewbox, sizeof o->viewBox);
  o->viewFar = t->viewfar;
  o->origin = o->prevOrigin = t->origin;
  o->person.velocity[0] = o->person.velocity[1] = o->person.velocity[2] = 0;
  o->angles = angles;
  o->prop.poseOrigin = t->origin;
  o->prop.poseAngles = angles;
  o->prop.poseScale = scale;
  o->prop.poseOffset = vec3{0, 0, 0};
}

static GameObject* Ent_NewObject(const SpawnTemplate* t, const char* who) {
  GameObject* o = Obj_Alloc();
  if (!o) {
    Log_Printf("%s: no object for [%s]\n", who, t->id);
    return nullptr;
  }
  if (t->id[0]) CopyText(o->person.name, t->id);
  return o;
}

static void Ent_CopyModels(GameObject* o, const SpawnTemplate* t) {
  CopyText(o->prop.modelName, t->name[0]);
  CopyText(o->prop.clipName, t->solid);
  CopyText(o->prop.clip2Name, t->shot);
}

// ---- Spawners -------------------------------------------------------------------------------------

GameObject* World_Spawn(const SpawnTemplate* t) {
  GameObject* o = Ent_NewObject(t, "World_Spawn");
  if (!o) return nullptr;
  PropState& p = o->prop;
  Ent_CopyModels(o, t);
  CopyText(p.physicsName, t->physics);
  CopyText(o->person.dialogueCue, t->dialog);
  for (int s = 0; s < 2; s++) {
    const float* c = &t->fogcolor[s].x;
    for (int i = 0; i < 3; i++) p.fogColor[s][i] = FogByte(c[i]);
    p.fogStart[s] = t->fogstart[s];
    p.fogEnd[s] = t->fogend[s];
  }
  CopyText(o->useGroupName, t->trigger);
  CopyText(p.triggerCommand, t->triggercommand);
  CopyText(p.triggerCommandText, t->triggercommandtext);
  o->classNum = WORLD;
  Load_ObjectX(o);
  Ent_CommonSetup(o, t, t->angle, vec3{1, 1, 1});
  CopyText(o->person.itemText, t->command);
  // A use script lets the use key reach the object's own use (a pickup is taken so).
  CopyText(o->useScript, t->use_quest);
  CopyText(o->useArgument, t->use_text);
  p.solid = t->blocked;
  p.visible = t->drawed;
  std::memcpy(o->clipBox, t->clipbox, sizeof o->clipBox);
  std::memcpy(o->clipBox2, t->clipbox, sizeof o->clipBox2);
  o->hasClipBox = t->solidbox;
  p.friction = t->friction;
  p.damageOnTouch = t->damage_on_touch;
  CopyText(p.stepSound, t->stepsound);
  CopyText(p.projectMap, t->project_map);
  p.projectOrigin = t->project_origin;
  p.dynamicLight = std::isfinite(t->dinamiclight) && std::fabs(t->dinamiclight) < 2e9f ? int32_t(t->dinamiclight) : 0;
  o->person.respawnTime = t->respawntime == 0 ? 20.0f : t->respawntime;
  CopyText(p.drawOn, t->drawon);
  CopyText(p.drawOff, t->drawoff);
  CopyText(p.sound, t->sound);
  Inv_AddFromText(&o->person, t->inventorys);
  World_SetCtfRole(o);
  World_InitPhysics(o);
  return o;
}

GameObject* Areol_Spawn(const SpawnTemplate* t) {
  GameObject* o = Ent_NewObject(t, "Areol_Spawn");
  if (!o) return nullptr;
  CopyText(o->prop.modelName, t->name[0]);
  CopyText(o->prop.lens, t->lens);
  CopyText(o->prop.glare, t->glare);
  o->classNum = AREOL;
  Load_ObjectX(o);
  Ent_CommonSetup(o, t, vec3{0, 0, 0}, t->scale);
  o->prop.solid = 0;
  o->prop.visible = 1;
  return o;
}

GameObject* AnimObj_Spawn(const SpawnTemplate* t) {
  GameObject* o = Ent_NewObject(t, "AnimObj_Spawn");
  if (!o) return nullptr;
  PropState& p = o->prop;
  Ent_CopyModels(o, t);
  CopyText(o->person.dialogueCue, t->dialog);
  CopyText(p.skelName, t->skel);
  for (int i = 0; i < kPropAnims; i++) {
    CopyText(p.anims[i], t->anim[i]);
    p.speedFrames[i] = t->speedframe[i];
  }
  CopyText(p.particlesTexture, t->particlestexture);
  CopyText(p.particlesParent, t->particlesparent);
  p.particlesOrigin = t->particlesorigin;
  p.particlesScale = t->particlesscale;
  p.particlesFade = t->particlesfade;
  std::memcpy(p.particlesColor, t->particlescolor, sizeof p.particlesColor);
  o->classNum = ANIM;
  Load_ObjectX(o);
  Ent_CommonSetup(o, t, t->angle, vec3{1, 1, 1});
  p.solid = t->blocked;
  p.visible = t->drawed;
  CopyText(p.sound, t->sound);
  p.friction = t->friction;
  CopyText(p.stepSound, t->stepsound);
  o->removeRequest = t->igv;
  p.lastEmission = float(Game_Time);
  return o;
}

GameObject* Door_Spawn(const SpawnTemplate* t) {
  GameObject* o = Ent_NewObject(t, "Door_Spawn");
  if (!o) return nullptr;
  PropState& p = o->prop;
  std::memcpy(o->viewBox, t->viewbox, sizeof o->viewBox);
  o->viewFar = t->viewfar;
  CopyText(p.killog, t->killog);
  for (int i = 0; i < kPropDoorPoints; i++) {
    p.doorA[i] = t->begin[i];
    p.doorB[i] = t->end[i];
  }
  p.wait = t->wait;
  p.pause = t->pause;
  p.drawMove = t->drawmove;
  Ent_CopyModels(o, t);
  std::memcpy(o->clipBox, t->clipbox, sizeof o->clipBox);
  std::memcpy(o->clipBox2, t->clipbox, sizeof o->clipBox2);
  o->hasClipBox = t->solidbox;
  p.solid = t->blocked;
  p.visible = t->drawed;
  p.friction = t->friction;
  CopyText(p.stepSound, t->stepsound);
  CopyText(p.sound, t->sound);
  CopyText(p.sound2, t->sound2);
  p.soundOrigin = t->soundorigin;
  p.minDist = t->mindist;
  CopyText(p.conditions, t->conditions);
  CopyText(p.command, t->command);
  CopyText(o->useGroup2Name, t->door_trigger);
  CopyText(o->useGroupName, t->trigger);
  CopyText(p.triggerCommand, t->triggercommand);
  CopyText(p.triggerCommandText, t->triggercommandtext);
  o->classNum = FUNC_DOOR;
  o->origin = p.doorA[0];  // the door stands at its first point until it moves
  Load_ObjectX(o);
  o->owner = o->id;
  o->flags = 33;
  o->person.health = 100000.0f;
  p.lifetime = 1000000.0f;
  o->person.state = 1;
  p.point = p.nextPoint = p.targetPoint = 0;
  p.t = 0;
  p.pauseTimer = 0;
  p.poseOrigin = p.doorA[0];
  p.poseScale = vec3{1, 1, 1};
  p.spawnTime = float(Game_Time);
  return o;
}

void Ent_NpcValues(const SpawnTemplate* t, NpcSpawnValues* out) {
  NpcSpawnValues& v = *out;
  v = NpcSpawnValues{};
  v.viewbox = t->viewbox;
  v.viewfar = t->viewfar;
  v.dialog = t->dialog;
  v.killog = t->killog;
  v.origin = t->origin;
  v.angle = t->angle.x * (180.0f / kMathPi);  // the character takes its yaw in degrees
  for (int i = 0; i < kEntLods; i++) {
    v.names[i] = t->name[i];
    v.names[kEntLods + i] = t->secondname[i];
  }
  v.changetextures = t->changetextures;
  for (int i = 0; i < kEntLods; i++) {
    v.lodmindist[i] = t->lodmindist[i];
    v.lodmaxdist[i] = t->lodmaxdist[i];
    v.deadname[i] = t->deadname[i];
  }
  v.weaponmodelname = t->weaponmodelname;
  v.firemodelname = t->firemodelname;
  v.shadowname = t->shadowname;
  v.solid = t->solid;
  v.shot = t->shot;
  v.clipbox = t->clipbox;
  v.solidbox = t->solidbox;
  v.physics = t->physics;
  v.skel = t->skel;
  for (int i = 0; i < kNpcAnims; i++) {
    v.anim[i] = t->anim[i];
    v.speedframe[i] = t->speedframe[i];
  }
  v.kicktime = t->kicktime;
  v.kicktime2 = t->kicktime2;
  v.deadexplodweaponname = t->deadexplodweaponname;
  v.deadexplodeorigin = t->deadexplodeorigin;
  v.deadexplodetime = t->deadexplodetime;
  v.particlestexture = t->particlestexture;
  v.particlesparent = t->particlesparent;
  v.particlesorigin = t->particlesorigin;
  v.particlesscale = t->particlesscale;
  v.particlesfade = float(t->particlesfade);
  std::memcpy(v.particlescolor, t->particlescolor, sizeof v.particlescolor);
  v.blocked = t->blocked;
  v.drawed = t->drawed;
  v.inventorys = t->inventorys;
  v.path = t->path;
  v.pathend = t->pathend;
  v.health = t->health;
  v.panichealth = t->panichealth;
  v.awayhealth = t->awayhealth;
  v.aistate = Ent_AiStateNames[t->aistate >= 0 && t->aistate < 14 ? t->aistate : 0];
  v.aiorigin = t->aiorigin;
  v.aiobject = t->aiobject;
  v.agressive_on = t->agressive_on;
  v.ai_detect_fov = t->ai_detect_fov;
  v.ai_detect_dist = t->ai_detect_dist;
  v.ai_detect_step = t->ai_detect_step;
  v.ai_hear = t->ai_hear;
  v.ai_agressive = t->ai_agressive;
  v.sound_dead = t->sound_dead;
  v.sound_walk = t->sound_walk;
  for (int i = 0; i < 2; i++) {
    v.sound_pain[i] = t->sound_pain[i];
    v.sound_alarm[i] = t->sound_alarm[i];
    v.sound_taunt[i] = t->sound_taunt[i];
    v.sound_idle[i] = t->sound_idle[i];
    v.sound_panic[i] = t->sound_panic[i];
  }
  v.mindist = t->mindist;
  v.holdweapon = t->holdweapon;
  v.teamname = t->teamname;
  v.aiscript = t->aiscript;
  v.car = t->car;
  v.weight = t->weight;
  v.use_quest = t->use_quest;
  v.use_text = t->use_text;
  v.sex = t->sex;
  v.group = t->group;
  v.car_usable = t->car_usable;
  v.noBlood = t->noBlood;
}

GameObject* Ent_SpawnNpcFromTemplate(const SpawnTemplate* t) {
  NpcSpawnValues v;
  Ent_NpcValues(t, &v);
  GameObject* o = Npc_Spawn(&v);
  // The entity id names the character.
  if (o && t->id[0]) CopyText(o->person.name, t->id);
  return o;
}

// ---- class_support --------------------------------------------------------------------------------

static void Ent_AddLight(const SpawnTemplate* t) {
  if (Light_Count < 0 || Light_Count >= kLightRecords) return;
  LightRecord& l = Light_Table[Light_Count++];
  l = LightRecord{};
  CopyText(l.id, t->id);
  l.light = t->light_light;
  l.origin = t->light_origin;
  l.radius = t->light_light_radius;
  l.lightOrigin = t->light_light_origin;
  l.center = t->light_light_center;
  l.color = t->light_color;
  l.noShadows = t->light_noshadows;
  l.noDiffuse = t->light_nodiffuse;
  l.noSpecular = t->light_nospecular;
  l.falloff = t->light_falloff;
  CopyText(l.texture, t->light_texture);
  CopyText(l.model, t->light_model);
  CopyText(l.shadowShader, t->light_s_shader);
  l.shadowVolume = t->light_s_volume;
  l.target = t->light_light_target;
  l.up = t->light_light_up;
  l.right = t->light_light_right;
  l.start = t->light_light_start;
  l.end = t->light_light_end;
  std::memcpy(l.rotation, t->light_rotation, sizeof l.rotation);
  std::memcpy(l.shaderParms, t->light_shaderparm, sizeof l.shaderParms);
}

void class_support() {
  const SpawnTemplate* t = &Ent_Template;
  int cls = Ent_FindClass(t->classname);
  {
    EntTrace trace;
    trace.Put("{\n");
    Ent_Trace(trace, t);
    Ent_Write(trace.text, trace.n);
  }
  enum { START = 1, DEATHMATCH, SOUND, WORLDC, SKY, AREOLC, ANIMC, DOOR, NPCC, LIGHT };
  if (cls >= SOUND && cls != SKY && cls != LIGHT && !Ent_SpawnflagsAllow(t->spawnflags)) cls = -1;
  switch (cls) {
    case 0:
      Ent_Printf("class_support: unkonwn class %s\n", t->classname);
      break;
    case START:
      Level_PlayerStart.origin = t->origin;
      Level_PlayerStart.angles = t->angle;
      Level_PlayerStart.count++;
      break;
    case DEATHMATCH:
      if (Level_DmStartCount >= 0 && Level_DmStartCount < kDeathmatchStarts)
        Level_DmStarts[Level_DmStartCount++] = DeathmatchStart{t->origin, t->angle, t->team};
      break;
    case SOUND:
      if (t->name[0][0] && Level_EmitterCount >= 0 && Level_EmitterCount < kSoundEmitters) {
        SoundEmitter& e = Level_Emitters[Level_EmitterCount++];
        e = SoundEmitter{};
        CopyText(e.name, t->name[0]);
        e.volume = t->volume;
        e.mindist = t->mindist;
        e.origin = t->origin;
        CopyText(e.id, t->id);
      }
      break;
    case WORLDC:
      World_Spawn(t);
      break;
    case SKY:
      CopyText(Level_SkyName[0], t->name[0]);
      CopyText(Level_SkyName[1], t->secondname[0]);
      break;
    case AREOLC:
      Areol_Spawn(t);
      break;
    case ANIMC:
      AnimObj_Spawn(t);
      break;
    case DOOR:
      Door_Spawn(t);
      break;
    case NPCC:
      Ent_SpawnNpcFromTemplate(t);
      break;
    case LIGHT:
      Ent_AddLight(t);
      break;
    default:
      break;
  }
  Ent_Printf("}\n");
}
