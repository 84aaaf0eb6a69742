// The quest side's game-state tables: cleared at a new game, carried in saved games. Each row
// has the byte size of its saved image; rows the quests have not named yet are a first name
// (cleared to start a new game) and reserved bytes.
#pragma once
#include <cstdint>

constexpr int kQuestNameSize = 256;

// A row of the current mission: an objective met (its condition's name, state kMissionRowMet).
constexpr int32_t kMissionRowMet = 1;
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

// A quest timer: after `left` seconds of game time its script runs on the player.
struct QuestTimer {
  char name[64];
  char script[64];
  float left;
  uint8_t reserved[32];
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
// A place marked on the map screen: its name, the level it lies in and its position there.
struct TrackedLocation {
  char name[64];
  char level[128];
  float origin[3];
  uint8_t reserved[128];
};
static_assert(sizeof(TrackedLocation) == 332);
// A character put into a level when it loads: its id, then in the reserved bytes the level
// name (128), the template (128), the origin and the angles in degrees (three floats each).
struct NpcPlacement {
  char name[64];
  uint8_t reserved[280];
};
static_assert(sizeof(NpcPlacement) == 344);
struct LockedExit {
  char name[64];
};
// A level start row: arriving at `level`, the change goes on to `redirect` at that start.
struct LevelStartRecord {
  char level[128];
  char redirect[128];
  float origin[3];
  float angles[3];  // radians
};
static_assert(sizeof(LevelStartRecord) == 280);
// Counts the deaths of the characters whose name begins with `name`: when `count` have died
// the script `name2` runs on the player and the row is emptied.
struct KillCount {
  char name[64];
  char name2[64];
  int32_t count;
  int32_t killed;
  uint8_t reserved[56];
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
