// Entity text: blocks of quoted key/value pairs that place a level's starts, lights, sounds, sky,
// props, doors and characters. read_ent scans the text, block_support applies each pair to the
// spawn template, class_support turns each closed block into what its class makes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/vecmath.h"

// ---- Reader -------------------------------------------------------------------------------------

constexpr int kEntIncludeLevels = 4;   // the given text and three included files
constexpr int kEntTokenSize = 1024;    // 1,023 characters and the NUL
// What one read may include through "call": every call costs kEntCallCost bytes and then the
// bytes of its file. Calls made from included texts also spend the smaller nested budget. Past
// either budget the read goes on without those includes (one log line each).
constexpr uint32_t kEntReadIncludeBudget = 32u << 20;
constexpr uint32_t kEntIncludeBudget = 4u << 20;
constexpr uint32_t kEntCallCost = 256;

struct EntIncludeLevel {
  const uint8_t* text;
  uint32_t pos;
  uint32_t length;
};
struct EntIncludeStack {
  EntIncludeLevel levels[kEntIncludeLevels];
  int32_t top;  // 0..3; levels above 0 were read by "call" and belong to the reader
};
extern EntIncludeStack Ent_Includes;

// A caller that makes several reads as one piece of work (a quest script's run with the entities
// it spawns) bounds them together with this slot for that time: every include of those reads, its
// call cost and then its file, must also be granted by it (1), and once it refuses one (0) the read
// includes nothing more. The slot says its own refusals. Returns the slot it replaces; null: none.
using EntSpendFn = int (*)(uint32_t bytes, const char* name);
EntSpendFn Ent_SetOuterBudget(EntSpendFn fn);

// What the reader has included since start: the calls that read a file and the bytes of those
// files (the work a hostile text makes, for the tests to watch).
struct EntIncludeCount {
  uint64_t calls;
  uint64_t bytes;
};
extern EntIncludeCount Ent_Included;

// Reads the whole text (not NUL-terminated), spawning one entity per closed block with a class
// name. Always -1. A call made while a read runs (from a spawner) is refused with a line.
int read_ent(const char* text, uint32_t length);
// The next byte (0..255) of the top level, or -1 at the end of the outermost text; exhausted
// included texts are released on the way.
int Ent_ReadChar(EntIncludeStack* stack);
// Reads the named file (the name as given: callers add the extension) and runs read_ent on it.
void LoadObjects(const char* fileName);

// Where the reader's messages and the spawn trace go: standard output unless a sink is set
// (tests capture it, benchmarks discard it). Null restores standard output.
using EntOutputFn = void (*)(const char* text, size_t length, void* user);
void Ent_SetOutput(EntOutputFn fn, void* user);
void Ent_Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Ent_Write(const char* text, size_t length);

// ---- Keys and the spawn template ----------------------------------------------------------------

constexpr int kEntKeyCount = 250;
constexpr int kEntClassCount = 11;
constexpr int kEntAnims = 32;
constexpr int kEntDoorPoints = 8;
constexpr int kEntLods = 4;

// Every value an entity of any class can carry; reset to its defaults at each "{". Written only
// through block_support: a reset restores just the fields the block's pairs set.
struct SpawnTemplate {
  char classname[128];
  char id[256];
  vec3 origin, angle, start;
  int32_t spawnflags;
  char map[32];
  int32_t model, targetname, target;
  float speed, wait, pause, dmg, lip;
  int32_t style;
  vec3 rgb;
  vec3 begin[kEntDoorPoints], end[kEntDoorPoints];
  char name[kEntLods][64], secondname[kEntLods][64], deadname[kEntLods][64];
  char shadowname[64];
  float lodmindist[kEntLods], lodmaxdist[kEntLods];
  char weaponmodelname[64], firemodelname[64];
  char changetextures[1024];
  float volume;
  vec3 scale;
  int32_t blocked, drawed;
  int32_t startframe, endframe;
  float speedframe[kEntAnims];
  char skel[64];
  char anim[kEntAnims][64];
  char particlestexture[64], particlesparent[64];
  vec3 particlesorigin;
  float particlesscale;
  int32_t particlesfade;
  float particlescolor[4];
  char solid[64], shot[64], physics[64];
  char sound[64], sound2[64];
  char sound_walk[64], sound_dead[64];
  char sound_taunt[2][64], sound_alarm[2][64], sound_pain[2][64], sound_panic[2][64], sound_idle[2][64];
  vec3 soundorigin;
  char dialog[64], killog[64];
  float mindist;
  char command[256], use_quest[256], use_text[256];
  float friction, damage_on_touch;
  char stepsound[256], project_map[256];
  vec3 project_origin;
  char lens[256], glare[256];
  float dinamiclight;
  float viewbox[6];
  float viewfar;
  vec3 fogcolor[2];
  float fogstart[2], fogend[2];
  float respawntime;
  char inventorys[1024];
  char conditions[256];
  char drawon[512], drawoff[512];
  char path[64], pathend[64];
  float kicktime, kicktime2;
  char deadexplodweaponname[64];
  vec3 deadexplodeorigin;
  float deadexplodetime;
  int32_t drawmove;
  float clipbox[6];
  int32_t solidbox;
  int32_t team;  // 1 "red", 2 "blue"
  float health, panichealth, awayhealth;
  int32_t aistate;
  vec3 aiorigin;
  char aiobject[64];
  int32_t agressive_on;
  float ai_detect_fov, ai_detect_dist, ai_detect_step, ai_hear, ai_agressive;
  char trigger[64], door_trigger[64];
  char triggercommand[256], triggercommandtext[256];
  int32_t igv;
  int32_t holdweapon;
  char teamname[32];
  char aiscript[128], car[128];
  float weight;
  int32_t sex, group, car_usable, noBlood;
  // Lights.
  float light_light;
  vec3 light_origin, light_light_radius, light_light_origin, light_light_center, light_color;
  int32_t light_noshadows, light_nodiffuse, light_nospecular;
  float light_falloff, light_s_volume;
  char light_texture[256], light_model[256], light_s_shader[256];
  vec3 light_light_target, light_light_up, light_light_right, light_light_start, light_light_end;
  float light_rotation[9];
  float light_shaderparm[8];
};
extern SpawnTemplate Ent_Template;

// The AI start states and aggression triggers the name-list keys are matched against.
extern const char* const Ent_AiStateNames[14];
extern const char* const Ent_AggressionNames[5];

// Applies one pair to the template.
void block_support(const char* key, const char* value);
// Restores every field to its default (and fills the key and class hashes the first time).
void SpawnTemplate_Reset();
// 1 when an entity with these spawn flags may spawn in the current game.
int Ent_SpawnflagsAllow(int32_t flags);
// The key table: its rows in order (row 0 is the empty key) and the row a key selects (0: none).
const char* Ent_KeyName(int row);
int Ent_FindKey(const char* key);

// ---- Classes and the level tables ---------------------------------------------------------------

const char* Ent_ClassName(int row);
int Ent_FindClass(const char* name);
// Creates what the template's block describes.
void class_support();

struct PlayerStartRecord {
  vec3 origin, angles;
  int32_t count;
};
extern PlayerStartRecord Level_PlayerStart;

constexpr int kDeathmatchStarts = 128;
struct DeathmatchStart {
  vec3 origin, angles;
  int32_t team;  // 0 none, 1 red, 2 blue
};
extern DeathmatchStart Level_DmStarts[kDeathmatchStarts];
extern int32_t Level_DmStartCount;

constexpr int kSoundEmitters = 128;
constexpr int kSoundEmitterImageSize = 148;
struct SoundEmitter {
  char name[64];
  float volume;
  float mindist;
  vec3 origin;
  char id[64];
};
extern SoundEmitter Level_Emitters[kSoundEmitters];
extern int32_t Level_EmitterCount;
// The 148-byte image of an emitter in saved games, little-endian.
void SoundEmitter_Write(const SoundEmitter* e, uint8_t out[kSoundEmitterImageSize]);
void SoundEmitter_Read(SoundEmitter* e, const uint8_t in[kSoundEmitterImageSize]);

struct GameObject;
// The object spawners of the entity classes; each copies what it keeps from the template.
GameObject* World_Spawn(const SpawnTemplate* t);
GameObject* Areol_Spawn(const SpawnTemplate* t);
GameObject* AnimObj_Spawn(const SpawnTemplate* t);
GameObject* Door_Spawn(const SpawnTemplate* t);
GameObject* Ent_SpawnNpcFromTemplate(const SpawnTemplate* t);
// The values an npc block hands to Npc_Spawn, pointing into the template (valid until its reset).
struct NpcSpawnValues;
void Ent_NpcValues(const SpawnTemplate* t, NpcSpawnValues* out);
