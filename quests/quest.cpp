#include "quests/quest.h"

#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "characters/inventory.h"
#include "characters/person.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/partoken.h"
#include "quests/dialog.h"
#include "quests/state.h"
#include "world/entity.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/level.h"
#include "world/object.h"
#include "world/personage.h"

namespace {

// One line's command and its words.
constexpr int kQueWords = 16;
constexpr int kQueWordSize = 256;
struct QueLine {
  char words[kQueWords][kQueWordSize];
  int count;
  bool tooLong;
  bool tooMany;
};

// What a running script acts on, and where it is (for log lines).
struct QueRun {
  GameObject* obj;
  const char* name;
  int line;
  int depth;
  const char* argument;
};

// One budget for a top-level run and everything it starts (scripts run by "run", by the
// commands' own effects, by movies, and the entity files its spawns include): a script that runs
// itself several times a pass would otherwise multiply its work with every level it goes down.
// Each refusal is said once a run, and a run is one occasion for the lines of its scripts.
struct QueBudget {
  int lines;         // lines the run may still read
  uint32_t bytes;    // bytes of further script and entity files it may still read
  bool saidLines, saidBytes, saidDeep;
  uint32_t occasion;
};
QueBudget g_budget;

void QueBudget_Start() {
  g_budget = QueBudget{kQueMaxLines, kQueMaxRunBytes, false, false, false, Que_NewOccasion()};
}

// Whether a fault line about that script may be written in this run.
bool QueSay(const char* name) { return Que_MayLogFault(name, g_budget.occasion) != 0; }

bool QueBudget_TakeLine(const char* name) {
  if (g_budget.lines > 0) {
    g_budget.lines--;
    return true;
  }
  if (!g_budget.saidLines && QueSay(name))
    Log_Printf("Que_Apply: %s: more than %d lines with the scripts it runs; the rest skipped\n", name, kQueMaxLines);
  g_budget.saidLines = true;
  return false;
}

// Once a file does not fit, the run reads no more files: a refused include is not read again by
// every later spawn, nor a refused script by every later "run".
bool QueBudget_TakeBytes(uint32_t bytes, const char* name) {
  if (!g_budget.saidBytes && bytes <= g_budget.bytes) {
    g_budget.bytes -= bytes;
    return true;
  }
  if (!g_budget.saidBytes && QueSay(name))
    Log_Printf("Que_Apply: %s: the scripts run read more than %u bytes with what their spawns include; not read\n",
               name, unsigned(kQueMaxRunBytes));
  g_budget.saidBytes = true;
  return false;
}

// The entity reader's outer budget while a run goes on: the includes of every spawn it makes.
int QueBudget_TakeInclude(uint32_t bytes, const char* name) { return QueBudget_TakeBytes(bytes, name) ? 1 : 0; }

void QueBudget_SayDeep(const char* name) {
  if (!g_budget.saidDeep && QueSay(name))
    Log_Printf("Que_Apply: %s: scripts run %d deep; not run\n", name, kQueMaxDepth);
  g_budget.saidDeep = true;
}

void ReadLine(const char* line, const char* argument, QueLine* out) {
  out->count = 0;
  out->tooLong = out->tooMany = false;
  const char* rest = line;
  char token[kParTokenSize];
  while (rest) {
    if (!Par_NextBracketTokenTo(rest, &rest, token, sizeof token)) break;
    if (out->count == kQueWords) {
      out->tooMany = true;
      break;
    }
    const char* word = std::strcmp(token, "$") == 0 && argument ? argument : token;
    if (std::strlen(word) >= kQueWordSize) out->tooLong = true;
    std::snprintf(out->words[out->count++], kQueWordSize, "%s", word);
  }
}

bool Number(const char* word, float* out) { return Que_ParseNumber(word, out) != 0; }

// Reads `count` numbers from the words starting at `first`.
bool Numbers(const QueLine& line, int first, float* out, int count) {
  if (first + count > line.count) return false;
  for (int i = 0; i < count; i++)
    if (!Number(line.words[first + i], &out[i])) return false;
  return true;
}

// Reads `count` numbers of a place kept in the quest tables (and so in a saved game): each within
// the world's box, which is all a saved game may hold.
bool Places(const QueLine& line, int first, float* out, int count) {
  if (!Numbers(line, first, out, count)) return false;
  for (int i = 0; i < count; i++)
    if (std::fabs(out[i]) > kObjWorldLimit) return false;
  return true;
}

bool Dash(const char* word) { return !word[0] || std::strcmp(word, "-") == 0; }

// Copies a name into a row's field; false (nothing written) when it does not fit.
template <size_t N>
bool Fits(char (&field)[N], const char* text) {
  if (std::strlen(text) >= N) return false;
  std::snprintf(field, N, "%s", text);
  return true;
}

// The row of a table whose name is that name, or else the first empty row (or null).
template <typename Row, int N>
Row* FindOrFree(Row (&rows)[N], const char* name, bool* found) {
  Row* free = nullptr;
  for (Row& r : rows) {
    if (r.name[0] && strcasecmp(r.name, name) == 0) {
      *found = true;
      return &r;
    }
    if (!r.name[0] && !free) free = &r;
  }
  *found = false;
  return free;
}

template <typename Row, int N>
Row* Find(Row (&rows)[N], const char* name) {
  for (Row& r : rows)
    if (r.name[0] && strcasecmp(r.name, name) == 0) return &r;
  return nullptr;
}

#define QUE_FAIL(run, ...)                                                                       \
  do {                                                                                           \
    if (QueSay((run).name)) {                                                                    \
      char what_[256];                                                                           \
      std::snprintf(what_, sizeof what_, __VA_ARGS__);                                           \
      Log_Printf("Que_Apply: %s: line %d: %s\n", (run).name, (run).line, what_);                \
    }                                                                                            \
    return false;                                                                                \
  } while (0)

// ---- Commands --------------------------------------------------------------------------------

bool Cmd_Level(QueRun& run, const QueLine& l) {
  float v[6];
  if (l.count >= 8 && Numbers(l, 2, v, 6)) {
    Game_NextStartOrigin = vec3{v[0], v[1], v[2]};
    const float k = kMathPi / 180.0f;
    Game_NextStartAngles = vec3{v[3] * k, v[4] * k, v[5] * k};
    Game_NextStartGiven = 1;
  } else if (l.count > 2) {
    Log_Printf("Que_Apply: %s: line %d: \"level\" start needs six numbers; the level's own start\n", run.name,
               run.line);
  }
  std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", l.words[1]);
  return true;
}

bool Cmd_Objective(QueRun& run, const QueLine& l) {
  float seconds = 0;
  if (l.count > 3 && (!Number(l.words[3], &seconds) || seconds < 0)) QUE_FAIL(run, "bad time \"%.32s\"", l.words[3]);
  return Que_AddObjective(l.words[1], l.words[2], seconds) >= 0;
}

bool Cmd_Mission(QueRun& run, const QueLine& l) {
  MissionTable fresh{};  // a new mission has met no objective yet
  if (!Fits(fresh.name, l.words[1])) QUE_FAIL(run, "mission name too long");
  Que_State.mission = fresh;
  Game_MissionFailed = 0;
  return true;
}

bool Cmd_MissionFailed(QueRun&, const QueLine&) {
  Game_MissionFailed = 1;
  return true;
}

bool Cmd_FlagSet(QueRun& run, const QueLine& l) {
  bool found = false;
  QuestFlag* f = FindOrFree(Que_State.flags, l.words[1], &found);
  if (found) return true;
  if (!f) QUE_FAIL(run, "all 32 flags are set; \"%.64s\" not set", l.words[1]);
  if (!Fits(f->name, l.words[1])) QUE_FAIL(run, "flag name too long");
  return true;
}

// The inventory stash: health and four further words, the 256 pairs, reserves and magazines.
bool Cmd_InvPush(QueRun& run, const QueLine&) {
  if (!run.obj) QUE_FAIL(run, "\"inv_push\" without an object");
  PersonStats& p = run.obj->person;
  InventoryStash& s = Que_State.stash;
  const float words[4] = {p.health, p.maxHealth, p.energy, p.maxEnergy};
  for (int i = 0; i < 4; i++) std::memcpy(&s.words[i], &words[i], 4);
  std::memcpy(&s.words[4], &p.money, 4);
  p.money = 0;
  // The pairs in the hands go with the carried ones (into free rows when they are not carried).
  for (const InvPair held : {InvPair{p.equippedKind, p.equippedIndex}, InvPair{p.equipped2Kind, p.equipped2Index}}) {
    if (held.kind == INV_NONE) continue;
    bool carried = false;
    for (const InvPair& c : p.items) carried |= c.kind == held.kind && c.index == held.index;
    if (!carried) Inv_AddItem(&p, held.kind, held.index);
  }
  for (int i = 0; i < kInvCarried && i < 256; i++) {
    s.pairs[i][0] = p.items[i].kind;
    s.pairs[i][1] = p.items[i].index;
    p.items[i] = InvPair{};
  }
  for (int i = 0; i < 12 && i < kAmmoKinds; i++) {
    s.ammo[i] = p.ammo[i];
    s.magazines[i] = p.magazine[i];
    p.ammo[i] = p.magazine[i] = 0;
  }
  p.equippedKind = p.equipped2Kind = INV_NONE;
  p.equippedIndex = p.equipped2Index = 0;
  s.full = 1;
  return true;
}

bool Cmd_InvPop(QueRun& run, const QueLine&) {
  if (!run.obj) QUE_FAIL(run, "\"inv_pop\" without an object");
  InventoryStash& s = Que_State.stash;
  if (!s.full) QUE_FAIL(run, "\"inv_pop\" with nothing stashed");
  PersonStats& p = run.obj->person;
  float words[4];
  for (int i = 0; i < 4; i++) std::memcpy(&words[i], &s.words[i], 4);
  if (std::isfinite(words[0])) p.health = words[0];
  if (std::isfinite(words[1])) p.maxHealth = words[1];
  if (std::isfinite(words[2])) p.energy = words[2];
  if (std::isfinite(words[3])) p.maxEnergy = words[3];
  p.money = s.words[4];
  for (int i = 0; i < kInvCarried && i < 256; i++) p.items[i] = InvPair{s.pairs[i][0], s.pairs[i][1]};
  for (int i = 0; i < 12 && i < kAmmoKinds; i++) {
    p.ammo[i] = s.ammo[i];
    p.magazine[i] = s.magazines[i];
  }
  // The first weapon carried is in the hand again, the first armour worn.
  p.equippedKind = p.equipped2Kind = INV_NONE;
  for (const InvPair& pair : p.items) {
    if (pair.kind == INV_WEAPON && p.equippedKind == INV_NONE) {
      p.equippedKind = INV_WEAPON;
      p.equippedIndex = pair.index;
    }
    if (pair.kind == INV_ARMOR && p.equipped2Kind == INV_NONE) {
      p.equipped2Kind = INV_ARMOR;
      p.equipped2Index = pair.index;
    }
  }
  s.full = 0;
  return true;
}

bool Cmd_TrackNpc(QueRun& run, const QueLine& l) {
  bool found = false;
  TrackedName* t = FindOrFree(Que_State.tracked, l.words[1], &found);
  if (found) return true;
  if (!t) QUE_FAIL(run, "8 characters are tracked; \"%.64s\" not tracked", l.words[1]);
  if (!Fits(t->name, l.words[1])) QUE_FAIL(run, "name too long");
  return true;
}

bool Cmd_UntrackNpc(QueRun&, const QueLine& l) {
  if (TrackedName* t = Find(Que_State.tracked, l.words[1])) t->name[0] = 0;
  return true;
}

bool Cmd_TrackLocation(QueRun& run, const QueLine& l) {
  float v[3];
  if (!Places(l, 3, v, 3)) QUE_FAIL(run, "\"track_location\" needs a name, a level and three numbers within the world");
  bool found = false;
  TrackedLocation* t = FindOrFree(Que_State.locations, l.words[1], &found);
  if (!t) QUE_FAIL(run, "64 places are tracked; \"%.64s\" not tracked", l.words[1]);
  if (std::strlen(l.words[1]) >= sizeof t->name || std::strlen(l.words[2]) >= sizeof t->level)
    QUE_FAIL(run, "name too long");
  *t = TrackedLocation{};
  Fits(t->name, l.words[1]);
  Fits(t->level, l.words[2]);
  std::memcpy(t->origin, v, sizeof v);
  return true;
}

bool Cmd_UntrackLocation(QueRun&, const QueLine& l) {
  if (TrackedLocation* t = Find(Que_State.locations, l.words[1])) *t = TrackedLocation{};
  return true;
}

// "place_npc" puts the character into the level whenever it loads; "respawn_npc" also brings it
// back at once when that level is the current one.
bool PlaceNpc(QueRun& run, const QueLine& l, bool now) {
  float v[6] = {};
  if (l.count > 4 && !Places(l, 4, v, 6)) QUE_FAIL(run, "a placement needs six numbers within the world after the template");
  if (std::strlen(l.words[1]) >= 64 || std::strlen(l.words[2]) >= 128 || std::strlen(l.words[3]) >= 128)
    QUE_FAIL(run, "name too long");
  bool found = false;
  NpcPlacement* row = FindOrFree(Que_State.placements, l.words[1], &found);
  if (!row) QUE_FAIL(run, "all 100 placements are taken; \"%.64s\" not placed", l.words[1]);
  *row = NpcPlacement{};
  Fits(row->name, l.words[1]);
  std::snprintf(reinterpret_cast<char*>(row->reserved), 128, "%s", l.words[2]);
  std::snprintf(reinterpret_cast<char*>(row->reserved + 128), 128, "%s", l.words[3]);
  std::memcpy(row->reserved + 256, v, sizeof v);
  if (now && Level_Name[0] && strcasecmp(Level_Name, l.words[2]) == 0) {
    vec3 origin{v[0], v[1], v[2]}, angles{v[3], v[4], v[5]};
    if (l.count > 4)
      Ent_SpawnNpc(l.words[1], &origin, &angles, l.words[3], 1);
    else
      Ent_SpawnNpc(l.words[1], nullptr, nullptr, l.words[3], 1);
  }
  return true;
}
bool Cmd_PlaceNpc(QueRun& run, const QueLine& l) { return PlaceNpc(run, l, false); }
bool Cmd_RespawnNpc(QueRun& run, const QueLine& l) { return PlaceNpc(run, l, true); }

bool Cmd_LockExit(QueRun& run, const QueLine& l) {
  bool found = false;
  LockedExit* e = FindOrFree(Que_State.lockedExits, l.words[1], &found);
  if (found) return true;
  if (!e) QUE_FAIL(run, "all 64 exits are locked; \"%.64s\" not locked", l.words[1]);
  if (!Fits(e->name, l.words[1])) QUE_FAIL(run, "level name too long");
  return true;
}

bool Cmd_UnlockExit(QueRun&, const QueLine& l) {
  if (LockedExit* e = Find(Que_State.lockedExits, l.words[1])) e->name[0] = 0;
  return true;
}

template <int Flag, int Value>
bool Cmd_Show(QueRun&, const QueLine&) {
  Que_State.showFlags[Flag] = Value;
  return true;
}

bool Cmd_KillCount(QueRun& run, const QueLine& l) {
  float n = 1;
  if (l.count > 3 && (!Number(l.words[3], &n) || n < 1)) QUE_FAIL(run, "bad count \"%.32s\"", l.words[3]);
  bool found = false;
  KillCount* k = FindOrFree(Que_State.killCounts, l.words[1], &found);
  if (!k) QUE_FAIL(run, "all 8 kill counts are taken");
  if (std::strlen(l.words[1]) >= sizeof k->name || std::strlen(l.words[2]) >= sizeof k->name2)
    QUE_FAIL(run, "name too long");
  *k = KillCount{};
  Fits(k->name, l.words[1]);
  Fits(k->name2, l.words[2]);
  k->count = int32_t(n);
  return true;
}

bool Police(QueRun& run, const QueLine& l, int32_t value) {
  for (PlaceRecord& p : Game_Places)
    if (p.name[0] && strcasecmp(p.name, l.words[1]) == 0) {
      p.police = value;
      return true;
    }
  QUE_FAIL(run, "no place \"%.64s\"", l.words[1]);
}
bool Cmd_PoliceOn(QueRun& run, const QueLine& l) { return Police(run, l, 1); }
bool Cmd_PoliceOff(QueRun& run, const QueLine& l) { return Police(run, l, 0); }

bool Cmd_District(QueRun& run, const QueLine& l) {
  float index, access;
  if (!Number(l.words[1], &index) || !Number(l.words[2], &access) || index != std::floor(index) || index < 0 ||
      index >= kDistricts || access < 0 || access != std::floor(access) || access > 4294967295.0f)
    QUE_FAIL(run, "bad district \"%.32s\" or access \"%.32s\"", l.words[1], l.words[2]);
  Que_State.districts[int(index)] = uint32_t(access);
  return true;
}

bool Cmd_Timer(QueRun& run, const QueLine& l) {
  float seconds;
  if (!Number(l.words[2], &seconds)) QUE_FAIL(run, "bad time \"%.32s\"", l.words[2]);
  bool found = false;
  QuestTimer* t = FindOrFree(Que_State.timers, l.words[1], &found);
  if (seconds <= 0) {  // stops the timer
    if (found) *t = QuestTimer{};
    return true;
  }
  if (l.count < 4) QUE_FAIL(run, "\"timer\" without a script");
  if (!t) QUE_FAIL(run, "all 32 timers run; \"%.64s\" not started", l.words[1]);
  if (std::strlen(l.words[1]) >= sizeof t->name || std::strlen(l.words[3]) >= sizeof t->script)
    QUE_FAIL(run, "name too long");
  *t = QuestTimer{};
  Fits(t->name, l.words[1]);
  Fits(t->script, l.words[3]);
  t->left = seconds;
  return true;
}

bool Cmd_Status(QueRun& run, const QueLine& l) {
  float seconds, c[4] = {255, 255, 255, 255};
  if (!Number(l.words[2], &seconds) || seconds < 0) QUE_FAIL(run, "bad time \"%.32s\"", l.words[2]);
  if (l.count > 3 && !Numbers(l, 3, c, 4)) QUE_FAIL(run, "a colour needs four numbers 0..255");
  PlayScreenState& s = Game_PlayScreen;
  if (!Fits(s.statusKey, l.words[1])) QUE_FAIL(run, "text key too long");
  s.statusStart = Game_Time;
  s.statusDuration = seconds;
  for (int i = 0; i < 4; i++) s.statusColor[i] = uint8_t(std::fmin(255.0f, std::fmax(0.0f, c[i])));
  return true;
}

bool Cmd_Movie(QueRun& run, const QueLine& l) {
  const char* script = l.count > 2 && !Dash(l.words[2]) ? l.words[2] : "";
  const char* level = l.count > 3 && !Dash(l.words[3]) ? l.words[3] : "";
  if (std::strlen(script) >= sizeof Game_MovieScript) QUE_FAIL(run, "script name too long");
  float v[6] = {};
  bool start = l.count > 4;
  if (start && !Numbers(l, 4, v, 6)) QUE_FAIL(run, "a movie's level start needs six numbers");
  vec3 origin{v[0], v[1], v[2]}, angles{v[3], v[4], v[5]};
  Game_StartMovie(l.words[1], script, level, start ? &origin : nullptr, start ? &angles : nullptr);
  return true;
}

// The words after the command as bracketed pairs again.
std::string Rejoin(const QueLine& l) {
  std::string text;
  for (int i = 1; i < l.count; i++) text += "[" + std::string(l.words[i]) + "] ";
  return text;
}

bool Cmd_Give(QueRun& run, const QueLine& l) {
  if (!run.obj) QUE_FAIL(run, "\"give\" without an object");
  return Inv_AddFromText(&run.obj->person, Rejoin(l).c_str()) > 0;
}

// "take" [kind] [name] takes one such pair (also from the hands); [money] [n] takes money (not
// below 0).
bool Cmd_Take(QueRun& run, const QueLine& l) {
  if (!run.obj) QUE_FAIL(run, "\"take\" without an object");
  PersonStats& p = run.obj->person;
  if (strcasecmp(l.words[1], "money") == 0) {
    float n;
    if (!Number(l.words[2], &n) || n < 0) QUE_FAIL(run, "bad amount \"%.32s\"", l.words[2]);
    p.money = n >= float(p.money) ? 0 : p.money - int32_t(n);
    return true;
  }
  struct Kind {
    const char* word;
    int kind;
    int (*find)(const char*);
  };
  static const Kind kKinds[] = {{"weapon", INV_WEAPON, Def_FindWeaponByName}, {"armor", INV_ARMOR, Def_FindArmor},
                                {"item", INV_ITEM, Def_FindItem},             {"tatu", INV_TATU, Def_FindTatu},
                                {"trans", INV_TRANS, Def_FindTrans},          {"good", INV_GOOD, Def_FindGood}};
  for (const Kind& k : kKinds) {
    if (strcasecmp(l.words[1], k.word) != 0) continue;
    int index = k.find(l.words[2]);
    if (index < 0) QUE_FAIL(run, "no %s named \"%.64s\"", k.word, l.words[2]);
    for (InvPair& pair : p.items)
      if (pair.kind == k.kind && pair.index == index) {
        pair = InvPair{};
        if (p.equippedKind == k.kind && p.equippedIndex == index && !Inv_HasItem(&p, k.kind, index))
          p.equippedKind = INV_NONE;
        return true;
      }
    if (p.equippedKind == k.kind && p.equippedIndex == index) {
      p.equippedKind = INV_NONE;
      return true;
    }
    if (p.equipped2Kind == k.kind && p.equipped2Index == index) {
      p.equipped2Kind = INV_NONE;
      return true;
    }
    QUE_FAIL(run, "\"%.64s\" is not carried", l.words[2]);
  }
  QUE_FAIL(run, "unknown kind \"%.32s\"", l.words[1]);
}

// Entity text composed from key and value pairs, on one line. Its read is part of the run: the
// text and every file it includes come out of the run's bytes.
bool Cmd_Spawn(QueRun& run, const QueLine& l) {
  if ((l.count - 1) % 2 != 0) QUE_FAIL(run, "\"spawn\" needs keys and values in pairs");
  std::string text = "{";
  for (int i = 1; i + 1 < l.count; i += 2) {
    for (int w = i; w <= i + 1; w++)
      if (std::strpbrk(l.words[w], "\"{}\r\n")) QUE_FAIL(run, "\"spawn\" word with a quote, brace or line break");
    text += " \"" + std::string(l.words[i]) + "\" \"" + l.words[i + 1] + "\"";
  }
  text += " }";
  if (Obj_Count() >= kQueSpawnObjects) {
    if (Que_LogOnce("spawns refused"))
      Log_Printf("Que_Apply: %s: the level holds %d objects; no more spawns\n", run.name, kQueSpawnObjects);
    return false;
  }
  if (!QueBudget_TakeBytes(uint32_t(text.size()), run.name)) return false;
  // Said in the first run of each script this level, as its faults are.
  const std::string key = std::string("load object ") + run.name;
  if (QueSay(key.c_str())) Log_Printf("load object %.200s%s\n", text.c_str(), text.size() > 200 ? " ..." : "");
  const int before = Obj_Count();
  read_ent(text.c_str(), uint32_t(text.size()));
  return Obj_Count() > before;
}

// Runs the script of that name on the run's object, one level deeper, within the run's budget.
bool RunScript(QueRun& run, const char* script, const char* argument) {
  if (run.depth + 1 >= kQueMaxDepth) {
    QueBudget_SayDeep(run.name);
    return false;
  }
  char path[192];
  if (std::strlen(script) > 128 || std::strstr(script, "..")) QUE_FAIL(run, "refused the script name");
  std::snprintf(path, sizeof path, "scripts\\que\\%s.txt", script);
  uint32_t size = 0;
  char* text = static_cast<char*>(File_LoadWhole(path, &size, "QUE"));
  if (!text) QUE_FAIL(run, "no script %s", path);
  if (!QueBudget_TakeBytes(size, path)) {
    Global_Free(text);
    return false;
  }
  Que_RunTextOn(run.obj, text, size, path, argument, run.depth + 1);
  Global_Free(text);
  return true;
}

bool Cmd_Run(QueRun& run, const QueLine& l) { return RunScript(run, l.words[1], l.count > 2 ? l.words[2] : ""); }

// "if" condition script [script]: the first script when the condition holds, else the second.
bool Cmd_If(QueRun& run, const QueLine& l) {
  const char* script = Que_TestCondition(l.words[1]) ? l.words[2] : l.count > 3 ? l.words[3] : "-";
  return Dash(script) || RunScript(run, script, run.argument);
}

bool Cmd_Say(QueRun& run, const QueLine& l) {
  GameObject* speaker = Dialog_Partner ? Dialog_Partner : run.obj ? run.obj->useTargetCharacter : nullptr;
  // A missing text or voice is logged by the screen; the line shows all the same.
  return Dialog_Say(l.words[1], l.count > 2 ? l.words[2] : "", speaker) != 0;
}

bool Cmd_Answer(QueRun& run, const QueLine& l) {
  if (std::strlen(l.words[1]) >= kDialogKeySize || std::strlen(l.words[2]) >= kDialogKeySize)
    QUE_FAIL(run, "answer name too long");
  return Dialog_AddAnswer(l.words[1], l.words[2]) >= 0;
}

bool Cmd_DialogEnd(QueRun&, const QueLine&) {
  Dialog_End();
  return true;
}

struct QueCommand {
  const char* name;
  int minArgs;
  bool (*run)(QueRun&, const QueLine&);
};
const QueCommand kCommands[] = {
    {"level", 1, Cmd_Level},
    {"objective", 2, Cmd_Objective},
    {"mission", 1, Cmd_Mission},
    {"mission_failed", 0, Cmd_MissionFailed},
    {"flag_set", 1, Cmd_FlagSet},
    {"inv_push", 0, Cmd_InvPush},
    {"inv_pop", 0, Cmd_InvPop},
    {"track_npc", 1, Cmd_TrackNpc},
    {"untrack_npc", 1, Cmd_UntrackNpc},
    {"track_location", 5, Cmd_TrackLocation},
    {"untrack_location", 1, Cmd_UntrackLocation},
    {"place_npc", 3, Cmd_PlaceNpc},
    {"respawn_npc", 3, Cmd_RespawnNpc},
    {"lock_exit", 1, Cmd_LockExit},
    {"unlock_exit", 1, Cmd_UnlockExit},
    {"show_clock_on", 0, Cmd_Show<0, 1>},
    {"show_clock_off", 0, Cmd_Show<0, 0>},
    {"show_player_frags_on", 0, Cmd_Show<1, 1>},
    {"show_player_frags_off", 0, Cmd_Show<1, 0>},
    {"show_enemy_max_frags_on", 0, Cmd_Show<2, 1>},
    {"show_enemy_max_frags_off", 0, Cmd_Show<2, 0>},
    {"show_fraglimit_on", 0, Cmd_Show<3, 1>},
    {"show_fraglimit_off", 0, Cmd_Show<3, 0>},
    {"kill_count", 2, Cmd_KillCount},
    {"police_on", 1, Cmd_PoliceOn},
    {"police_off", 1, Cmd_PoliceOff},
    {"district", 2, Cmd_District},
    {"timer", 2, Cmd_Timer},
    {"status", 2, Cmd_Status},
    {"movie", 1, Cmd_Movie},
    {"give", 2, Cmd_Give},
    {"take", 2, Cmd_Take},
    {"spawn", 2, Cmd_Spawn},
    {"run", 1, Cmd_Run},
    {"if", 2, Cmd_If},
    {"say", 1, Cmd_Say},
    {"answer", 2, Cmd_Answer},
    {"dialog_end", 0, Cmd_DialogEnd},
};

bool RunLine(QueRun& run, const QueLine& line) {
  if (line.count == 0) return false;
  if (line.tooLong) {
    if (QueSay(run.name)) Log_Printf("Que_Apply: %s: line %d: a word too long; skipped\n", run.name, run.line);
    return false;
  }
  if (line.tooMany) {
    if (QueSay(run.name))
      Log_Printf("Que_Apply: %s: line %d: more than %d words; skipped\n", run.name, run.line, kQueWords);
    return false;
  }
  const char* command = line.words[0];
  for (const QueCommand& c : kCommands) {
    if (std::strcmp(command, c.name) != 0) continue;
    if (line.count - 1 < c.minArgs || (c.minArgs > 0 && !line.words[1][0])) {
      if (QueSay(run.name))
        Log_Printf("Que_Apply: %s: line %d: \"%s\" needs %d argument(s); skipped\n", run.name, run.line, command,
                   c.minArgs);
      return false;
    }
    return c.run(run, line);
  }
  if (QueSay(run.name))
    Log_Printf("Que_Apply: %s: line %d: unknown command \"%.64s\"; skipped\n", run.name, run.line, command);
  return false;
}

// An objective of the current mission was met: its condition's name goes into the first free
// mission row (once), for the goals screen.
void MarkObjectiveMet(const char* condition) {
  bool found = false;
  MissionRow* row = FindOrFree(Que_State.mission.rows, condition, &found);
  if (!row || !Fits(row->name, condition)) return;  // 32 met already: the goals screen shows those
  row->state = kMissionRowMet;
}

// How deep scripts run inside scripts now (a script started by a command of another counts).
int g_depth;

}  // namespace

int Que_ParseNumber(const char* word, float* out) {
  if (!word || !word[0]) return 0;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(word, &end);
  if (end == word || *end || errno == ERANGE || !std::isfinite(v) || std::fabs(v) > 1e9) return 0;
  *out = float(v);
  return 1;
}

int Que_RunTextOn(GameObject* obj, const char* text, size_t size, const char* name, const char* argument, int depth) {
  if (!text) return 0;
  const bool top = g_depth == 0;  // a run of its own, not one started by a running script
  if (top) QueBudget_Start();
  if (depth < g_depth) depth = g_depth;
  if (depth >= kQueMaxDepth) {
    QueBudget_SayDeep(name ? name : "?");
    return 0;
  }
  const size_t length = strnlen(text, size);
  QueRun run{obj, name ? name : "?", 0, depth, argument};
  int done = 0;
  size_t at = 0;
  static QueLine lines[kQueMaxDepth];
  QueLine& line = lines[depth < 0 ? 0 : depth];
  const int outer = g_depth;
  g_depth = depth + 1;
  const EntSpendFn outerSpend = top ? Ent_SetOuterBudget(QueBudget_TakeInclude) : nullptr;
  std::string one;
  while (at < length) {
    const char* start = text + at;
    const char* end = static_cast<const char*>(std::memchr(start, '\n', length - at));
    size_t n = end ? size_t(end - start) : length - at;
    at += n + 1;
    ++run.line;
    if (!QueBudget_TakeLine(run.name)) break;
    one.assign(start, n);
    ReadLine(one.c_str(), argument, &line);
    if (RunLine(run, line)) done++;
  }
  if (top) Ent_SetOuterBudget(outerSpend);
  g_depth = outer;
  return done;
}

int Que_RunText(const char* text, size_t size, const char* name) {
  return Que_RunTextOn(Obj_Player, text, size, name, "", 0);
}

int Que_Apply(GameObject* obj, const char* script, const char* argument) {
  if (!script || !script[0]) return 0;
  if (std::strlen(script) > 128 || std::strstr(script, "..")) {
    if (Que_LogOnce(script))
      Log_Printf("Que_Apply: refused the script name \"%.64s\"\n", script);
    return 0;
  }
  char path[192];
  std::snprintf(path, sizeof path, "scripts\\que\\%s.txt", script);
  uint32_t size = 0;
  char* text = static_cast<char*>(File_LoadWhole(path, &size, "QUE"));
  if (!text) {
    if (Que_LogOnce(path)) Log_Printf("Que_Apply: no script %s\n", path);
    return 0;
  }
  Que_RunTextOn(obj, text, size, path, argument ? argument : "", 0);
  Global_Free(text);
  return 1;
}

int Que_AddObjective(const char* condition, const char* script, float timeLimit) {
  if (!condition || !script) return -1;
  QuestObjectives& o = Que_State.objectives;
  // A script that gives objectives every tick says each refusal once a level.
  auto say = [&] { return Que_LogOnce((std::string("objective ") + condition).c_str()) != 0; };
  if (std::strlen(condition) >= sizeof o.conditions[0] || std::strlen(script) >= sizeof o.scripts[0]) {
    if (say()) Log_Printf("Que_AddObjective: a name too long; not added\n");
    return -1;
  }
  if (!std::isfinite(timeLimit) || timeLimit < 0) timeLimit = 0;
  int free = -1;
  for (int i = 0; i < kObjectives; i++) {
    bool empty = !o.conditions[i][0] && !o.scripts[i][0];
    if (!empty && std::strcmp(o.conditions[i], condition) == 0 && std::strcmp(o.scripts[i], script) == 0) return i;
    if (empty && free < 0) free = i;
  }
  if (free < 0) {
    if (say()) Log_Printf("Que_AddObjective: all %d objectives are taken; \"%s\" not added\n", kObjectives, condition);
    return -1;
  }
  std::snprintf(o.conditions[free], sizeof o.conditions[free], "%s", condition);
  std::snprintf(o.scripts[free], sizeof o.scripts[free], "%s", script);
  o.times[free] = timeLimit;
  return free;
}

int Que_HasFlag(const char* name) {
  if (!name || !name[0]) return 0;
  for (const QuestFlag& f : Que_State.flags)
    if (f.name[0] && strcasecmp(f.name, name) == 0) return 1;
  return 0;
}

void Que_CharacterDied(const GameObject* character) {
  if (!character || !character->person.name[0]) return;
  for (KillCount& k : Que_State.killCounts) {
    size_t n = strnlen(k.name, sizeof k.name);
    if (!n || n == sizeof k.name || strncasecmp(character->person.name, k.name, n) != 0) continue;
    if (++k.killed < k.count) continue;
    char script[sizeof k.name2 + 1] = {};
    std::memcpy(script, k.name2, sizeof k.name2);
    k = KillCount{};
    if (script[0]) Que_Apply(Obj_Player, script, character->person.name);
  }
}

void Que_Tick() {
  const float step = float(Game_Step);
  for (QuestTimer& t : Que_State.timers) {
    if (!t.name[0]) continue;
    if (!std::isfinite(t.left)) t.left = 0;
    t.left -= step;
    if (t.left > 0) continue;
    char script[sizeof t.script + 1] = {};
    std::memcpy(script, t.script, sizeof t.script);
    t = QuestTimer{};
    if (script[0]) Que_Apply(Obj_Player, script, "");
  }
  QuestObjectives& o = Que_State.objectives;
  for (int i = 0; i < kObjectives; i++) {
    if (!o.conditions[i][0] && !o.scripts[i][0]) continue;
    char script[kQuestNameSize];
    std::memcpy(script, o.scripts[i], sizeof script);
    script[kQuestNameSize - 1] = 0;
    if (o.conditions[i][0] && Que_TestCondition(o.conditions[i])) {
      MarkObjectiveMet(o.conditions[i]);
      o.conditions[i][0] = o.scripts[i][0] = 0;
      o.times[i] = 0;
      if (script[0]) Que_Apply(Obj_Player, script, "");
      continue;
    }
    if (!(o.times[i] > 0)) continue;  // no time limit
    o.times[i] -= step;
    if (o.times[i] > 0) continue;
    Log_Printf("Que_Tick: the objective \"%.64s\" ran out of time; mission failed\n", o.conditions[i]);
    o.conditions[i][0] = o.scripts[i][0] = 0;
    o.times[i] = 0;
    Game_MissionFailed = 1;
  }
}
