// The AI's records and entries until its behaviour arrives: characters get their bot state,
// the AI block of saved games carries it, and the developer key kills every living character.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ai/bot.h"
#include "foundation/bytereader.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "world/object.h"

namespace {

struct AiWorld {
  int32_t setUp;          // the level's AI runs
  int32_t resetRequested;  // the next step drops every memory
  int32_t dmRespawns;
};
AiWorld g_ai;

constexpr uint32_t kBlockMark = 0x4B424941;  // "AIBK"
constexpr uint32_t kBlockVersion = 1;
constexpr size_t kBlockHeader = 16;                          // mark, version, respawns, count
constexpr size_t kBlockRecord = 4 + 4 + 4 + 24 + 4 + 4 + kBotScriptSize;  // per character
constexpr size_t kBlockLimit = 64u << 20;

uint32_t CheckWord(const uint8_t* bytes, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; i++) h = (h ^ bytes[i]) * 16777619u;
  return h;
}

bool HasBot(const GameObject* o) { return o->bot.setUp != 0; }

}  // namespace

void bot_Setup(GameObject* obj, const char* script) {
  if (!obj) return;
  BotState& b = obj->bot;
  const char* name = script && script[0] ? script : "*";
  if (std::strlen(name) >= sizeof b.script) {
    Log_Printf("bot_Setup: the script name \"%.32s...\" is too long; the default is used\n", name);
    name = "*";
  }
  uint32_t flags = b.acfFlags;
  b = BotState{};
  b.acfFlags = flags;
  b.setUp = 1;
  std::snprintf(b.script, sizeof b.script, "%s", name);
  b.goals[0] = b.goals[1] = obj->origin;
  b.civilianArea = ai_FindAreaAtPoint(&Nav_Level.sets[NAV_CIVILIAN], &obj->origin.x, -1);
  b.carArea = ai_FindAreaAtPoint(&Nav_Level.sets[NAV_CARS], &obj->origin.x, -1);
}

void ai_UnregisterObject(GameObject* obj) {
  if (obj) obj->bot.setUp = 0;
}

void ai_StartLevel() { g_ai.setUp = 1; }

void ai_Tick() {
  if (!g_ai.resetRequested) return;
  g_ai.resetRequested = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) o->bot.engaged = 0;
}

void ai_Invalidate() { g_ai.setUp = 0; }
void ai_RequestFullReset() { g_ai.resetRequested = 1; }
int ai_GetDmRespawns() { return g_ai.dmRespawns; }

void ai_KillAllEnemies() {
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (o->classNum != NPC || !(o->flags & OBJ_ACTIVE) || o->person.state != 1) continue;
    float lethal = o->person.health > 0 ? o->person.health + 1.0f : 1.0f;
    o->slots.Damage(o, Obj_Player, lethal, 1.0f, &o->origin, 0, 0);
  }
}

std::vector<uint8_t> ai_BlockBytes() {
  ByteWriter w;
  uint32_t count = 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) count += HasBot(o);
  w.U32(kBlockMark);
  w.U32(kBlockVersion);
  w.I32(g_ai.dmRespawns);
  w.U32(count);
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (!HasBot(o)) continue;
    const BotState& b = o->bot;
    w.U32(o->id);
    w.I32(b.engaged);
    w.U32(b.acfFlags);
    for (const vec3& g : b.goals) {
      w.F32(g.x);
      w.F32(g.y);
      w.F32(g.z);
    }
    w.I32(b.civilianArea);
    w.I32(b.carArea);
    w.Text(b.script, kBotScriptSize - 1);
    w.Zeros(1);
  }
  w.U32(CheckWord(reinterpret_cast<const uint8_t*>(w.bytes.data()), w.bytes.size()));
  return std::vector<uint8_t>(w.bytes.begin(), w.bytes.end());
}

namespace {
struct LoadedBot {
  uint32_t id;
  BotState bot;
};

// Reads and checks a whole block. `known` tells whether an object id may be named; with
// `areaCounts`, every area must lie below the level's count of its set.
template <class Known>
int ParseBlock(const uint8_t* bytes, size_t size, Known known, const int32_t areaCounts[kNavSets],
               std::vector<LoadedBot>* out, uint32_t* respawnsOut) {
  if (!bytes || size < kBlockHeader + 4) {
    Log_Printf("ai_LoadBlock: the AI block is cut short; nothing loaded\n");
    return 0;
  }
  ByteReader r(bytes, size - 4);
  ByteReader tail(bytes + size - 4, 4);
  if (tail.U32() != CheckWord(bytes, size - 4)) {
    Log_Printf("ai_LoadBlock: the AI block is damaged; nothing loaded\n");
    return 0;
  }
  uint32_t mark = r.U32(), version = r.U32(), respawns = r.U32(), count = r.U32();
  if (mark != kBlockMark || version != kBlockVersion) {
    Log_Printf("ai_LoadBlock: not an AI block of version %u; nothing loaded\n", kBlockVersion);
    return 0;
  }
  if (count != r.Left() / kBlockRecord || r.Left() % kBlockRecord) {
    Log_Printf("ai_LoadBlock: %u characters do not fill the block; nothing loaded\n", count);
    return 0;
  }
  out->reserve(count);
  for (uint32_t i = 0; i < count; i++) {
    uint32_t id = r.U32();
    if (!known(id)) {
      Log_Printf("ai_LoadBlock: no object %u for its AI record; nothing loaded\n", id);
      return 0;
    }
    BotState b{};
    b.setUp = 1;
    b.engaged = r.I32();
    b.acfFlags = r.U32();
    for (vec3& g : b.goals) g = vec3{r.F32(), r.F32(), r.F32()};
    b.civilianArea = r.I32();
    b.carArea = r.I32();
    r.Take(b.script, sizeof b.script);
    if (std::memchr(b.script, 0, sizeof b.script) == nullptr) {
      Log_Printf("ai_LoadBlock: an unterminated script name; nothing loaded\n");
      return 0;
    }
    if (areaCounts && (b.civilianArea < -1 || b.civilianArea >= areaCounts[NAV_CIVILIAN] || b.carArea < -1 ||
                       b.carArea >= areaCounts[NAV_CARS])) {
      Log_Printf("ai_LoadBlock: an area the level does not have; nothing loaded\n");
      return 0;
    }
    out->push_back(LoadedBot{id, b});
  }
  *respawnsOut = respawns;
  return r.ok ? 1 : 0;
}
}  // namespace

size_t ai_BlockLength(const uint8_t* bytes, size_t size) {
  if (!bytes || size < kBlockHeader) return 0;
  ByteReader r(bytes + 12, 4);
  uint64_t count = r.U32();
  uint64_t length = kBlockHeader + count * kBlockRecord + 4;
  return length <= size ? size_t(length) : 0;
}

int ai_CheckBlock(const uint8_t* bytes, size_t size, const uint32_t* ids, size_t idCount,
                  const int32_t areaCounts[kNavSets]) {
  std::vector<uint32_t> sorted(ids, ids + idCount);
  std::sort(sorted.begin(), sorted.end());
  std::vector<LoadedBot> loaded;
  uint32_t respawns = 0;
  auto known = [&](uint32_t id) { return std::binary_search(sorted.begin(), sorted.end(), id); };
  return ParseBlock(bytes, size, known, areaCounts, &loaded, &respawns);
}

int ai_ApplyBlock(const uint8_t* bytes, size_t size) {
  // Every record is read and its object found before anything is changed.
  std::vector<LoadedBot> loaded;
  uint32_t respawns = 0;
  auto known = [](uint32_t id) { return Obj_FindById(id) != nullptr; };
  const int32_t counts[kNavSets] = {int32_t(Nav_Level.sets[NAV_CIVILIAN].areas.size()),
                                    int32_t(Nav_Level.sets[NAV_CARS].areas.size())};
  if (!ParseBlock(bytes, size, known, counts, &loaded, &respawns)) return 0;
  for (GameObject* o = Obj_ListHead; o; o = o->next) o->bot.setUp = 0;
  for (const LoadedBot& l : loaded) Obj_FindById(l.id)->bot = l.bot;
  g_ai.dmRespawns = int32_t(respawns);
  g_ai.setUp = 1;
  return 1;
}

int ai_SaveBlock(FileHandle* file) {
  if (!file) return 0;
  std::vector<uint8_t> bytes = ai_BlockBytes();
  if (File_Write(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    Log_Printf("ai_SaveBlock: the AI block was not written whole\n");
    return 0;
  }
  return 1;
}

int ai_LoadBlock(FileHandle* file) {
  if (!file) return 0;
  std::vector<uint8_t> bytes;
  uint8_t chunk[4096];
  for (;;) {
    size_t n = File_Read(chunk, 1, sizeof chunk, file);
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
    if (bytes.size() > kBlockLimit) {
      Log_Printf("ai_LoadBlock: the AI block is larger than %zu bytes; nothing loaded\n", kBlockLimit);
      return 0;
    }
  }
  return ai_ApplyBlock(bytes.data(), bytes.size());
}
