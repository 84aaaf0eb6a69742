// Non-player characters (class NPC): spawned from an entity block, they stand looping their
// animation, draw the model of their distance band, take damage, and die with a last animation.
#pragma once
#include <cstdint>

#include "world/object.h"

void Npc_Animate(GameObject*);
void Npc_Draw(GameObject*, ViewParams*);
void Npc_Clip(GameObject*, TraceRequest*);
void Npc_Free(GameObject*);
void Npc_Think(GameObject*);
void Npc_Damage(GameObject*, GameObject*, float, float, const vec3*, int32_t, int32_t);
void Npc_Use(GameObject*, GameObject*, const char*);
void Npc_Info(GameObject*, const void*, void*);
void Npc_Init(GameObject*);
void Npc_PreSave(GameObject*);
void Npc_PostLoad(GameObject*);

// The values of an entity block that make a character, in the order the spawner hands them
// over. Texts may be null (empty); boxes are lowest then highest corner.
constexpr int kNpcAnims = 32;
struct NpcSpawnValues {
  int32_t id;
  const float* viewbox;  // 6 floats or null
  float viewfar;
  const char* dialog;
  const char* killog;
  vec3 origin;
  float angle;  // yaw, degrees
  const char* names[8];  // name, name1..name3 (the models of the four distance bands), then
                         // secondname, secondname1..secondname3
  const char* changetextures;
  float lodmindist[4];
  float lodmaxdist[4];
  const char* weaponmodelname;
  const char* firemodelname;
  const char* deadname[4];
  const char* shadowname;
  const char* solid;      // clip model name
  const char* shot;       // second clip model name (shots)
  const float* clipbox;   // 6 floats or null: both clip boxes
  int32_t solidbox;       // 1: traces clip the clip box; 0: the character's own box
  const char* physics;    // physics level name
  const char* skel;
  const char* anim[kNpcAnims];  // "anim", "anim1" (death), ...
  float speedframe[kNpcAnims];  // seconds of each animation
  float kicktime, kicktime2;
  const char* deadexplodweaponname;
  vec3 deadexplodeorigin;
  float deadexplodetime;
  const char* particlestexture;
  const char* particlesparent;
  vec3 particlesorigin;
  float particlesscale, particlesfade;
  float particlescolor[4];  // 0..255, the fourth is alpha
  int32_t blocked, drawed;
  const char* inventorys;
  const char* path;
  const char* pathend;
  float health, panichealth, awayhealth;
  const char* aistate;  // a start state name, "STAY" .. "BOT"
  vec3 aiorigin;
  const char* aiobject;
  int32_t agressive_on;
  float ai_detect_fov, ai_detect_dist, ai_detect_step, ai_hear, ai_agressive;
  const char* sound_dead;
  const char* sound_walk;
  const char* sound_pain[2];
  const char* sound_alarm[2];
  const char* sound_taunt[2];
  const char* sound_idle[2];
  const char* sound_panic[2];
  float mindist;
  int32_t holdweapon;
  const char* teamname;
  const char* aiscript;
  const char* car;
  float weight;
  const char* use_quest;
  const char* use_text;
  int32_t sex;  // 0 male, 1 female
  int32_t group;
  int32_t car_usable;
  int32_t noBlood;  // a hit shows a flash, never blood
};

// Makes and binds the character; null (logged) when no object can be had.
GameObject* Npc_Spawn(const NpcSpawnValues* values);
// AI start states, the index of the entity's "aistate" name.
enum NpcStartState : int32_t {
  NPC_STAY = 0, NPC_WALK_ORIGIN, NPC_WALK_OBJECT, NPC_RUN_ORIGIN, NPC_RUN_OBJECT, NPC_PATROL_ORIGIN,
  NPC_PATROL_OBJECT, NPC_PANIC, NPC_AWAY_ORIGIN, NPC_AWAY_OBJECT, NPC_WALK_RANDOM, NPC_WALK_CIVILIAN,
  NPC_CAR, NPC_BOT, kNpcStartStates
};
// The AI start state of a state name ("STAY" 0 .. "CAR" 12, "BOT" 13, any case), else 0.
int Npc_StateFromName(const char* name);
