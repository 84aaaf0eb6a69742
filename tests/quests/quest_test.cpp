// Quest scripts and objectives: the "level" command, unknown commands skipped, the intro's script
// leading to the main menu, objective slots, an expiry that fails the mission.
#include <gtest/gtest.h>

#include <string>

#include "foundation/file.h"
#include "quests/dialog.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "support/render_support.h"
#include "tools/hud_writer.h"
#include "world/game.h"
#include "world/level.h"

namespace {

class QuestTest : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    File_Init();
    Que_ResetState();
    Game_PendingLevel[0] = 0;
  }
  void TearDown() override {
    Game_PendingLevel[0] = 0;
    Level_Free();
    File_Shutdown();
    LoggedTest::TearDown();
  }
  // Each text is a script of its own name: a name says its faults once a level.
  static int Run(const std::string& text, const char* name = "test") {
    return Que_RunText(text.data(), text.size(), name);
  }
};

TEST_F(QuestTest, TheLevelCommandSetsThePendingLevelAndTheIntrosScriptEndsTheGame) {
  struct Case {
    std::string text;
    int done;
    const char* pending;
    const char* logged;
  };
  const std::string longName(300, 'x');
  const Case cases[] = {
      {QuestWriter_Script({{"level", "street"}}), 1, "street", nullptr},
      {"[dance] [pi]\n[level] [docks]\n", 1, "docks", "unknown command \"dance\""},
      {"[level]\n", 0, "", "\"level\" needs 1 argument"},
      {"[level] [" + longName + "]\n", 0, "", "a word too long"},
      {"[level] [a][b]\r\n[level] [c", 1, "a", nullptr},
  };
  for (const Case& c : cases) {
    Game_PendingLevel[0] = 0;
    EXPECT_EQ(Run(c.text, ("case" + std::to_string(&c - cases)).c_str()), c.done) << c.text;
    EXPECT_STREQ(Game_PendingLevel, c.pending) << c.text;
    if (c.logged) EXPECT_NE(Log().find(c.logged), std::string::npos) << c.text;
  }
  // The intro's script ends the game into the main menu when the movie ends.
  tw_test::WriteFile("scripts/que/logos.txt", QuestWriter_Script({{"level", "endgame"}}));
  Level_Load("");
  Game_FullScreenMode = FULLSCREEN_MOVIE;
  std::snprintf(Game_MovieScript, sizeof Game_MovieScript, "logos");
  Game_EndMovie();
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  EXPECT_STREQ(Game_PendingLevel, "endgame");
  Game_HotKeys();
  EXPECT_FALSE(Game_Running);
  EXPECT_EQ(Game_PendingLevel[0], 0);
  EXPECT_EQ(Que_Apply(nullptr, "missing", ""), 0);
  EXPECT_EQ(Que_Apply(nullptr, "..\\secret", ""), 0);
}

TEST_F(QuestTest, ObjectivesIgnoreARepeatedPairAndNeverOverrunTheirSixteenSlots) {
  EXPECT_EQ(Que_AddObjective("found_key", "door", 0), 0);
  EXPECT_EQ(Que_AddObjective("found_key", "door", 5), 0);
  EXPECT_EQ(Que_AddObjective("found_key", "gate", 0), 1);
  for (int i = 2; i < kObjectives; i++) EXPECT_EQ(Que_AddObjective(("c" + std::to_string(i)).c_str(), "s", 0), i);
  EXPECT_EQ(Que_AddObjective("one_more", "s", 0), -1);
  EXPECT_EQ(Que_AddObjective(std::string(256, 'c').c_str(), "s", 0), -1);
  EXPECT_NE(Log().find("all 16 objectives are taken"), std::string::npos);
  // A time limit runs out: the mission fails, its script never runs and the slot is free again.
  tw_test::WriteFile("scripts/que/late.txt", "[level] [street]\n");
  Que_State.objectives.conditions[5][0] = 0;
  std::snprintf(Que_State.objectives.scripts[5], kQuestNameSize, "late");
  Que_State.objectives.times[5] = 0.15f;
  Game_Step = 0.1;
  Que_Tick();
  EXPECT_EQ(Game_PendingLevel[0], 0);
  EXPECT_EQ(Game_MissionFailed, 0u);
  Que_Tick();
  EXPECT_EQ(Game_PendingLevel[0], 0);
  EXPECT_EQ(Game_MissionFailed, 1u);
  EXPECT_EQ(Que_State.objectives.scripts[5][0], 0);
  Game_Step = 0;
}

}  // namespace
