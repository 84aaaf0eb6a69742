// The quest tables in a saved game: flags and objectives written by scripts survive a quick save
// and load, and a level-start row keeps a level name of up to 127 characters.
#include <gtest/gtest.h>

#include <string>

#include "foundation/random.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "tools/hud_writer.h"
#include "tools/save_maker.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/level.h"
#include "world/personage.h"
#include "world/save.h"
#include "world/world_fixture.h"

namespace {

class QuestSave : public tw_test::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Math_RandInit();
    Que_ResetState();
    Game_PersonageCount = 0;
    Level_EmitterCount = 0;
    ASSERT_TRUE(Tool_WriteSmallLevel());
    Tool_MakeSmallGame(0);
  }
  void TearDown() override {
    Que_ResetState();
    Game_PendingLevel[0] = 0;
    Level_EmitterCount = 0;
    Game_PersonageCount = 0;
    WorldTest::TearDown();
  }
};

TEST_F(QuestSave, FlagsObjectivesTimersAndTrackedPlacesSurviveAQuickSaveAndLoad) {
  std::string script = QuestWriter_Script({{"flag_set", "gate_job"},
                                           {"objective", "carry_gate_key", "greeter\\paid", "90"},
                                           {"timer", "bell", "12.5", "ring"},
                                           {"track_location", "gate", "yard", "1", "2", "3"},
                                           {"kill_count", "guard", "done", "4"}});
  ASSERT_EQ(Que_RunText(script.data(), script.size(), "test"), 5);
  ASSERT_EQ(Save(kQuickSaveName), 1);
  Que_ResetState();
  ASSERT_FALSE(Que_HasFlag("gate_job"));
  ASSERT_EQ(Save_LoadSlot(kQuickSaveName), 1);
  EXPECT_TRUE(Que_HasFlag("gate_job"));
  EXPECT_STREQ(Que_State.objectives.conditions[0], "carry_gate_key");
  EXPECT_STREQ(Que_State.objectives.scripts[0], "greeter\\paid");
  EXPECT_EQ(Que_State.objectives.times[0], 90.0f);
  EXPECT_STREQ(Que_State.timers[0].script, "ring");
  EXPECT_EQ(Que_State.timers[0].left, 12.5f);
  EXPECT_STREQ(Que_State.locations[0].level, "yard");
  EXPECT_EQ(Que_State.locations[0].origin[1], 2.0f);
  EXPECT_EQ(Que_State.killCounts[0].count, 4);
}

TEST_F(QuestSave, ALevelStartRowKeepsItsLongLevelNameAndRedirectsAfterALoad) {
  const std::string level = "yard" + std::string(100, 'y');  // 104 characters
  LevelStartRecord& row = Que_State.levelStarts[0];
  std::snprintf(row.level, sizeof row.level, "%s", level.c_str());
  std::snprintf(row.redirect, sizeof row.redirect, "%s", ("harbour" + std::string(110, 'h')).c_str());
  row.origin[0] = 7;
  row.angles[0] = 1.5f;
  ASSERT_EQ(Save("starts"), 1);
  Que_ResetState();
  ASSERT_EQ(Save_LoadSlot("starts"), 1);
  EXPECT_EQ(std::string(Que_State.levelStarts[0].level), level);
  EXPECT_EQ(std::strlen(Que_State.levelStarts[0].redirect), 117u);
  // Arriving at that level goes on to the redirect with the row's start.
  std::snprintf(Level_Name, sizeof Level_Name, "%s", level.c_str());
  std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", level.c_str());
  Game_NextStartGiven = 0;
  Level_LoadingSuppressed = 1;
  Game_HotKeys();
  Level_LoadingSuppressed = 0;
  EXPECT_EQ(Game_NextStartAngles.x, 1.5f);
  EXPECT_EQ(Game_NextStartOrigin.x, 7.0f);
}

}  // namespace
