// Conditions: "scripts\cond\<name>.txt", one test a line, read once and kept until the quests
// forget them (a new game).
#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "characters/defs.h"
#include "characters/inventory.h"
#include "characters/person.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/partoken.h"
#include "hud/hud.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "world/level.h"
#include "world/object.h"

namespace {

enum CondKind : int32_t { COND_FLAG, COND_ITEM, COND_MONEY, COND_DEAD, COND_LEVEL, COND_HOUR, COND_NEAR, COND_COND };

constexpr int kCondNameSize = 128;
struct CondTest {
  int32_t kind;
  char name[kCondNameSize];
  float a, b;
  int32_t itemKind, itemIndex;  // COND_ITEM: the definition found when read (kind 0: none)
};
struct CondEntry {
  char name[kCondNameSize];
  int32_t count;  // tests; -1 for a file that never holds (missing or bad)
  CondTest tests[kQueCondTests];
  bool loggedDepth;
  int32_t busy;  // tests of it running now: such an entry keeps its place in the table
  uint32_t occasion;  // of its read: the lines about it said then
};
constexpr int kCondCache = 64;
CondEntry g_conds[kCondCache];
int g_condNext;  // the entry the next new condition takes when all are used

// The names that said a fault this level, with the occasion they first spoke in.
struct FaultName {
  char name[160];
  uint32_t occasion;
};
FaultName g_faults[kQueFaultNames];
int g_faultCount;
bool g_faultsFullSaid;
uint32_t g_occasion;

// The condition files found missing this level. Once it is full no further file is looked for
// this level: a missing file past it would otherwise be opened again at every test.
struct MissingName {
  char path[kCondNameSize + 32];
};
MissingName g_missing[kQueMissingNames];
int g_missingCount;

FaultName* FindFault(const char* name) {
  char key[sizeof FaultName::name];
  std::snprintf(key, sizeof key, "%s", name);
  for (int i = 0; i < g_faultCount; i++)
    if (strcasecmp(g_faults[i].name, key) == 0) return &g_faults[i];
  return nullptr;
}

// The row of the name, added when it is new (null when the table is full).
FaultName* AddFault(const char* name, uint32_t occasion) {
  if (FaultName* f = FindFault(name)) return f;
  if (g_faultCount == kQueFaultNames) {
    if (!g_faultsFullSaid)
      Log_Printf("Que_Apply: more than %d scripts, conditions, texts and objectives with faults this level; no more of their lines\n",
                 kQueFaultNames);
    g_faultsFullSaid = true;
    return nullptr;
  }
  FaultName& f = g_faults[g_faultCount++];
  f = FaultName{};
  std::snprintf(f.name, sizeof f.name, "%s", name);
  f.occasion = occasion;
  return &f;
}


// The first definition of any kind of that name.
void FindDefinition(const char* name, int32_t* kind, int32_t* index) {
  struct Kind {
    int kind;
    int (*find)(const char*);
  };
  static const Kind kKinds[] = {{INV_ITEM, Def_FindItem},   {INV_WEAPON, Def_FindWeaponByName}, {INV_ARMOR, Def_FindArmor},
                                {INV_GOOD, Def_FindGood},   {INV_TATU, Def_FindTatu},           {INV_TRANS, Def_FindTrans}};
  for (const Kind& k : kKinds) {
    int i = k.find(name);
    if (i >= 0) {
      *kind = k.kind;
      *index = i;
      return;
    }
  }
  *kind = INV_NONE;
  *index = -1;
}

struct CondWord {
  const char* word;
  int32_t kind;
  int names;    // 1 when the first argument is a name
  int numbers;  // numbers after it
};
const CondWord kCondWords[] = {{"flag", COND_FLAG, 1, 0},  {"item", COND_ITEM, 1, 0},   {"money", COND_MONEY, 0, 1},
                               {"dead", COND_DEAD, 1, 0},  {"level", COND_LEVEL, 1, 0}, {"hour", COND_HOUR, 0, 2},
                               {"near", COND_NEAR, 1, 1},  {"cond", COND_COND, 1, 0}};

// Reads a condition's text into the entry; a bad line makes the whole condition one that never
// holds (a test dropped would make it hold too early).
void ReadCondition(const char* text, size_t size, const char* name, CondEntry* e) {
  e->count = 0;
  // Asked only when a line is due, so that a good condition takes no row of the fault names.
  auto say = [&] { return Que_MayLogFault(name, e->occasion) != 0; };
  std::string source(text, strnlen(text, size));
  size_t at = 0;
  int number = 0;
  char words[4][kParTokenSize];
  while (at < source.size() && e->count >= 0) {
    size_t end = source.find('\n', at);
    if (end == std::string::npos) end = source.size();
    std::string one = source.substr(at, end - at);
    at = end + 1;
    number++;
    const char* rest = one.c_str();
    int count = 0;
    while (rest && count < 4 && Par_NextBracketTokenTo(rest, &rest, words[count], sizeof words[count])) count++;
    if (count == 0) continue;
    const CondWord* w = nullptr;
    for (const CondWord& c : kCondWords)
      if (strcasecmp(words[0], c.word) == 0) w = &c;
    if (!w) {
      if (say())
        Log_Printf("Que_TestCondition: %s: line %d: unknown test \"%.64s\"; the condition never holds\n", name,
                   number, words[0]);
      e->count = -1;
      break;
    }
    if (e->count == kQueCondTests) {
      if (say())
        Log_Printf("Que_TestCondition: %s: more than %d tests; the condition never holds\n", name, kQueCondTests);
      e->count = -1;
      break;
    }
    CondTest& t = e->tests[e->count];
    t = CondTest{};
    t.kind = w->kind;
    bool ok = count >= 1 + w->names + w->numbers;
    if (ok && w->names) ok = words[1][0] && std::strlen(words[1]) < sizeof t.name;
    if (ok && w->names) std::snprintf(t.name, sizeof t.name, "%s", words[1]);
    float* nums[2] = {&t.a, &t.b};
    for (int i = 0; ok && i < w->numbers; i++) ok = Que_ParseNumber(words[1 + w->names + i], nums[i]);
    if (!ok) {
      if (say())
        Log_Printf("Que_TestCondition: %s: line %d: \"%s\" with missing or bad arguments; the condition never holds\n",
                   name, number, w->word);
      e->count = -1;
      break;
    }
    if (t.kind == COND_ITEM) {
      FindDefinition(t.name, &t.itemKind, &t.itemIndex);
      if (t.itemKind == INV_NONE && say())
        Log_Printf("Que_TestCondition: %s: line %d: no item \"%s\"\n", name, number, t.name);
    }
    e->count++;
  }
}

CondEntry* FindCondition(const char* name) {
  for (CondEntry& e : g_conds)
    if (e.name[0] && std::strcmp(e.name, name) == 0) return &e;
  CondEntry* e = nullptr;
  for (CondEntry& c : g_conds)
    if (!c.name[0]) {
      e = &c;
      break;
    }
  // All used: the next one in turn that no running test reads (conditions nest at most
  // kQueMaxDepth deep, so one is always free to go).
  for (int tries = 0; !e && tries < kCondCache; tries++) {
    CondEntry& c = g_conds[g_condNext];
    g_condNext = (g_condNext + 1) % kCondCache;
    if (!c.busy) e = &c;
  }
  static_assert(kQueMaxDepth < kCondCache);
  if (!e) {
    static CondEntry never;
    never = CondEntry{};
    never.count = -1;
    return &never;
  }
  *e = CondEntry{};
  std::snprintf(e->name, sizeof e->name, "%s", name);
  e->occasion = Que_NewOccasion();
  char path[kCondNameSize + 32];
  std::snprintf(path, sizeof path, "scripts\\cond\\%s.txt", name);
  // A file missing this level is not looked for again at every test of it.
  char* text = nullptr;
  uint32_t size = 0;
  const bool known = Que_IsKnownMissing(path) != 0;
  if (!known) text = static_cast<char*>(File_LoadWhole(path, &size, "QUE"));
  if (!text) {
    if (!known && Que_MayLogFault(path, e->occasion)) Log_Printf("Que_TestCondition: no condition %s\n", path);
    Que_MarkMissing(path);
    e->count = -1;
    return e;
  }
  ReadCondition(text, size, path, e);
  Global_Free(text);
  return e;
}

GameObject* FindNamed(const char* name) {
  int count = 0;
  GameObject* const* list = Obj_ListArray(&count);
  for (int i = 0; i < count; i++)
    if (list[i]->person.name[0] && strcasecmp(list[i]->person.name, name) == 0) return list[i];
  return nullptr;
}

bool TestEntry(CondEntry* e, int depth);

bool Test(const CondTest& t, CondEntry* e, int depth) {
  const GameObject* player = Obj_Player;
  switch (t.kind) {
    case COND_FLAG: return Que_HasFlag(t.name);
    case COND_ITEM: return player && t.itemKind != INV_NONE && Inv_HasItem(&player->person, t.itemKind, t.itemIndex);
    case COND_MONEY: return player && float(player->person.money) >= t.a;
    case COND_DEAD: {
      const GameObject* o = FindNamed(t.name);
      return o && o->person.state == 2;
    }
    case COND_LEVEL: return strcasecmp(Level_Name, t.name) == 0;
    case COND_HOUR: {
      if (!player) return false;
      double day = Hud_DayLength();
      double hour = std::fmod(player->person.clock / day, 1.0) * 24.0;
      if (hour < 0) hour += 24.0;
      return t.a <= t.b ? hour >= t.a && hour < t.b : hour >= t.a || hour < t.b;
    }
    case COND_NEAR: {
      const GameObject* o = FindNamed(t.name);
      if (!player || !o) return false;
      double dx = o->origin.x - player->origin.x, dy = o->origin.y - player->origin.y,
             dz = o->origin.z - player->origin.z;
      return dx * dx + dy * dy + dz * dz <= double(t.a) * t.a;
    }
    case COND_COND: {
      if (depth + 1 >= kQueMaxDepth) {
        if (!e->loggedDepth && Que_MayLogFault(e->name, e->occasion))
          Log_Printf("Que_TestCondition: %s names conditions %d deep; it never holds\n", e->name, kQueMaxDepth);
        e->loggedDepth = true;
        return false;
      }
      return TestEntry(FindCondition(t.name), depth + 1);
    }
    default: return false;
  }
}

bool TestEntry(CondEntry* e, int depth) {
  if (e->count < 0) return false;
  // Held while its tests run, so that a condition it names cannot take its place.
  e->busy++;
  bool holds = true;
  for (int i = 0; holds && i < e->count; i++) holds = Test(e->tests[i], e, depth);
  e->busy--;
  return holds;
}

}  // namespace

int Que_TestCondition(const char* name) {
  if (!name || !name[0]) return 0;
  if (std::strlen(name) >= kCondNameSize || std::strstr(name, "..")) {
    if (Que_LogOnce(name))
      Log_Printf("Que_TestCondition: refused the condition name \"%.64s\"\n", name);
    return 0;
  }
  return TestEntry(FindCondition(name), 0);
}

int Que_TestConditionText(const char* text, size_t size, const char* name) {
  if (!text) return 0;
  static CondEntry e;
  e = CondEntry{};
  std::snprintf(e.name, sizeof e.name, "%s", name ? name : "?");
  e.occasion = Que_NewOccasion();
  ReadCondition(text, size, e.name, &e);
  return TestEntry(&e, 0);
}

void Que_ForgetConditions() {
  for (CondEntry& e : g_conds) e = CondEntry{};
  g_condNext = 0;
}

uint32_t Que_NewOccasion() { return ++g_occasion; }

int Que_MayLogFault(const char* name, uint32_t occasion) {
  FaultName* f = AddFault(name ? name : "?", occasion);
  if (!f) return 0;
  return f->occasion == occasion;
}

int Que_LogOnce(const char* name) { return Que_MayLogFault(name, Que_NewOccasion()); }

int Que_IsKnownMissing(const char* name) {
  if (g_missingCount == kQueMissingNames) return 1;
  for (int i = 0; i < g_missingCount; i++)
    if (strcasecmp(g_missing[i].path, name) == 0) return 1;
  return 0;
}

void Que_MarkMissing(const char* name) {
  if (Que_IsKnownMissing(name)) return;
  std::snprintf(g_missing[g_missingCount].path, sizeof g_missing[0].path, "%s", name);
  if (++g_missingCount == kQueMissingNames)
    Log_Printf("Que_TestCondition: %d condition files missing this level; no more are looked for\n",
               kQueMissingNames);
}

void Que_ForgetFaults() {
  for (FaultName& f : g_faults) f = FaultName{};
  g_faultCount = 0;
  g_faultsFullSaid = false;
  for (MissingName& m : g_missing) m = MissingName{};
  g_missingCount = 0;
  // Conditions that never held (a missing or bad file) are read again when next tested.
  for (CondEntry& e : g_conds)
    if (e.name[0] && e.count < 0 && !e.busy) e = CondEntry{};
}
