#include "world/object.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ai/bot.h"
#include "characters/npc.h"
#include "characters/person.h"
#include "characters/player.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "physics/physics.h"
#include "quests/dialog.h"
#include "world/areol.h"
#include "world/level.h"
#include "world/netplayer.h"
#include "world/projectile.h"
#include "world/props.h"
#include "world/tick.h"

GameObject* Obj_ListHead;
GameObject* Obj_ListTail;
GameObject* Obj_Player;
uint32_t Obj_ListVersion;
static uint32_t g_lastId;
// Set once the counter has wrapped or was set below an id in the list: new ids are then
// checked against the list, so none is 0 or one in use.
static bool g_idsChecked;
void Obj_SetLastId(uint32_t id) {
  g_lastId = id;
  g_idsChecked = false;
  for (GameObject* o = Obj_ListHead; o && !g_idsChecked; o = o->next) g_idsChecked = o->id > id;
}

// The next id: 0 is never one, and after a wrap none that an object holds.
static uint32_t Obj_NextId() {
  uint32_t id = ++g_lastId;
  if (id == 0) {
    g_idsChecked = true;
    id = ++g_lastId;
  }
  if (g_idsChecked)
    while (id == 0 || Obj_FindById(id)) id = ++g_lastId;
  return id;
}

// The deletion queue grows as needed; an object stands in it at most once.
static GameObject** g_deleteQueue;
static int g_deleteCount;
static int g_deleteCapacity;

// The list as an array for the walks of every tick: appended to with the list, rebuilt after a
// release.
static GameObject** g_array;
static int g_arrayCount;
static int g_arrayCapacity;
static bool g_arrayStale;

static bool Obj_ArrayReserve(int count) {
  if (count <= g_arrayCapacity) return true;
  int capacity = g_arrayCapacity ? g_arrayCapacity : 1024;
  while (capacity < count) capacity *= 2;
  auto* grown = static_cast<GameObject**>(Global_Malloc(sizeof(GameObject*) * capacity, "OBJA"));
  if (!grown) return false;
  if (g_arrayCount) std::memcpy(grown, g_array, sizeof(GameObject*) * g_arrayCount);
  Global_Free(g_array);
  g_array = grown;
  g_arrayCapacity = capacity;
  return true;
}

GameObject* const* Obj_ListArray(int* count) {
  if (g_arrayStale) {
    g_arrayCount = 0;
    int n = Obj_Count();
    if (!Obj_ArrayReserve(n)) {
      *count = 0;
      return nullptr;
    }
    for (GameObject* o = Obj_ListHead; o; o = o->next) g_array[g_arrayCount++] = o;
    g_arrayStale = false;
  }
  *count = g_arrayCount;
  return g_array;
}

ObjectGroup ObjGroup_Table[kObjGroups];
int32_t ObjGroup_Count = 1;

// One empty operation per slot signature.
static void Obj_NoAnimate(GameObject*) {}
static void Obj_NoDraw(GameObject*, ViewParams*) {}
static void Obj_NoClip(GameObject*, TraceRequest*) {}
static void Obj_NoFree(GameObject*) {}
static void Obj_NoThink(GameObject*) {}
static void Obj_NoDamage(GameObject*, GameObject*, float, float, const vec3*, int32_t, int32_t) {}
static void Obj_NoContact(GameObject*, PhysicsContact*) {}
static void Obj_NoUse(GameObject*, GameObject*, const char*) {}
static void Obj_NoInfo(GameObject*, const void*, void*) {}
static void Obj_NoInit(GameObject*) {}
static void Obj_NoPreSave(GameObject*) {}
static void Obj_NoPostLoad(GameObject*) {}

#define NO_ANIMATE Obj_NoAnimate
#define NO_DRAW Obj_NoDraw
#define NO_CLIP Obj_NoClip
#define NO_FREE Obj_NoFree
#define NO_THINK Obj_NoThink
#define NO_DAMAGE Obj_NoDamage
#define NO_CONTACT Obj_NoContact
#define NO_USE Obj_NoUse
#define NO_INFO Obj_NoInfo
#define NO_PRESAVE Obj_NoPreSave
#define NO_POSTLOAD Obj_NoPostLoad

// Animate, Draw, Clip, Free, Think, Damage, Contact, Use, Info, Init, PreSave, PostLoad.
const ObjectClassSlots Obj_ClassSlots[10] = {
    {NO_ANIMATE, NO_DRAW, NO_CLIP, NO_FREE, NO_THINK, NO_DAMAGE, NO_CONTACT, NO_USE, NO_INFO, Obj_NoInit,
     NO_PRESAVE, NO_POSTLOAD},
    {Player_Animate, Player_Draw, Player_Clip, Player_Free, Player_Think, Player_Damage, Player_Contact,
     NO_USE, Player_Info, Player_Init, NO_PRESAVE, Player_PostLoad},
    {NetPlayer_Animate, NetPlayer_Draw, NetPlayer_Clip, NetPlayer_Free, NO_THINK, NetPlayer_Damage,
     NO_CONTACT, NO_USE, NetPlayer_Info, NetPlayer_Init, NO_PRESAVE, NO_POSTLOAD},
    {Prop_Animate, World_Draw, World_Clip, NO_FREE, World_Think, NO_DAMAGE, NO_CONTACT, World_Use,
     World_Info, World_Init, NO_PRESAVE, NO_POSTLOAD},
    {AnimObj_Animate, AnimObj_Draw, AnimObj_Clip, AnimObj_Free, AnimObj_Think, NO_DAMAGE, NO_CONTACT,
     NO_USE, AnimObj_Info, AnimObj_Init, NO_PRESAVE, NO_POSTLOAD},
    {NO_ANIMATE, Areol_Draw, NO_CLIP, NO_FREE, Areol_Think, NO_DAMAGE, NO_CONTACT, NO_USE, Areol_Info,
     Effect_Init, NO_PRESAVE, NO_POSTLOAD},
    {Prop_Animate, Pulka_Draw, NO_CLIP, NO_FREE, Pulka_Think, NO_DAMAGE, NO_CONTACT, NO_USE, Pulka_Info,
     Effect_Init, NO_PRESAVE, NO_POSTLOAD},
    {Prop_Animate, Gilza_Draw, NO_CLIP, NO_FREE, Gilza_Think, NO_DAMAGE, Gilza_Contact, NO_USE, Gilza_Info,
     Effect_Init, NO_PRESAVE, NO_POSTLOAD},
    {Door_Animate, Door_Draw, AnimObj_Clip, NO_FREE, Door_Think, NO_DAMAGE, NO_CONTACT, Door_Use,
     Door_Info, Door_Init, NO_PRESAVE, NO_POSTLOAD},
    {Npc_Animate, Npc_Draw, Npc_Clip, Npc_Free, Npc_Think, Npc_Damage, NO_CONTACT, Npc_Use, Npc_Info,
     Npc_Init, Npc_PreSave, Npc_PostLoad},
};

GameObject* Obj_Alloc() {
  auto* obj = static_cast<GameObject*>(Global_MallocZero(sizeof(GameObject), "OBJM"));
  if (!obj) return nullptr;
  obj->slots = Obj_ClassSlots[0];
  Speech_ResetValues(obj->drawValues);
  obj->id = Obj_NextId();
  Obj_ListVersion++;
  obj->prev = Obj_ListTail;
  if (Obj_ListTail)
    Obj_ListTail->next = obj;
  else
    Obj_ListHead = obj;
  Obj_ListTail = obj;
  if (!g_arrayStale) {
    if (Obj_ArrayReserve(g_arrayCount + 1))
      g_array[g_arrayCount++] = obj;
    else
      g_arrayStale = true;
  }
  return obj;
}

int Load_ObjectX(GameObject* obj) {
  if (!obj) return 0;
  if (obj->classNum < 1 || obj->classNum > 9) {
    Log_Printf("Load_ObjectX: object %u has class %i, outside 1..9; not bound\n", obj->id, obj->classNum);
    return 0;
  }
  obj->slots = Obj_ClassSlots[obj->classNum];
  obj->slots.Init(obj);
  return 0;
}

int Obj_BindClass(GameObject* obj) { return Load_ObjectX(obj); }

int Obj_Count() {
  int n = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) n++;
  return n;
}

uint32_t Obj_LastId() { return g_lastId; }

GameObject* Obj_FindById(uint32_t id) {
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (o->id == id) return o;
  return nullptr;
}

void Obj_RequestDelete(GameObject* obj) {
  if (!obj) return;
  obj->flags &= ~OBJ_ACTIVE;
  if (obj->deleteQueued) return;
  if (g_deleteCount == g_deleteCapacity) {
    int capacity = g_deleteCapacity ? g_deleteCapacity * 2 : 256;
    auto* grown = static_cast<GameObject**>(Global_Malloc(sizeof(GameObject*) * capacity, "OBJQ"));
    if (!grown) {
      Log_Printf("Obj_RequestDelete: no memory for the deletion queue; object %u stays\n", obj->id);
      return;
    }
    if (g_deleteCount) std::memcpy(grown, g_deleteQueue, sizeof(GameObject*) * g_deleteCount);
    Global_Free(g_deleteQueue);
    g_deleteQueue = grown;
    g_deleteCapacity = capacity;
  }
  obj->deleteQueued = 1;
  g_deleteQueue[g_deleteCount++] = obj;
}

// Unlinks and releases one object; whoever points at it by name of the world is told.
static void Obj_Release(GameObject* obj) {
  // The body first: nothing may reach a released object through the body table.
  Physics_FreeRagdoll(obj);
  ai_UnregisterObject(obj);
  obj->slots.Free(obj);
  Speech_FreeTracks(obj);
  if (Obj_Player == obj) Obj_Player = nullptr;
  if (Dialog_Partner == obj) {
    Dialog_Partner = nullptr;
    Dialog_Open = 0;
  }
  Global_Free(obj);
}

static void Obj_Unlink(GameObject* obj) {
  g_arrayStale = true;
  Obj_ListVersion++;
  if (obj->prev)
    obj->prev->next = obj->next;
  else
    Obj_ListHead = obj->next;
  if (obj->next)
    obj->next->prev = obj->prev;
  else
    Obj_ListTail = obj->prev;
}

void Obj_FlushDeleted() {
  int freed = 0;
  // Free slots may queue further objects: they are flushed in this same call.
  for (int i = 0; i < g_deleteCount; i++) {
    GameObject* obj = g_deleteQueue[i];
    if (!obj) continue;
    obj->deleteQueued = 0;
    if (obj->flags & OBJ_ACTIVE) continue;  // revived before the flush
    ObjGroup_Remove(obj);
    Obj_Unlink(obj);
    Obj_Release(obj);
    freed++;
  }
  g_deleteCount = 0;
  if (freed) Tick_ForgetObjects();
}

namespace {
bool Within(float v) { return std::isfinite(v) && std::fabs(v) <= kObjWorldLimit; }
bool Within(const float* v) { return Within(v[0]) && Within(v[1]) && Within(v[2]); }
bool Within(const vec3& v) { return Within(&v.x); }
// Puts each axis back on the box (a value that is not a number at 0); true when any moved.
bool Hold(float* v) {
  bool held = false;
  for (int i = 0; i < 3; i++)
    if (!Within(v[i])) {
      v[i] = !std::isfinite(v[i]) ? 0.0f : std::fmax(-kObjWorldLimit, std::fmin(kObjWorldLimit, v[i]));
      held = true;
    }
  return held;
}
bool Hold(vec3& v) { return Hold(&v.x); }
bool g_playerHeldLogged;
}  // namespace

int Obj_KeepInWorld() {
  int removed = 0;
  bool playerHeld = false;
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (o->deleteQueued) continue;
    if (o == Obj_Player || o->classNum == MACHINEPLAYER || o->classNum == NETPLAYER) {
      const bool outside = Hold(o->origin);
      Hold(o->prevOrigin);
      Hold(o->camera.origin);
      Hold(o->camera.prevOrigin);
      Hold(o->person.eye);
      if (outside) o->person.velocity[0] = o->person.velocity[1] = o->person.velocity[2] = 0;
      Hold(o->person.velocity);
      if (outside && o == Obj_Player) {
        playerHeld = true;
        if (!g_playerHeldLogged) {
          g_playerHeldLogged = true;
          Log_Printf("Obj_KeepInWorld: the hero reached the world's edge at (%g %g %g) and stops there\n",
                     double(o->origin.x), double(o->origin.y), double(o->origin.z));
        }
      }
      continue;
    }
    if (Within(o->origin) && Within(o->prevOrigin) && Within(o->camera.origin) && Within(o->camera.prevOrigin) &&
        Within(o->person.eye) && Within(o->person.velocity))
      continue;
    Log_Printf("Obj_KeepInWorld: object %u (\"%.63s\", class %d) left the world at (%g %g %g); removed\n", o->id,
               o->person.name, o->classNum, double(o->origin.x), double(o->origin.y), double(o->origin.z));
    Obj_RequestDelete(o);
    removed++;
  }
  // One line until the hero is well inside again.
  const float inside = 0.99f * kObjWorldLimit;
  if (!playerHeld && Obj_Player && std::fabs(Obj_Player->origin.x) < inside &&
      std::fabs(Obj_Player->origin.y) < inside && std::fabs(Obj_Player->origin.z) < inside)
    g_playerHeldLogged = false;
  // Released now, so that nothing beyond the box waits in the list for a save between ticks.
  if (removed) Obj_FlushDeleted();
  return removed;
}

void Obj_ClearAll() {
  Weapon_ReleaseModels();
  ObjGroup_Reset();
  GameObject* obj = Obj_ListHead;
  Obj_ListHead = Obj_ListTail = nullptr;
  Obj_ListVersion++;
  while (obj) {
    GameObject* next = obj->next;
    Obj_Release(obj);
    obj = next;
  }
  g_lastId = 0;
  g_idsChecked = false;
  g_arrayCount = 0;
  g_arrayStale = false;
  Obj_Player = nullptr;
  g_deleteCount = 0;
  Tick_ForgetObjects();
  Tick_AiStarted = 0;
  for (LevelFogSet& set : Level_FogSets) set = LevelFogSet{{0, 0, 0, 1.0f}, 0, 0};
  Level_SkyName[0][0] = 0;
  Level_SkyName[1][0] = 0;
}

void ObjGroup_Reset() {
  ObjGroup_Table[0].name[0] = 0;
  ObjGroup_Table[0].count = 0;
  ObjGroup_Count = 1;
}

void ObjGroup_Remove(const GameObject* obj) {
  for (int g = 0; g < ObjGroup_Count && g < kObjGroups; g++) {
    ObjectGroup& group = ObjGroup_Table[g];
    int kept = 0;
    for (int i = 0; i < group.count && i < kObjGroupMembers; i++)
      if (group.members[i] != obj) group.members[kept++] = group.members[i];
    group.count = kept;
  }
}

int ObjGroup_Add(const char* name, GameObject* obj) {
  if (!name) name = "";
  if (name[0]) {
    for (int g = 1; g < ObjGroup_Count; g++) {
      ObjectGroup& group = ObjGroup_Table[g];
      if (group.count < kObjGroupMembers && strcasecmp(group.name, name) == 0) {
        group.members[group.count++] = obj;
        return g;
      }
    }
  }
  if (ObjGroup_Count >= kObjGroups) {
    Log_Printf("ObjGroup_Add: all %i use groups taken; \"%s\" not grouped\n", kObjGroups, name);
    return 0;
  }
  ObjectGroup& group = ObjGroup_Table[ObjGroup_Count];
  std::snprintf(group.name, sizeof group.name, "%s", name);
  group.members[0] = obj;
  group.count = 1;
  return ObjGroup_Count++;
}
