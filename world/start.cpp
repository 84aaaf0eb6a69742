#include "world/start.h"

#include <strings.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ai/bot.h"
#include "characters/defs.h"
#include "characters/inventory.h"
#include "characters/person.h"
#include "foundation/log.h"
#include "foundation/partoken.h"
#include "foundation/random.h"
#include "foundation/timer.h"
#include "scene/model.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/object.h"

const char Game_HeroIds[2][kHeroIdSize] = {"JaxTorvin", "MiraSolvek"};
int32_t Game_HeroChoice;
int32_t Game_LocalTeam;
LevelChange Level_PendingChange;
PickupRecord Level_Pickups[kPickupRecords];
int32_t Level_PickupCount;
const char* const Pickup_AmmoNames[12] = {"",       "7MM",    "9MM",     "16MM",    "NAPALM", "NITROGEN",
                                          "SMALLROCKET", "ROCKET", "BATTERY", "GRENADE", "MINE",   "TIMEBOMB"};

static const vec3 kZero{0, 0, 0};
static const float kCharacterBox[6] = {-16, -16, 0, 16, 16, 64};

static void SetBoxes(GameObject* o) {
  std::memcpy(o->clipBox, kCharacterBox, sizeof o->clipBox);
  std::memcpy(o->clipBox2, kCharacterBox, sizeof o->clipBox2);
  o->hasClipBox = 1;
  o->mins = vec3{-16, -16, 0};
  o->maxs = vec3{16, 16, 64};
}

static void SetPlace(GameObject* o, const vec3* origin, const vec3* velocity, const vec3* angles) {
  o->origin = o->prevOrigin = origin ? *origin : kZero;
  vec3 v = velocity ? *velocity : kZero;
  o->person.velocity[0] = v.x;
  o->person.velocity[1] = v.y;
  o->person.velocity[2] = v.z;
  o->angles = angles ? *angles : kZero;
  for (vec3& h : o->history) h = o->origin;
}

GameObject* Player_Spawn(const char* name, const float viewBox[6], float viewFar, const char* dialog,
                         const vec3* origin, const vec3* velocity, const vec3* angles, int32_t solid,
                         int32_t visible, int32_t team) {
  GameObject* o = Obj_Alloc();
  if (!o) {
    Log_Printf("Player_Spawn: no object for the player\n");
    return nullptr;
  }
  PersonStats& ps = o->person;
  if (name) std::snprintf(ps.name, sizeof ps.name, "%s", name);
  ps.team = team;
  // The default body folder is the hero id in lower case.
  char folder[kPersonNameSize];
  size_t n = 0;
  for (; ps.name[n] && n + 1 < sizeof folder; n++) folder[n] = char(std::tolower(uint8_t(ps.name[n])));
  folder[n] = 0;
  char path[sizeof folder + 16];
  std::snprintf(path, sizeof path, "npc\\%s\\body", folder);
  size_t pathLength = strnlen(path, sizeof o->prop.modelName - 1);
  std::memcpy(o->prop.modelName, path, pathLength);
  o->prop.modelName[pathLength] = 0;
  std::snprintf(o->prop.clipName, sizeof o->prop.clipName, "maps\\cube");
  std::snprintf(o->prop.clip2Name, sizeof o->prop.clip2Name, "maps\\cube");
  o->drawModel = Model_Get(o->prop.modelName);
  o->clipModel = Model_Get(o->prop.clipName);
  o->clipModel2 = o->clipModel;
  if (dialog) std::snprintf(ps.dialogueCue, sizeof ps.dialogueCue, "%s", dialog);
  SetPlace(o, origin, velocity, angles);
  o->classNum = MACHINEPLAYER;
  Load_ObjectX(o);
  o->drawZone = 1;
  o->prop.solid = solid;
  o->prop.visible = visible;
  ps.itemText[0] = 0;
  o->owner = o->id;
  if (viewBox) std::memcpy(o->viewBox, viewBox, sizeof o->viewBox);
  o->viewFar = viewFar;
  SetBoxes(o);
  o->flags = 29;
  ps.health = ps.maxHealth = 100;
  ps.energy = ps.maxEnergy = 100;
  ps.money = 100;
  ps.experience = ps.level = 0;
  for (float& s : ps.furtherStats) s = 100;
  for (float& f : ps.factors) f = 1.0f;
  for (auto& triple : ps.attributeTriples)
    for (int32_t& a : triple) a = 5;
  ps.clock = 1.0;
  o->prop.lifetime = 1000000.0f;
  o->prop.spawnTime = float(Game_Time);
  ps.state = 1;
  SetPlace(o, origin, velocity, angles);
  if (Game_NetMode == 0) {
    int pi = Def_FindWeaponByName("pi");
    if (pi >= 0) {
      ps.equippedKind = INV_WEAPON;
      ps.equippedIndex = pi;
      ps.ammo[2] = 30;
      ps.magazine[2] = 0;
    }
    int armor = Def_FindArmor("LA Carissima");
    if (armor >= 0) {
      ps.equipped2Kind = INV_ARMOR;
      ps.equipped2Index = armor;
    }
    for (int w = 1; w <= 29 && w < kWeaponDefs; w++)
      if (Def_Weapons[w].name[0]) Inv_AddToStash(&ps, INV_WEAPON, w);
    for (int a = 0; a < kArmorDefs; a++)
      if (Def_Armors[a].name[0]) Inv_AddToStash(&ps, INV_ARMOR, a);
    for (int t = 0; t < kTatuDefs; t++)
      if (Def_Tatus[t].name[0]) Inv_AddToStash(&ps, INV_TATU, t);
  }
  o->prop.action = strcasecmp(game_name.text, "thornhelm") == 0 ? 0 : 7;
  o->prop.actionStart = Game_Time;
  TimeScale = 1.0f;
  bot_Setup(o, "*");
  return o;
}

GameObject* Player_CreateForLevel() {
  Obj_ClearAll();
  Game_Step = 0;
  Game_GodMode = 0;
  Level_PlayerStart.count = 0;
  Level_DmStartCount = 0;
  static const float kViewBox[6] = {-200, -200, -200, 200, 200, 200};
  int hero = Game_HeroChoice == 1 ? 1 : 0;
  GameObject* p = Player_Spawn(Game_HeroIds[hero], kViewBox, 1000.0f, "", &kZero, &kZero, &kZero, 1, 1,
                               Game_LocalTeam);
  if (!p) Log_Printf("Player_CreateForLevel: the level starts without a player\n");
  Obj_Player = p;
  return p;
}

GameObject* NetPlayer_Spawn(const char* name, int32_t netId, int32_t team, const char* playerName,
                            const vec3* origin, const vec3* velocity, const vec3* angles) {
  GameObject* o = Obj_Alloc();
  if (!o) {
    Log_Printf("NetPlayer_Spawn: no object for player %i\n", netId);
    return nullptr;
  }
  PersonStats& ps = o->person;
  if (name) std::snprintf(ps.name, sizeof ps.name, "%s", name);
  o->prop.netId = netId;
  ps.team = team;
  // The roster's name field need not be terminated: read at most its 64 bytes.
  size_t n = playerName ? strnlen(playerName, kNetPlayerNameSize) : 0;
  if (n >= sizeof o->prop.playerName) n = sizeof o->prop.playerName - 1;
  if (n) std::memcpy(o->prop.playerName, playerName, n);
  o->prop.playerName[n] = 0;
  o->prop.receiptTime = Timer_FrameTime;
  const char* suffix = "";
  if (Game_NetMode != 0 && Game_NetGameType != 0) suffix = team != 0 ? "b" : "r";
  static const float kBands[kNpcLodBands][2] = {{0, 150}, {150, 400}, {400, 800}, {800, 100000}};
  for (int i = 0; i < kNpcLodBands; i++) {
    std::snprintf(ps.lodModels[i], sizeof ps.lodModels[i], "anim\\jaxtorvin\\jaxtorvin_%i%s", i, suffix);
    ps.lodMin[i] = kBands[i][0];
    ps.lodMax[i] = kBands[i][1];
  }
  static const float kViewBox[6] = {-200, -200, -200, 200, 200, 200};
  std::memcpy(o->viewBox, kViewBox, sizeof o->viewBox);
  o->viewFar = 1000.0f;
  SetBoxes(o);
  std::snprintf(o->prop.clipName, sizeof o->prop.clipName, "maps\\cube");
  std::snprintf(o->prop.clip2Name, sizeof o->prop.clip2Name, "maps\\cube");
  o->classNum = NETPLAYER;
  Load_ObjectX(o);
  ps.health = ps.energy = ps.furtherStats[0] = 100;
  o->flags = 29;
  o->prop.lifetime = 1000000.0f;
  o->prop.solid = 1;
  o->prop.visible = 1;
  o->drawZone = 0;
  o->owner = o->id;
  SetPlace(o, origin, velocity, angles);
  ps.state = 1;
  o->prop.spawnTime = float(Game_Time);
  return o;
}

// ---- Starts ---------------------------------------------------------------------------------------

static bool Start_Taken(const DeathmatchStart& s, const GameObject* placing) {
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    bool character = o->classNum == NETPLAYER || o->classNum == NPC || o == Obj_Player;
    if (!character || !(o->flags & OBJ_ACTIVE) || o->person.state != 1) continue;
    // The object being placed stands at the player start.
    vec3 at = o == placing ? Level_PlayerStart.origin : o->origin;
    if (std::fabs(at.x - s.origin.x) < 64 && std::fabs(at.y - s.origin.y) < 64 && std::fabs(at.z - s.origin.z) < 64)
      return true;
  }
  return false;
}

void Start_ChooseFree(int32_t team, bool teamStarts, const GameObject* placing, vec3* origin, vec3* angles) {
  static int free[kDeathmatchStarts];
  int count = 0;
  for (int i = 0; i < Level_DmStartCount && i < kDeathmatchStarts; i++) {
    const DeathmatchStart& s = Level_DmStarts[i];
    if (teamStarts && s.team != 0 && team != s.team - 1) continue;
    if (!Start_Taken(s, placing)) free[count++] = i;
  }
  if (count == 0) return;
  int pick = int(Math_RandNext() * float(count));
  if (pick >= count) pick = count - 1;  // the generator may return 1.0
  if (pick < 0) pick = 0;
  *origin = Level_DmStarts[free[pick]].origin;
  *angles = Level_DmStarts[free[pick]].angles;
}

static void Start_Place(GameObject* o) {
  bool multi = Game_NetMode != 0;
  bool respawns = ai_GetDmRespawns() != 0;
  if (Level_PendingChange.active && o == Obj_Player) {
    o->origin = Level_PendingChange.origin;
    o->angles = Level_PendingChange.angles;
  } else {
    if (o != Obj_Player && !multi && !respawns) return;
    o->origin = Level_PlayerStart.origin;
    o->angles = Level_PlayerStart.angles;
    if ((multi || respawns) && (Game_NetMode == 1 || respawns))
      Start_ChooseFree(o->person.team, multi && Game_NetGameType == 2, o, &o->origin, &o->angles);
  }
  o->person.velocity[0] = o->person.velocity[1] = o->person.velocity[2] = 0;
  o->prevOrigin = o->origin;
  for (vec3& h : o->history) h = o->origin;
}

// ---- Pickups --------------------------------------------------------------------------------------

GameObject* Pickup_Object(const PickupRecord* record) {
  return record ? Obj_FindActiveById(record->objectId) : nullptr;
}

static const char* Pickup_Name(const PickupRecord& r, char* buffer, size_t size) {
  switch (r.kind) {
    case PICKUP_WEAPON: return Def_Weapons[r.index].name;
    case PICKUP_ARMOR: return Def_Armors[r.index].name;
    case PICKUP_ITEM: return Def_Items[r.index].name;
    case PICKUP_AMMO: return Pickup_AmmoNames[r.index];
    default: std::snprintf(buffer, size, "%i", r.index); return buffer;
  }
}

// The kind and index of an item text; false when it names no pickup.
static bool Pickup_Parse(const char* text, int32_t* kind, int32_t* index) {
  char token[256], name[256];
  const char* rest = nullptr;
  if (!Par_NextBracketTokenTo(text, &rest, token, sizeof token) || !rest) return false;
  if (!Par_NextBracketTokenTo(rest, &rest, name, sizeof name)) return false;
  int i = -1;
  if (strcasecmp(token, "weapon") == 0) {
    *kind = PICKUP_WEAPON;
    i = Def_FindWeaponByName(name);
  } else if (strcasecmp(token, "armor") == 0) {
    *kind = PICKUP_ARMOR;
    i = Def_FindArmor(name);
  } else if (strcasecmp(token, "item") == 0) {
    *kind = PICKUP_ITEM;
    i = Def_FindItem(name);
  } else if (strcasecmp(token, "ammo") == 0) {
    *kind = PICKUP_AMMO;
    for (int a = 1; a < 12; a++)
      if (strcasecmp(Pickup_AmmoNames[a], name) == 0) i = a;
  } else if (strcasecmp(token, "medic") == 0) {
    *kind = PICKUP_MEDIC;
    double amount = std::strtod(name, nullptr);
    i = amount > 0 && amount < 2e9 ? int(amount) : 0;
  }
  if (i < 0) return false;
  *index = i;
  return true;
}

void Level_SetupStartsAndPickups() {
  int count = 0;
  GameObject* const* all = Obj_ListArray(&count);
  for (int i = 0; i < count; i++) {
    GameObject* o = all[i];
    if (o == Obj_Player || (o->classNum == NPC && o->npcControl == 13)) Start_Place(o);
  }
  Level_PendingChange.active = 0;

  Level_PickupCount = 0;
  bool fullSaid = false;
  for (int i = 0; i < count; i++) {
    GameObject* o = all[i];
    if (o->classNum != WORLD) continue;
    PickupRecord r{};
    if (!Pickup_Parse(o->person.itemText, &r.kind, &r.index)) continue;
    if (Level_PickupCount >= kPickupRecords) {
      if (!fullSaid) Log_Printf("Level_SetupStartsAndPickups: more than %i pickups; the rest are not listed\n", kPickupRecords);
      fullSaid = true;
      continue;
    }
    r.object = o;
    r.objectId = o->id;
    r.origin = o->origin;
    r.area = ai_CivilianAreas ? ai_FindAreaAtPoint(ai_CivilianAreas, &o->origin.x, -1) : -1;
    Level_Pickups[Level_PickupCount++] = r;
  }
  static const char* const kKindWords[10] = {"", "weapon", "armor", "item", "", "", "", "medic", "", "ammo"};
  for (int i = 0; i < Level_PickupCount; i++) {
    const PickupRecord& r = Level_Pickups[i];
    char amount[32];
    Log_Printf("%i [%f %f %f] area=%i %s [%s]\n", i, r.origin.x, r.origin.y, r.origin.z, r.area, kKindWords[r.kind],
               Pickup_Name(r, amount, sizeof amount));
  }
}
