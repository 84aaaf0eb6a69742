#include "quests/state.h"

#include <cstring>

#include "quests/quest.h"
#include "quests/ts.h"
#include "world/game.h"

QuestState Que_State;
QuestObjectives Que_ObjectivesBackup;
uint32_t Que_DistrictsBackup[kDistricts];

// The districts' access words start from the Transport System file.
uint32_t Que_DistrictInitialAccess(int district) { return TS_InitialAccess(district); }

template <typename Row, int N>
static void ClearNames(Row (&rows)[N]) {
  for (Row& r : rows) r.name[0] = 0;
}

void Que_ResetState() {
  QuestState& s = Que_State;
  std::memset(&s.mission, 0, sizeof s.mission);
  std::memset(&s.objectives, 0, sizeof s.objectives);
  ClearNames(s.timers);
  ClearNames(s.flags);
  ClearNames(s.spied);
  ClearNames(s.tracked);
  ClearNames(s.locations);
  ClearNames(s.placements);
  ClearNames(s.lockedExits);
  for (LevelStartRecord& r : s.levelStarts) r.level[0] = 0;
  for (int d = 0; d < kDistricts; d++) s.districts[d] = Que_DistrictInitialAccess(d);
  s.stash.full = 0;
  s.questMode = 0;
  for (int32_t& f : s.showFlags) f = 0;
  for (KillCount& k : s.killCounts) k.name[0] = k.name2[0] = 0;
  Game_MissionFailed = 0;
  Que_ForgetConditions();
  Que_ForgetFaults();
}
