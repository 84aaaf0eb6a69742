// The quest side's game-state tables: cleared at a new game, carried in saved games. Each row
// has the byte size of its saved image; rows the quests have not named yet are a first name
// (cleared to start a new game) and reserved bytes.
#pragma once
#include <cstdint>

constexpr int kQuestNameSize = 256;

struct MissionRow {
  char name[kQuestNameSize];
  int32_t state;
  int32_t value;
};
struct MissionTable {
  char name[kQuestNameSize];
  int32_t state;
  int32_t value;
  MissionRow rows[32];
};
static_assert(sizeof(MissionTable) == 8712);

constexpr int kObjectives = 16;
struct QuestObjectives {
  char conditions[kObjectives][kQuestNameSize];
  char scripts[kObjectives][kQuestNameSize];
  float times[kObjectives];  // seconds left
};

constexpr int kDistricts = 20;

struct QuestTimer {
  char name[64];
  uint8_t reserved[100];
};
static_assert(sizeof(QuestTimer) == 164);
struct QuestFlag {
  char name[128];
};
struct SpiedNpc {
  char name[64];
  uint8_t reserved[8];
};
static_assert(sizeof(SpiedNpc) == 72);
struct TrackedName {
  char name[64];
};
struct TrackedLocation {
  char name[64];
  uint8_t reserved[268];
};
static_assert(sizeof(TrackedLocation) == 332);
struct NpcPlacement {
  char name[64];
  uint8_t reserved[280];
};
static_assert(sizeof(NpcPlacement) == 344);
struct LockedExit {
  char name[64];
};
struct LevelStartRecord {
  char name[64];
  uint8_t reserved[216];
};
static_assert(sizeof(LevelStartRecord) == 280);
struct KillCount {
  char name[64];
  char name2[64];
  uint8_t reserved[64];
};
static_assert(sizeof(KillCount) == 192);
// The player's inventory put aside by "inv_push" and taken back by "inv_pop".
struct InventoryStash {
  int32_t words[5];  // health and four further words of the person block
  int32_t pairs[256][2];
  int32_t ammo[12];
  int32_t magazines[12];
  int32_t full;
};
static_assert(sizeof(InventoryStash) == 2168);

struct QuestState {
  MissionTable mission;
  QuestObjectives objectives;
  uint32_t districts[kDistricts];
  QuestTimer timers[32];
  QuestFlag flags[32];
  SpiedNpc spied[8];
  TrackedName tracked[8];
  TrackedLocation locations[64];
  NpcPlacement placements[100];
  LockedExit lockedExits[64];
  LevelStartRecord levelStarts[32];
  InventoryStash stash;
  int32_t questMode;  // 0, 1 or 2
  int32_t showFlags[4];
  KillCount killCounts[8];
};
extern QuestState Que_State;
// Kept while a level changes.
extern QuestObjectives Que_ObjectivesBackup;
extern uint32_t Que_DistrictsBackup[kDistricts];

// The access word a district has at the start of a game.
uint32_t Que_DistrictInitialAccess(int district);
// Empties every table for a new game.
void Que_ResetState();
