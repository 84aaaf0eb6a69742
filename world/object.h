// Game objects: one record per thing in the world, one list, the class operations.
#pragma once
#include <cstdint>

#include "ai/bot.h"
#include "characters/person.h"
#include "foundation/vecmath.h"
#include "world/propstate.h"
#include "world/speech.h"

struct GameObject;
struct ViewParams;
struct TraceRequest;
struct ModelObject;
struct Skeleton;
struct BonePose;
struct PhysicsBody;
struct PhysicsContact;

// The twelve class operations; each takes the object first.
using ObjAnimateFn = void (*)(GameObject* self);
using ObjDrawFn = void (*)(GameObject* self, ViewParams* view);
using ObjClipFn = void (*)(GameObject* self, TraceRequest* trace);
using ObjFreeFn = void (*)(GameObject* self);
using ObjThinkFn = void (*)(GameObject* self);
using ObjDamageFn = void (*)(GameObject* self, GameObject* attacker, float amount, float factor,
                             const vec3* position, int32_t weapon, int32_t extra);
using ObjContactFn = void (*)(GameObject* self, PhysicsContact* contact);
// Use: the user, and the text a trigger or use script hands on (null for a plain use).
using ObjUseFn = void (*)(GameObject* self, GameObject* other, const char* argument);
using ObjInfoFn = void (*)(GameObject* self, const void* request, void* reply);
using ObjInitFn = void (*)(GameObject* self);
using ObjPreSaveFn = void (*)(GameObject* self);
using ObjPostLoadFn = void (*)(GameObject* self);

struct ObjectClassSlots {
  ObjAnimateFn Animate;
  ObjDrawFn Draw;
  ObjClipFn Clip;
  ObjFreeFn Free;
  ObjThinkFn Think;
  ObjDamageFn Damage;
  ObjContactFn Contact;
  ObjUseFn Use;
  ObjInfoFn Info;
  ObjInitFn Init;
  ObjPreSaveFn PreSave;
  ObjPostLoadFn PostLoad;
};

// Class numbers.
enum ObjectClass : int32_t {
  MACHINEPLAYER = 1,
  NETPLAYER = 2,
  WORLD = 3,
  ANIM = 4,
  AREOL = 5,
  PULKA = 6,
  GILZA = 7,
  FUNC_DOOR = 8,
  NPC = 9,
};

// Bits of GameObject::flags.
constexpr uint32_t OBJ_ACTIVE = 1u << 0;     // thinks, animates, draws and is hit by traces
constexpr uint32_t OBJ_FAR_THINK = 1u << 7;  // keeps thinking when far from the player

constexpr int kObjHistory = 5;
constexpr int kObjTeamNameSize = 32;
constexpr int kObjGroupNameSize = 64;
constexpr int kObjUseScriptSize = 256;

// The player's camera: mode 1 in a car, 2 cinematic; the think fills current and previous
// position and angles, the frame interpolates between them.
struct ObjCamera {
  int32_t mode;
  int32_t zoomLevel;
  float fov;  // the field-of-view factor of the zoom level
  vec3 origin, angles;
  vec3 prevOrigin, prevAngles;
};

// One thing in the world. Allocated zero-filled and never moved while it lives; pointers in it
// are this run's only (a saved game stores the fields through the image table of world/save).
struct GameObject {
  GameObject* next;  // null at the tail
  GameObject* prev;  // null at the head
  ObjectClassSlots slots;
  PersonStats person;  // begins with the name
  uint32_t id;
  int32_t classNum;  // 1..9
  uint32_t owner;    // id of the object that made this one; its traces never hit it
  int32_t drawZone;  // 0 or 1: the world pass draws zone 0 before zone 1
  uint32_t flags;
  vec3 origin;  // game units
  vec3 angles;  // radians: yaw, pitch, roll
  vec3 mins, maxs;  // box relative to origin
  vec3 prevOrigin;
  vec3 history[kObjHistory];

  // Network players.
  int32_t frags;
  char teamName[kObjTeamNameSize];
  // The player's camera and damage flash (above 1.0 after a hit).
  ObjCamera camera;
  float damageFlash;
  float deathTime;  // game time; a remote player respawns 5.0 s after it
  // Models, and the character's skeleton with its current pose.
  ModelObject* lodModel;
  ModelObject* drawModel;
  ModelObject* clipModel;
  ModelObject* clipModel2;
  Skeleton* skeleton;
  BonePose* pose;
  int32_t notTraceable;  // traces pass through the object
  float viewBox[6];      // "viewbox": lowest then highest corner, relative to origin
  float viewFar;         // "viewfar": 0 = never culled by distance
  float clipBox[6];      // mins then maxs
  float clipBox2[6];     // used when a trace asks for collision models
  int32_t hasClipBox;
  char useGroup2Name[kObjGroupNameSize];
  int32_t useGroup2Index;
  char useGroupName[kObjGroupNameSize];
  char useScript[kObjUseScriptSize];
  char useArgument[kObjUseScriptSize];
  int32_t useGroupIndex;
  BotState bot;
  int32_t npcControl;  // 12 engaged, 13 AI-driven
  uint32_t traceStamp;
  GameObject* useTargetCharacter;
  GameObject* useTargetObject;
  int32_t removeRequest;  // animated props: 1 = remove
  PhysicsBody* physicsBody;
  int32_t bodyReleased;
  int32_t gender;  // 0 male, 1 female
  int32_t voiceSet;
  PropState prop;  // scenery classes
  // Values handed to the model draw (1 then fifteen 0 at rest); a voiced line writes 1-8, 10-14.
  float drawValues[kDrawValues];
  SpeechLine speech;
  float visibility;  // sun halos: 0 hidden .. 1 fully seen

  // Bookkeeping of this run only, never saved: set while the object waits in the deletion queue.
  uint32_t deleteQueued;
};

// The list: head, tail and the local player (null when there is none).
extern GameObject* Obj_ListHead;
extern GameObject* Obj_ListTail;
extern GameObject* Obj_Player;

// The class operations of classes 1..9 (row 0: the empty operations every new object starts
// with).
extern const ObjectClassSlots Obj_ClassSlots[10];

// Grows whenever an object joins or leaves the list (indexes over the list compare it).
extern uint32_t Obj_ListVersion;

GameObject* Obj_Alloc();
// The id the last object made received (ids only grow).
uint32_t Obj_LastId();
int Load_ObjectX(GameObject* obj);
int Obj_BindClass(GameObject* obj);
int Obj_Count();
// Sets the id counter (a loaded game restores it).
void Obj_SetLastId(uint32_t id);
// The objects in list order as one array (valid until the next object is made or released).
GameObject* const* Obj_ListArray(int* count);
GameObject* Obj_FindById(uint32_t id);
// Switches the object off and queues it; it is released at the next flush.
void Obj_RequestDelete(GameObject* obj);
void Obj_FlushDeleted();
void Obj_ClearAll();

// The world's box: a place or speed beyond this on any axis (or not a number) is no game's, and a
// saved game holding one is refused.
constexpr float kObjWorldLimit = 1.0e8f;
// Keeps play inside the world's box, once a tick after everything moved: a player (the hero, a
// network player) is held at the box's edge with no speed there, any other object beyond it is
// released at once (one log line each). Returns the number released.
int Obj_KeepInWorld();

// Named use groups.
constexpr int kObjGroups = 128;
constexpr int kObjGroupMembers = 32;
struct ObjectGroup {
  char name[kObjGroupNameSize];
  GameObject* members[kObjGroupMembers];
  int32_t count;
};
extern ObjectGroup ObjGroup_Table[kObjGroups];
extern int32_t ObjGroup_Count;
void ObjGroup_Reset();
int ObjGroup_Add(const char* name, GameObject* obj);
// Takes the object out of every group, the others keeping their order (a released object).
void ObjGroup_Remove(const GameObject* obj);
