// Quest commands by family, each with the table row it writes and the effect of the code that reads
// it; conditions and objectives; the dialogue commands; bad scripts and conditions.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "characters/defs.h"
#include "characters/inventory.h"
#include "characters/npc.h"
#include "characters/person.h"
#include "foundation/file.h"
#include "foundation/text.h"
#include "hud/hud.h"
#include "quests/dialog.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "tools/def_writer.h"
#include "tools/entity_writer.h"
#include "tools/hud_writer.h"
#include "tools/quest_assets.h"
#include "tools/quest_writer.h"
#include "world/entity.h"
#include "world/frame2d.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/personage.h"
#include "world/world_fixture.h"

namespace {

using namespace tw_test;

class QuestScript : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    TextFile_Flush();
    GameVars_Init(0);
    for (const auto& [file, text] : Tool_SampleDefFiles()) WriteFile("scripts/" + file, text);
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    for (const auto& [file, text] : Tool_SampleEntityFiles()) WriteFile(file, text);
    Game_NewSession(nullptr);
    std::snprintf(Level_Name, sizeof Level_Name, "street");
    Game_PendingLevel[0] = 0;
    Game_NextStartGiven = 0;
    Game_ClearPlayScreen();
    player_ = StartGame();
    player_->person.state = 1;
    player_->person.health = player_->person.maxHealth = 100;
  }
  void TearDown() override {
    Dialog_StartWithNpc(nullptr);
    Game_PendingLevel[0] = 0;
    Game_MovieScript[0] = Game_MovieLevel[0] = 0;
    Que_ResetState();
    TextFile_Flush();
    WorldTest::TearDown();
  }
  static int Run(const std::vector<std::vector<std::string>>& commands) {
    std::string text = QuestWriter_Script(commands);
    return Que_RunTextOn(Obj_Player, text.data(), text.size(), "test", "", 0);
  }
  static int Lines(const std::string& s, const std::string& what) {
    int n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) n++;
    return n;
  }
  static bool Carries(const GameObject* o, const char* item) {
    return Inv_HasItem(&o->person, INV_ITEM, Def_FindItem(item)) != 0;
  }
  GameObject* player_ = nullptr;
};

TEST_F(QuestScript, AConditionHoldsOnlyAfterItsFlagIsSetAndThenRunsItsScriptOnce) {
  WriteFile("scripts/cond/met.txt", QuestWriter_Condition({{"flag", "met_mara"}}));
  WriteFile("scripts/que/reward.txt", QuestWriter_Script({{"give", "money", "25"}}));
  ASSERT_EQ(Que_AddObjective("met", "reward", 0), 0);
  Game_Step = 0.1;
  for (int i = 0; i < 3; i++) Que_Tick();
  EXPECT_EQ(player_->person.money, 0);
  EXPECT_STREQ(Que_State.objectives.conditions[0], "met");
  EXPECT_EQ(Run({{"flag_set", "met_mara"}, {"flag_set", "met_mara"}}), 2);
  EXPECT_STREQ(Que_State.flags[0].name, "met_mara");
  EXPECT_EQ(Que_State.flags[1].name[0], 0);  // set once
  Que_Tick();
  Que_Tick();
  EXPECT_EQ(player_->person.money, 25);
  EXPECT_EQ(Que_State.objectives.conditions[0][0], 0);
  EXPECT_EQ(Game_MissionFailed, 0u);
}

TEST_F(QuestScript, AnObjectivesScriptMayGiveTheSameObjectiveAgain) {
  WriteFile("scripts/cond/met.txt", QuestWriter_Condition({{"flag", "met_mara"}}));
  WriteFile("scripts/que/again.txt", QuestWriter_Script({{"give", "money", "1"}, {"objective", "met", "again"}}));
  ASSERT_EQ(Que_AddObjective("met", "again", 0), 0);
  Run({{"flag_set", "met_mara"}});
  Que_Tick();
  EXPECT_EQ(player_->person.money, 1);
  EXPECT_STREQ(Que_State.objectives.conditions[0], "met");
  EXPECT_STREQ(Que_State.objectives.scripts[0], "again");
  Que_Tick();
  EXPECT_EQ(player_->person.money, 2);
}

TEST_F(QuestScript, AConditionNamingAnotherHoldsRightlyWhenTheTableIsFull) {
  // "a" is read first and so takes the first row; 63 more fill the table; then "b", which "a"
  // names, must find a row while "a" is being tested.
  WriteFile("scripts/cond/a.txt", QuestWriter_Condition({{"flag", "gate"}, {"cond", "b"}, {"flag", "never"}}));
  WriteFile("scripts/cond/b.txt", QuestWriter_Condition({{"level", "street"}, {"level", "street"}, {"level", "street"}}));
  EXPECT_EQ(Que_TestCondition("a"), 0);
  for (int i = 0; i < 63; i++) {
    const std::string name = "c" + std::to_string(i);
    WriteFile("scripts/cond/" + name + ".txt", QuestWriter_Condition({{"money", "0"}}));
    EXPECT_EQ(Que_TestCondition(name.c_str()), 1);
  }
  Run({{"flag_set", "gate"}});
  EXPECT_EQ(Que_TestCondition("a"), 0);
  EXPECT_EQ(Que_TestCondition("b"), 1);
  Run({{"flag_set", "never"}});
  EXPECT_EQ(Que_TestCondition("a"), 1);
}

TEST_F(QuestScript, AnObjectiveThatRunsOutOfTimeFailsTheMissionAndNeverPays) {
  WriteFile("scripts/cond/never.txt", QuestWriter_Condition({{"money", "1000000"}}));
  WriteFile("scripts/que/reward.txt", QuestWriter_Script({{"give", "money", "25"}}));
  EXPECT_EQ(Run({{"mission", "missions\\job"}, {"objective", "never", "reward", "0.25"}}), 2);
  EXPECT_STREQ(Que_State.mission.name, "missions\\job");
  EXPECT_FLOAT_EQ(Que_State.objectives.times[0], 0.25f);
  Game_Step = 0.1;
  Que_Tick();
  Que_Tick();
  EXPECT_EQ(Game_MissionFailed, 0u);
  Que_Tick();
  EXPECT_EQ(Game_MissionFailed, 1u);
  EXPECT_EQ(player_->person.money, 0);
  EXPECT_EQ(Que_State.objectives.scripts[0][0], 0);
  EXPECT_NE(Log().find("ran out of time; mission failed"), std::string::npos);
  // A new mission starts clean; "mission_failed" fails it at once.
  Run({{"mission", "missions\\next"}});
  EXPECT_EQ(Game_MissionFailed, 0u);
  Run({{"mission_failed"}});
  EXPECT_EQ(Game_MissionFailed, 1u);
}

TEST_F(QuestScript, ConditionsReadItemsMoneyLevelDeathsDistanceAndTheHour) {
  GameObject* mara = Spawn(NPC, 300, 0, "mara");
  mara->person.state = 1;
  struct Case {
    std::vector<std::vector<std::string>> tests;
    bool before;
  };
  auto holds = [](const std::vector<std::vector<std::string>>& tests) {
    std::string text = QuestWriter_Condition(tests);
    return Que_TestConditionText(text.data(), text.size(), "case") != 0;
  };
  EXPECT_FALSE(holds({{"item", "gate key"}}));
  EXPECT_FALSE(holds({{"money", "50"}}));
  EXPECT_TRUE(holds({{"level", "STREET"}}));
  EXPECT_FALSE(holds({{"level", "docks"}}));
  EXPECT_FALSE(holds({{"dead", "mara"}}));
  EXPECT_FALSE(holds({{"near", "mara", "200"}}));
  EXPECT_TRUE(holds({{"near", "mara", "300"}}));
  EXPECT_FALSE(holds({{"near", "nobody", "30000"}}));
  Run({{"give", "item", "gate key", "money", "60"}});
  mara->person.state = 2;
  EXPECT_TRUE(holds({{"item", "gate key"}, {"money", "50"}, {"dead", "mara"}}));
  EXPECT_FALSE(holds({{"item", "gate key"}, {"money", "61"}}));
  // The hour of the player's clock over the day length (60 s): 15 s is six in the morning.
  player_->person.clock = 15.0;
  EXPECT_TRUE(holds({{"hour", "5", "7"}}));
  EXPECT_FALSE(holds({{"hour", "7", "20"}}));
  EXPECT_TRUE(holds({{"hour", "22", "7"}}));  // across midnight
  // A condition may name another.
  WriteFile("scripts/cond/rich.txt", QuestWriter_Condition({{"money", "50"}}));
  EXPECT_TRUE(holds({{"cond", "rich"}, {"level", "street"}}));
}

TEST_F(QuestScript, ExitsLockAndUnlockForTheUseKeysLevelChange) {
  GameObject* door = Spawn(WORLD, 50, 0, "exit");
  EXPECT_EQ(Run({{"lock_exit", "docks"}, {"lock_exit", "docks"}}), 2);
  EXPECT_STREQ(Que_State.lockedExits[0].name, "docks");
  EXPECT_EQ(Que_State.lockedExits[1].name[0], 0);
  EXPECT_EQ(Game_ApplyUseText(player_, door, "[changelevel] [docks] [1 2 3 0 0 0]"), 0);
  EXPECT_EQ(Game_PendingLevel[0], 0);
  Run({{"unlock_exit", "DOCKS"}});
  EXPECT_EQ(Que_State.lockedExits[0].name[0], 0);
  EXPECT_EQ(Game_ApplyUseText(player_, door, "[changelevel] [docks] [1 2 3 0 0 0]"), 1);
  EXPECT_STREQ(Game_PendingLevel, "docks");
}

TEST_F(QuestScript, PlacedCharactersAppearWhenTheirLevelLoadsAndRespawnAtOnceHere) {
  EXPECT_EQ(Run({{"place_npc", "bram", "street", "scenes\\templates\\townsman", "100", "200", "0", "90", "0", "0"}}), 1);
  const NpcPlacement& row = Que_State.placements[0];
  EXPECT_STREQ(row.name, "bram");
  EXPECT_STREQ(reinterpret_cast<const char*>(row.reserved), "street");
  EXPECT_STREQ(reinterpret_cast<const char*>(row.reserved + 128), "scenes\\templates\\townsman");
  float x;
  std::memcpy(&x, row.reserved + 256, 4);
  EXPECT_EQ(x, 100.0f);
  int count = 0;
  auto find = [&](const char* name) -> GameObject* {
    GameObject* const* list = Obj_ListArray(&count);
    for (int i = 0; i < count; i++)
      if (std::strcmp(list[i]->person.name, name) == 0) return list[i];
    return nullptr;
  };
  EXPECT_EQ(find("bram"), nullptr);  // placing alone spawns nothing here
  Ent_SpawnAttachedNpcs("street");
  GameObject* bram = find("bram");
  ASSERT_NE(bram, nullptr);
  EXPECT_EQ(bram->origin.x, 100.0f);
  Ent_SpawnAttachedNpcs("docks");  // another level: nothing more
  // "respawn_npc" in the current level brings the character at once.
  EXPECT_EQ(Run({{"respawn_npc", "kel", "street", "scenes\\templates\\townsman", "-50", "0", "0", "0", "0", "0"}}), 1);
  GameObject* kel = find("kel");
  ASSERT_NE(kel, nullptr);
  EXPECT_EQ(kel->origin.x, -50.0f);
  EXPECT_STREQ(Que_State.placements[1].name, "kel");
}

TEST_F(QuestScript, TheStashKeepsTheInventoryHealthAndAmmunitionUntilItIsPopped) {
  PersonStats& p = player_->person;
  Run({{"give", "weapon", "pi", "item", "gate key", "money", "40"}});
  p.health = 55;
  p.ammo[1] = 33;
  p.magazine[1] = 9;
  p.equipped2Kind = INV_ARMOR;  // worn, not carried
  p.equipped2Index = Def_FindArmor("vest");
  ASSERT_GE(p.equipped2Index, 0);
  const PersonStats before = p;
  EXPECT_EQ(Run({{"inv_push"}}), 1);
  EXPECT_EQ(Que_State.stash.full, 1);
  EXPECT_FALSE(Carries(player_, "gate key"));
  EXPECT_EQ(p.ammo[1], 0);
  EXPECT_EQ(p.magazine[1], 0);
  EXPECT_EQ(p.money, 0);
  EXPECT_EQ(p.equippedKind, INV_NONE);
  EXPECT_EQ(p.equipped2Kind, INV_NONE);
  EXPECT_EQ(Que_State.stash.pairs[0][0], before.items[0].kind);
  p.health = 5;
  Run({{"give", "item", "gate key", "money", "7"}});
  EXPECT_EQ(Run({{"inv_pop"}}), 1);
  EXPECT_EQ(Que_State.stash.full, 0);
  EXPECT_EQ(p.health, 55.0f);
  EXPECT_EQ(p.money, before.money);
  EXPECT_EQ(p.ammo[1], 33);
  EXPECT_EQ(p.magazine[1], 9);
  EXPECT_EQ(std::memcmp(p.items, before.items, sizeof p.items - sizeof(InvPair) * (kInvCarried - 2)), 0);
  EXPECT_TRUE(Carries(player_, "gate key"));
  EXPECT_EQ(p.equippedKind, INV_WEAPON);
  EXPECT_EQ(p.equipped2Kind, INV_ARMOR);
  EXPECT_EQ(p.equipped2Index, before.equipped2Index);
  EXPECT_EQ(Run({{"inv_pop"}}), 0);  // nothing stashed
  EXPECT_NE(Log().find("with nothing stashed"), std::string::npos);
}

TEST_F(QuestScript, GivingAndTakingMoneyAndItems) {
  PersonStats& p = player_->person;
  EXPECT_EQ(Run({{"give", "money", "100", "item", "gate key"}}), 1);
  EXPECT_EQ(p.money, 100);
  EXPECT_TRUE(Carries(player_, "gate key"));
  EXPECT_EQ(Run({{"take", "item", "gate key"}, {"take", "money", "30"}}), 2);
  EXPECT_FALSE(Carries(player_, "gate key"));
  EXPECT_EQ(p.money, 70);
  EXPECT_EQ(Run({{"take", "money", "500"}}), 1);
  EXPECT_EQ(p.money, 0);  // never below nothing
  EXPECT_EQ(Run({{"take", "item", "gate key"}, {"take", "item", "no such thing"}, {"take", "cheese", "x"}}), 0);
  EXPECT_NE(Log().find("is not carried"), std::string::npos);
  EXPECT_NE(Log().find("unknown kind \"cheese\""), std::string::npos);
}

TEST_F(QuestScript, ShowFlagsPutTheClockFragsAndKillLimitOnTheHud) {
  char text[512];
  Hud_FormatStatus(player_, text, sizeof text);
  EXPECT_EQ(std::string(text).find("Time"), std::string::npos);
  player_->person.clock = 30.0;  // half the 60-second day: noon
  player_->frags = 4;
  Run({{"show_clock_on"}, {"show_player_frags_on"}, {"show_enemy_max_frags_on"}, {"show_fraglimit_on"},
       {"kill_count", "guard", "done", "3"}});
  EXPECT_EQ(Que_State.showFlags[0], 1);
  EXPECT_EQ(Que_State.showFlags[3], 1);
  Hud_FormatStatus(player_, text, sizeof text);
  EXPECT_NE(std::string(text).find("Time 12:00"), std::string::npos) << text;
  EXPECT_NE(std::string(text).find("Frags 4"), std::string::npos) << text;
  EXPECT_NE(std::string(text).find("Enemy frags 0"), std::string::npos) << text;
  EXPECT_NE(std::string(text).find("Kills 0 / 3"), std::string::npos) << text;
  Run({{"show_clock_off"}, {"show_player_frags_off"}, {"show_enemy_max_frags_off"}, {"show_fraglimit_off"}});
  Hud_FormatStatus(player_, text, sizeof text);
  EXPECT_EQ(std::string(text).find("Time"), std::string::npos);
  EXPECT_EQ(std::string(text).find("Kills"), std::string::npos);
}

TEST_F(QuestScript, KillCountsRunTheirScriptWhenEnoughMatchingCharactersDie) {
  WriteFile("scripts/que/done.txt", QuestWriter_Script({{"flag_set", "guards_down"}}));
  Run({{"kill_count", "guard", "done", "2"}});
  EXPECT_STREQ(Que_State.killCounts[0].name, "guard");
  EXPECT_STREQ(Que_State.killCounts[0].name2, "done");
  EXPECT_EQ(Que_State.killCounts[0].count, 2);
  GameObject* a = Spawn(NPC, 100, 0, "guard_1");
  GameObject* b = Spawn(NPC, 200, 0, "guard_2");
  GameObject* c = Spawn(NPC, 300, 0, "walker_1");
  for (GameObject* o : {a, b, c}) o->person.state = 1, o->person.health = 10;
  Npc_Damage(c, player_, 50, 0, nullptr, 0, 0);
  Npc_Damage(a, player_, 50, 0, nullptr, 0, 0);
  Npc_Damage(a, player_, 50, 0, nullptr, 0, 0);  // the dead die once
  EXPECT_EQ(Que_State.killCounts[0].killed, 1);
  EXPECT_FALSE(Que_HasFlag("guards_down"));
  Npc_Damage(b, player_, 50, 0, nullptr, 0, 0);
  EXPECT_TRUE(Que_HasFlag("guards_down"));
  EXPECT_EQ(Que_State.killCounts[0].name[0], 0);
}

TEST_F(QuestScript, TrackedCharactersAndPlacesFillAndEmptyTheirRows) {
  Run({{"track_npc", "mara"}, {"track_npc", "kel"}, {"track_location", "harbour gate", "docks", "10", "20", "30"}});
  EXPECT_STREQ(Que_State.tracked[0].name, "mara");
  EXPECT_STREQ(Que_State.tracked[1].name, "kel");
  EXPECT_STREQ(Que_State.locations[0].name, "harbour gate");
  EXPECT_STREQ(Que_State.locations[0].level, "docks");
  EXPECT_EQ(Que_State.locations[0].origin[2], 30.0f);
  Run({{"untrack_npc", "mara"}, {"untrack_location", "harbour gate"}});
  EXPECT_EQ(Que_State.tracked[0].name[0], 0);
  EXPECT_STREQ(Que_State.tracked[1].name, "kel");
  EXPECT_EQ(Que_State.locations[0].name[0], 0);
  // A place a saved game could not hold is not kept: the game could never be saved again.
  Run({{"track_location", "far", "docks", "0", "0", "5e8"}});
  Run({{"place_npc", "kel", "docks", "scenes\\templates\\townsman", "2e8", "0", "0", "0", "0", "0"}});
  for (const TrackedLocation& t : Que_State.locations) EXPECT_NE(std::strcmp(t.name, "far"), 0);
  for (const NpcPlacement& p : Que_State.placements) EXPECT_NE(std::strcmp(p.name, "kel"), 0);
}

TEST_F(QuestScript, PoliceDistrictsTimersStatusTextAndSpawning) {
  const char* place = Game_Places[0].name;
  ASSERT_TRUE(place[0]);
  EXPECT_EQ(Run({{"police_off", place}}), 1);
  EXPECT_EQ(Game_GetPlaceValue(place), 0);
  Run({{"police_on", place}});
  EXPECT_EQ(Game_GetPlaceValue(place), 1);
  EXPECT_EQ(Run({{"police_off", "atlantis"}}), 0);
  EXPECT_EQ(Run({{"district", "3", "2"}}), 1);
  EXPECT_EQ(Que_State.districts[3], 2u);
  EXPECT_EQ(Run({{"district", "20", "1"}, {"district", "1.5", "1"}}), 0);
  // A timer: its script runs once its seconds have passed.
  WriteFile("scripts/que/ring.txt", QuestWriter_Script({{"flag_set", "rang"}}));
  EXPECT_EQ(Run({{"timer", "bell", "0.25", "ring"}}), 1);
  EXPECT_STREQ(Que_State.timers[0].name, "bell");
  EXPECT_STREQ(Que_State.timers[0].script, "ring");
  Game_Step = 0.1;
  Que_Tick();
  Que_Tick();
  EXPECT_FALSE(Que_HasFlag("rang"));
  Que_Tick();
  EXPECT_TRUE(Que_HasFlag("rang"));
  EXPECT_EQ(Que_State.timers[0].name[0], 0);
  Run({{"timer", "bell", "5", "ring"}, {"timer", "bell", "0"}});  // zero seconds stop it
  EXPECT_EQ(Que_State.timers[0].name[0], 0);
  // The status text for the play screen.
  Game_Time = 12;
  EXPECT_EQ(Run({{"status", "dialogs\\done", "4", "255", "128", "0", "200"}}), 1);
  EXPECT_STREQ(Game_PlayScreen.statusKey, "dialogs\\done");
  EXPECT_EQ(Game_PlayScreen.statusStart, 12.0);
  EXPECT_EQ(Game_PlayScreen.statusDuration, 4.0f);
  EXPECT_EQ(Game_PlayScreen.statusColor[1], 128);
  EXPECT_EQ(Game_PlayScreen.statusColor[3], 200);
  // An entity from composed text.
  const int before = Obj_Count();
  EXPECT_EQ(Run({{"spawn", "classname", "anim", "id", "flag_pole", "name", "anim\\props\\lamp", "origin", "5 6 7"}}), 1);
  EXPECT_EQ(Obj_Count(), before + 1);
  EXPECT_EQ(Run({{"spawn", "classname", "anim\"}{", "id", "x"}, {"spawn", "id"}}), 0);
}

TEST_F(QuestScript, AMovieQueuesItsLevelWithItsStartAndItsScript) {
  WriteFile("scripts/que/after.txt", QuestWriter_Script({{"flag_set", "saw_movie"}}));
  // No such movie: it ends at once and what it queued follows.
  EXPECT_EQ(Run({{"movie", "nothere", "after", "docks", "1", "2", "3", "90", "0", "0"}}), 1);
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  EXPECT_STREQ(Game_PendingLevel, "docks");
  EXPECT_EQ(Game_NextStartGiven, 1u);
  EXPECT_EQ(Game_NextStartOrigin.y, 2.0f);
  EXPECT_NEAR(Game_NextStartAngles.x, kMathPi / 2, 1e-6);
  EXPECT_TRUE(Que_HasFlag("saw_movie"));
  // "level" with a start in degrees.
  Game_NextStartGiven = 0;
  EXPECT_EQ(Run({{"level", "harbour", "4", "5", "6", "180", "0", "0"}}), 1);
  EXPECT_STREQ(Game_PendingLevel, "harbour");
  EXPECT_EQ(Game_NextStartGiven, 1u);
  EXPECT_NEAR(Game_NextStartAngles.x, kMathPi, 1e-6);
}

TEST_F(QuestScript, TheSayCommandFillsTheLineAndAnswersAndChoosingOneReplacesThem) {
  WriteFile("data/text/Eng/dialogs/hello.txt", "Hello there.");
  WriteFile("data/text/Eng/dialogs/a1.txt", "First");
  WriteFile("data/text/Eng/dialogs/a2.txt", "Second");
  WriteFile("data/text/Eng/dialogs/next.txt", "And then?");
  WriteFile("data/text/Eng/dialogs/a3.txt", "Third");
  WriteFile("scripts/que/one.txt", QuestWriter_Script({{"flag_set", "chose_one"}}));
  WriteFile("scripts/que/two.txt", QuestWriter_Script({{"flag_set", "chose_two"},
                                                        {"say", "dialogs\\next", "-"},
                                                        {"answer", "dialogs\\a3", "bye"}}));
  WriteFile("scripts/que/bye.txt", QuestWriter_Script({{"dialog_end"}}));
  GameObject* mara = Spawn(NPC, 50, 0, "mara");
  Game_Time = 3;
  Run({{"say", "dialogs\\hello", "-"}, {"answer", "dialogs\\a1", "one"}, {"answer", "dialogs\\a2", "two"}});
  Dialog_StartWithNpc(mara);
  EXPECT_STREQ(Dialog_Screen.lineKey, "dialogs\\hello");
  EXPECT_STREQ(Game_PlayScreen.subtitleKey, "dialogs\\hello");
  EXPECT_EQ(Game_PlayScreen.subtitleStart, 3.0);
  ASSERT_EQ(Dialog_Screen.answerCount, 2);
  EXPECT_EQ(Dialog_Choose(1), 1);
  EXPECT_TRUE(Que_HasFlag("chose_two"));
  EXPECT_FALSE(Que_HasFlag("chose_one"));
  EXPECT_STREQ(Dialog_Screen.lineKey, "dialogs\\next");
  ASSERT_EQ(Dialog_Screen.answerCount, 1);
  EXPECT_STREQ(Dialog_Screen.answers[0].script, "bye");
  EXPECT_EQ(Dialog_Choose(3), 0);
  EXPECT_EQ(Dialog_Choose(0), 1);
  EXPECT_EQ(Dialog_Open, 0u);
  EXPECT_EQ(Dialog_Screen.answerCount, 0);
  // At most eight answers; missing texts and voices are logged and the line still shows.
  for (int i = 0; i < 9; i++) Run({{"answer", "dialogs\\a1", "one"}});
  EXPECT_EQ(Dialog_Screen.answerCount, 8);
  EXPECT_EQ(Lines(Log(), "8 answers already"), 1);
  const size_t logged = Log().size();
  Run({{"say", "dialogs\\missing", "sound\\missing"}});
  EXPECT_STREQ(Dialog_Screen.lineKey, "dialogs\\missing");
  EXPECT_EQ(Lines(Log().substr(logged), "\n"), 2);  // one line each
  EXPECT_EQ(Lines(Log(), "no text \"dialogs\\missing\""), 1);
  EXPECT_EQ(Lines(Log(), "no voice \"sound\\missing\""), 1);
}

TEST_F(QuestScript, BadLinesAreLoggedOnceEachAndTheRestOfTheScriptGoesOn) {
  const std::string longWord(300, 'x');
  std::string text = "[flag_set] [a]\n[fly] [away]\n[flag_set]\n[objective] [c] [s] [nan]\n[objective] [c] [s] [inf]\n"
                     "[district] [1e999] [0]\n[status] [k] [4] [1] [2]\n[level] [" + longWord + "]\n"
                     "[flag_set] [b]\n[timer] [t] [-nan] [s]\n[flag_set] [" + std::string(200, 'f') + "]\n"
                     "[give] [x] [1] [2] [3] [4] [5] [6] [7] [8] [9] [10] [11] [12] [13] [14] [15] [16]\n"
                     "[flag_set] [c]\n";
  EXPECT_EQ(Que_RunTextOn(player_, text.data(), text.size(), "bad", "", 0), 3);
  for (const char* flag : {"a", "b", "c"}) EXPECT_TRUE(Que_HasFlag(flag)) << flag;
  const std::string log = Log();
  for (const char* what : {"unknown command \"fly\"", "\"flag_set\" needs 1 argument", "bad time \"nan\"",
                           "bad time \"inf\"", "bad district", "a colour needs four numbers", "a word too long",
                           "bad time \"-nan\"", "flag name too long", "more than 16 words"})
    EXPECT_EQ(Lines(log, what), 1) << what;
  EXPECT_EQ(Que_State.objectives.conditions[0][0], 0);
  EXPECT_EQ(Game_PendingLevel[0], 0);
}

TEST_F(QuestScript, HugeSelfRunningAndSelfNamingFilesAreCappedWithOneLine) {
  // 100,000 lines: the first 4096 run, one line tells of the rest.
  std::string big;
  for (int i = 0; i < 100000; i++) big += "[district] [1] [" + std::to_string(i) + "]\n";
  EXPECT_EQ(Que_RunTextOn(player_, big.data(), big.size(), "big", "", 0), kQueMaxLines);
  EXPECT_EQ(Que_State.districts[1], uint32_t(kQueMaxLines - 1));
  EXPECT_EQ(Lines(Log(), "more than 4096 lines"), 1);
  // A script that runs itself stops at the depth cap; the argument follows it down.
  WriteFile("scripts/que/again.txt", "[district] [2] [$]\n[run] [again] [7]\n[flag_set] [back]\n");
  EXPECT_EQ(Que_Apply(player_, "again", "5"), 1);
  EXPECT_EQ(Que_State.districts[2], 7u);
  EXPECT_TRUE(Que_HasFlag("back"));
  EXPECT_EQ(Lines(Log(), "scripts run 8 deep"), 1);
  // The scripts a run starts read at most 4 MB together: four more runs of a 1 MB script.
  WriteFile("scripts/que/wide.txt",
            "[give] [money] [1]\n[run] [wide]\n[run] [wide]\n" + std::string(1000000, ' ') + "\n");
  player_->person.money = 0;
  EXPECT_EQ(Que_Apply(player_, "wide", ""), 1);
  EXPECT_EQ(player_->person.money, 5);
  EXPECT_EQ(Lines(Log(), "the scripts run read more than 4194304 bytes"), 1);
  // A condition that names itself never holds, and says so once however often it is tested.
  WriteFile("scripts/cond/loop.txt", QuestWriter_Condition({{"level", "street"}, {"cond", "loop"}}));
  WriteFile("scripts/cond/odd.txt", "[level] [street]\n[weather] [fine]\n");
  WriteFile("scripts/cond/short.txt", "[near] [mara]\n");
  WriteFile("scripts/cond/nan.txt", "[money] [nan]\n");
  for (int i = 0; i < 5; i++) {
    for (const char* c : {"loop", "odd", "short", "nan", "absent"}) EXPECT_EQ(Que_TestCondition(c), 0) << c;
  }
  const std::string log = Log();
  EXPECT_EQ(Lines(log, "names conditions 8 deep"), 1);
  EXPECT_EQ(Lines(log, "unknown test \"weather\""), 1);
  EXPECT_EQ(Lines(log, "\"near\" with missing or bad arguments"), 1);
  EXPECT_EQ(Lines(log, "\"money\" with missing or bad arguments"), 1);
  EXPECT_EQ(Lines(log, "no condition scripts\\cond\\absent.txt"), 1);
  EXPECT_EQ(Que_TestCondition("..\\secret"), 0);
  std::string many;
  for (int i = 0; i <= kQueCondTests; i++) many += "[level] [street]\n";
  EXPECT_EQ(Que_TestConditionText(many.data(), many.size(), "many"), 0);
  EXPECT_EQ(Que_TestConditionText(many.data(), many.size() - 17, "fewer"), 1);
}

// "if" without an else script runs nothing when its condition fails, even after a longer line
// at the same depth left a fourth word behind.
TEST_F(QuestScript, AnIfWithoutItsElseScriptRunsNothingWhenItsConditionFails) {
  WriteFile("scripts/que/stale.txt", QuestWriter_Script({{"flag_set", "stale"}}));
  WriteFile("scripts/que/other.txt", QuestWriter_Script({{"flag_set", "other"}}));
  WriteFile("scripts/cond/never.txt", QuestWriter_Condition({{"flag", "nothing"}}));
  EXPECT_EQ(Run({{"flag_set", "a", "b", "stale"}, {"if", "never", "other"}}), 2);
  EXPECT_FALSE(Que_HasFlag("stale"));
  EXPECT_FALSE(Que_HasFlag("other"));
  Run({{"if", "never", "stale", "other"}});
  EXPECT_TRUE(Que_HasFlag("other"));
}

// A tree of conditions (32 tests, 31 of them naming 32 conditions each) over a full table whose
// next row to give up is the root's: the rows whose tests run keep their place, so the root holds.
TEST_F(QuestScript, ATreeOfConditionsOverAFullTableHolds) {
  std::vector<std::vector<std::string>> root = {{"flag", "go"}};
  for (int i = 0; i < kQueCondTests - 1; i++) {
    const std::string node = "node" + std::to_string(i);
    root.push_back({"cond", node});
    std::vector<std::vector<std::string>> leaves;
    for (int j = 0; j < kQueCondTests; j++) {
      const std::string leaf = node + "_" + std::to_string(j);
      leaves.push_back({"cond", leaf});
      WriteFile("scripts/cond/" + leaf + ".txt", QuestWriter_Condition({{"level", "street"}}));
    }
    WriteFile("scripts/cond/" + node + ".txt", QuestWriter_Condition(leaves));
  }
  WriteFile("scripts/cond/root.txt", QuestWriter_Condition(root));
  EXPECT_EQ(Que_TestCondition("root"), 0);  // read alone: its first test fails
  for (int i = 0; i < 63; i++) {
    const std::string name = "fill" + std::to_string(i);
    WriteFile("scripts/cond/" + name + ".txt", QuestWriter_Condition({{"level", "street"}}));
    ASSERT_EQ(Que_TestCondition(name.c_str()), 1);
  }
  Run({{"flag_set", "go"}});
  for (int pass = 0; pass < 3; pass++) EXPECT_EQ(Que_TestCondition("root"), 1) << pass;
  EXPECT_EQ(Lines(Log(), "Que_TestCondition"), 0) << Log();
}

// A spawn of an entity that includes itself, in a script that runs itself eight times a pass:
// the includes of every spawn come out of the one budget of the run, and each spawn is one line.
TEST_F(QuestScript, SpawnsInsideASelfRunningScriptIncludeWithinTheRunsBudget) {
  std::string self = "\"light_light\" \"3\"";
  for (int i = 0; i < 12; i++) self += " \"call\" \"t\\self\"";
  WriteFile("t/self.scn", self + std::string(40000, ' '));
  std::string script = "[spawn] [classname] [light] [call] [t\\self]\n";
  for (int i = 0; i < 8; i++) script += "[run] [selfspawn]\n";
  WriteFile("scripts/que/selfspawn.txt", script);
  const uint64_t before = Ent_Included.bytes;
  const size_t logged = Log().size();
  Light_Count = 0;
  EXPECT_EQ(Que_Apply(player_, "selfspawn", ""), 1);
  EXPECT_LE(Ent_Included.bytes - before, uint64_t(kQueMaxRunBytes)) << "bytes included";
  const std::string log = Log().substr(logged);
  EXPECT_LT(log.size(), 1000u) << log.substr(0, 2000);
  EXPECT_EQ(Lines(log, "the scripts run read more than"), 1);
  EXPECT_EQ(Lines(log, "load object {"), Light_Count);
  ASSERT_GE(Light_Count, 1);
  EXPECT_EQ(Light_Table[0].light, 3.0f);
  // A new run has a budget of its own: its spawn includes its template.
  WriteFile("t/small.scn", "\"light_light\" \"9\"");
  Light_Count = 0;
  Run({{"spawn", "classname", "light", "call", "t\\small"}});
  ASSERT_EQ(Light_Count, 1);
  EXPECT_EQ(Light_Table[0].light, 9.0f);
}

// Sixteen objectives, each over eight conditions and one missing (the last one over a condition
// that names itself), turn the table of conditions every tick: each fault is said once, and the
// missing files are not looked for again until the level is freed.
TEST_F(QuestScript, ObjectivesOverManyConditionsSayAMissingOneOnceAndLookForItOnceALevel) {
  Run({{"flag_set", "on"}});
  WriteFile("scripts/cond/loop.txt", QuestWriter_Condition({{"flag", "on"}, {"cond", "loop"}}));
  for (int o = 0; o < kObjectives; o++) {
    std::vector<std::vector<std::string>> goal;
    for (int k = 0; k < 8; k++) {
      const std::string part = "part" + std::to_string(o) + "_" + std::to_string(k);
      WriteFile("scripts/cond/" + part + ".txt", QuestWriter_Condition({{"flag", "on"}}));
      goal.push_back({"cond", part});
    }
    goal.push_back({"cond", o == kObjectives - 1 ? "loop" : "missing" + std::to_string(o)});
    const std::string name = "goal" + std::to_string(o);
    WriteFile("scripts/cond/" + name + ".txt", QuestWriter_Condition(goal));
    ASSERT_EQ(Que_AddObjective(name.c_str(), "reward", 0), o);
  }
  Game_Step = 0.1;
  const size_t logged = Log().size();
  for (int tick = 0; tick < 100; tick++) Que_Tick();
  const std::string log = Log().substr(logged);
  for (int o = 0; o < kObjectives - 1; o++)
    EXPECT_EQ(Lines(log, "no condition scripts\\cond\\missing" + std::to_string(o) + ".txt"), 1) << o;
  EXPECT_EQ(Lines(log, "loop names conditions 8 deep"), 1);
  EXPECT_LT(log.size(), 4000u);
  // The file appears: this level does not look for it again; the next level finds it.
  WriteFile("scripts/cond/missing0.txt", QuestWriter_Condition({{"flag", "on"}}));
  Que_Tick();
  EXPECT_STREQ(Que_State.objectives.conditions[0], "goal0");
  EXPECT_EQ(Que_TestCondition("goal0"), 0);
  Level_Free();
  EXPECT_EQ(Que_TestCondition("goal0"), 1);
  EXPECT_EQ(Que_TestCondition("goal1"), 0);
  EXPECT_EQ(Lines(Log(), "no condition scripts\\cond\\missing1.txt"), 2);  // said again in the new level
}

// A timer that arms itself again over a junk script, or over a script that runs itself, runs every
// tick; their faults are said in the first run only.
TEST_F(QuestScript, ATimerArmingItselfOverAJunkOrSelfRunningScriptSaysItsFaultsOnce) {
  std::string junk = "[timer] [junk] [0.01] [junk]\n[give] [money] [1]\n";
  for (int i = 0; i < 300; i++)
    junk += "[fly" + std::to_string(i) + "] [away]\nno brackets " + std::to_string(i) + "]\n";
  WriteFile("scripts/que/junk.txt", junk);
  std::string self = "[timer] [self] [0.01] [self]\n[district] [1] [1]\n";
  for (int i = 0; i < 8; i++) self += "[run] [self]\n";
  WriteFile("scripts/que/self.txt", self);
  Run({{"timer", "junk", "0.01", "junk"}, {"timer", "self", "0.01", "self"}, {"timer", "gone", "0.01", "gone"}});
  Game_Step = 0.1;
  Que_Tick();
  const size_t first = Log().size();
  EXPECT_EQ(Lines(Log(), "unknown command \"fly"), 300);
  for (int tick = 1; tick < 200; tick++) {
    Que_Tick();
    Run({{"timer", "gone", "0.01", "gone"}});
  }
  EXPECT_EQ(player_->person.money, 200);  // the junk script ran every tick
  const std::string log = Log();
  EXPECT_EQ(log.size(), first) << log.substr(first, 2000);
  EXPECT_EQ(Lines(log, "scripts run 8 deep"), 1);
  EXPECT_EQ(Lines(log, "more than 4096 lines"), 1);
  EXPECT_EQ(Lines(log, "no script scripts\\que\\gone.txt"), 1);
}

// A timer that arms itself every tick, opens a dialogue afresh, says a line whose text and voice are
// missing, adds more answers than the screen holds (their texts missing too) and gives more
// objectives than there are slots: each refusal is said in the first run only, and again once in
// the next level.
TEST_F(QuestScript, ATimerGivingObjectivesLinesAndAnswersEveryTickSaysEachRefusalOnceALevel) {
  std::vector<std::vector<std::string>> chatter = {
      {"timer", "chat", "0.01", "chatter"}, {"dialog_end"}, {"say", "dialogs\\gone", "sound\\gone"}};
  for (int i = 0; i < kObjectives + 4; i++) {
    const std::string name = "goal" + std::to_string(i);
    WriteFile("scripts/cond/" + name + ".txt", QuestWriter_Condition({{"flag", "never"}}));
    chatter.push_back({"objective", name, "reward"});
  }
  for (int i = 0; i < kDialogAnswers + 2; i++) chatter.push_back({"answer", "dialogs\\ans" + std::to_string(i), "-"});
  WriteFile("scripts/que/chatter.txt", QuestWriter_Script(chatter));
  Run({{"timer", "chat", "0.01", "chatter"}});
  Game_Step = 0.1;
  const size_t start = Log().size();
  Que_Tick();
  const size_t first = Log().size();
  for (int tick = 1; tick < 100; tick++) Que_Tick();
  std::string log = Log();
  EXPECT_EQ(log.size(), first) << log.substr(first, 2000);
  log = log.substr(start);
  EXPECT_EQ(Lines(log, "objectives are taken"), 4);
  EXPECT_EQ(Lines(log, "Dialog_Say: no text \"dialogs\\gone\""), 1);
  EXPECT_EQ(Lines(log, "Dialog_Say: no voice \"sound\\gone\""), 1);
  EXPECT_EQ(Lines(log, "answers already"), 2);
  EXPECT_EQ(Lines(log, "Dialog_AddAnswer: no text"), kDialogAnswers);
  EXPECT_EQ(Dialog_Screen.answerCount, kDialogAnswers);
  EXPECT_STREQ(Que_State.timers[0].name, "chat");  // it still runs
  // A new level says them again, once.
  Level_Free();
  const size_t again = Log().size();
  for (int run = 0; run < 3; run++) EXPECT_EQ(Que_Apply(nullptr, "chatter", ""), 1);
  log = Log().substr(again);
  EXPECT_EQ(Lines(log, "objectives are taken"), 4);
  EXPECT_EQ(Lines(log, "no text \"dialogs\\gone\""), 1);
}

// A timer over a script of 100 spawns: spawns fill the level up to kQueSpawnObjects objects, the
// refusal is one line, and each spawn line is said in the script's first run only. A new level
// takes spawns again.
TEST_F(QuestScript, ScriptSpawnsFillALevelUpToABound) {
  std::vector<std::vector<std::string>> spawner = {{"timer", "spawn", "0.01", "spawner"}};
  for (int i = 0; i < 100; i++)
    spawner.push_back({"spawn", "classname", "anim", "name", "anim\\props\\lamp", "origin", std::to_string(i) + " 0 0"});
  WriteFile("scripts/que/spawner.txt", QuestWriter_Script(spawner));
  Run({{"timer", "spawn", "0.01", "spawner"}});
  Game_Step = 0.1;
  const size_t start = Log().size();
  for (int tick = 0; tick < kQueSpawnObjects / 100 + 5; tick++) Que_Tick();
  EXPECT_EQ(Obj_Count(), kQueSpawnObjects);
  const std::string log = Log().substr(start);
  EXPECT_EQ(Lines(log, "load object {"), 100);
  EXPECT_EQ(Lines(log, "no more spawns"), 1);
  EXPECT_LT(log.size(), 20000u);
  Level_Free();
  const int empty = Obj_Count();
  const size_t next = Log().size();
  EXPECT_EQ(Run({{"spawn", "classname", "anim", "name", "anim\\props\\lamp"}}), 1);
  EXPECT_EQ(Obj_Count(), empty + 1);
  EXPECT_EQ(Lines(Log().substr(next), "load object {"), 1);
}

// More missing condition files than the level keeps: none is opened again in that level, those
// past the table neither (the last of them are no longer among the conditions read); the next
// level finds the files that appeared.
TEST_F(QuestScript, MissingConditionsPastTheTableAreNotLookedForAgainThisLevel) {
  Run({{"flag_set", "on"}});
  const int count = kQueMissingNames + 100;
  auto name = [](int i) { return "gone" + std::to_string(i); };
  for (int i = 0; i < count; i++) ASSERT_EQ(Que_TestCondition(name(i).c_str()), 0) << i;
  EXPECT_EQ(Lines(Log(), "no more are looked for"), 1);
  const size_t logged = Log().size();
  for (int i : {5, kQueMissingNames - 1, kQueMissingNames + 10}) {
    WriteFile("scripts/cond/" + name(i) + ".txt", QuestWriter_Condition({{"flag", "on"}}));
    EXPECT_EQ(Que_TestCondition(name(i).c_str()), 0) << i;
  }
  for (int i = 0; i < count; i++) EXPECT_EQ(Que_TestCondition(name(i).c_str()), 0) << i;
  EXPECT_EQ(Log().size(), logged);
  Level_Free();
  for (int i : {5, kQueMissingNames - 1, kQueMissingNames + 10}) EXPECT_EQ(Que_TestCondition(name(i).c_str()), 1) << i;
  EXPECT_EQ(Que_TestCondition(name(kQueMissingNames + 11).c_str()), 0);
}

// The sample's errand through the use key and the answers: Old Bram offers the work once, asks
// after the key while it is sought, thanks once it is found, and the goals keep it as met; a
// hero who carries the key already is paid for it at once.
TEST_F(QuestScript, TheSampleErrandIsOfferedOnceAndKeptAsMet) {
  for (const auto& [name, bytes] : QuestAssets_Files()) WriteFile(name, std::string(bytes.begin(), bytes.end()));
  GameObject* bram = Spawn(NPC, 60, 0, "townsman_1");
  bram->person.state = 1;
  std::snprintf(bram->person.dialogueCue, sizeof bram->person.dialogueCue, "greeter");
  auto talk = [&] {
    EXPECT_EQ(Game_UseCharacter(player_, bram), 1);
    return std::string(Dialog_Screen.lineKey) + " " + std::to_string(Dialog_Screen.answerCount);
  };
  Game_Step = 0.1;
  EXPECT_EQ(talk(), "dialogs\\greeter_hello 2");
  ASSERT_EQ(Dialog_Choose(0), 1);
  EXPECT_STREQ(Dialog_Screen.lineKey, "dialogs\\greeter_find_key");
  EXPECT_STREQ(Que_State.objectives.conditions[0], "carry_gate_key");
  EXPECT_EQ(Dialog_Choose(0), 1);
  EXPECT_EQ(Dialog_Open, 0u);
  Que_Tick();
  EXPECT_EQ(talk(), "dialogs\\greeter_waiting 1");
  Dialog_Choose(0);
  Run({{"give", "item", "gate key"}});
  Que_Tick();
  EXPECT_EQ(player_->person.money, 100);
  EXPECT_STREQ(Que_State.mission.rows[0].name, "carry_gate_key");
  EXPECT_EQ(Que_State.mission.rows[0].state, kMissionRowMet);
  EXPECT_EQ(talk(), "dialogs\\greeter_thanks 1");
  Dialog_Choose(0);
  Que_Tick();
  EXPECT_EQ(player_->person.money, 100);
  // A new game, the key carried before the work is asked for.
  Que_ResetState();
  EXPECT_EQ(talk(), "dialogs\\greeter_hello 2");
  Dialog_Choose(0);
  EXPECT_STREQ(Dialog_Screen.lineKey, "dialogs\\greeter_has_key");
  Que_Tick();
  EXPECT_EQ(player_->person.money, 200);
  EXPECT_STREQ(Que_State.mission.rows[0].name, "carry_gate_key");
  // A new mission has met nothing yet; "if" without its second script does nothing.
  EXPECT_EQ(Run({{"mission", "missions\\next"}, {"if", "gate_job_done", "-"}, {"if", "carry_gate_key", "greeter\\bye"}}), 3);
  EXPECT_EQ(Que_State.mission.rows[0].name[0], 0);
  EXPECT_EQ(Dialog_Open, 0u);
}

}  // namespace
