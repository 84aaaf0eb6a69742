// A new game's tables and the personages carried between levels.
#include <gtest/gtest.h>

#include <string>

#include "foundation/file.h"
#include "quests/state.h"
#include "tools/personage_writer.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/personage.h"
#include "world/start.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;
using Personages = WorldTest;

TEST_F(Personages, TheListKeepsFiveHundredElevenNamesAndTheSettingsTheirDefaults) {
  std::string list = std::string(kPersonNameSize, 'n') + "\r\n";
  for (int i = 0; i < 600; i++) list += "name" + std::to_string(i) + (i % 3 ? " " : "\t\r\n");
  tw_test::WriteFile("people", list);
  std::snprintf(Que_State.timers[3].name, sizeof Que_State.timers[3].name, "old");
  Que_State.questMode = 2;
  Game_NewSession("people");
  EXPECT_EQ(Game_PersonageCount, kPersonages);
  EXPECT_STREQ(Game_Personages[510].person.name, "name510");
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "Game_NewSession: people: a name of 64 characters is too long"), 1);
  EXPECT_EQ(Que_State.timers[3].name[0], 0);
  // A missing list: no personages, the other tables still start afresh.
  Que_State.questMode = 1;
  Game_NewSession("missing");
  EXPECT_EQ(Game_PersonageCount, 0);
  EXPECT_EQ(Que_State.questMode, 0);
  // Places answer their police flag, unknown names 1.
  Game_Places[5].police = 0;
  EXPECT_EQ(Game_GetPlaceValue(Game_Places[5].name), 0);
  EXPECT_EQ(Game_GetPlaceValue("DOCKS"), 1);
  EXPECT_EQ(Game_GetPlaceValue("nowhere"), 1);
  // The game settings' defaults and a strict experience table.
  EXPECT_EQ(GameVars_Init(5), 4);
  GameVars_Init(1);
  EXPECT_EQ(Game_ExperienceTable[299][3], 100000000.0f);
  for (int i = 1; i < kExperienceLevels; i++) {
    EXPECT_LT(Game_ExperienceTable[i][0], Game_ExperienceTable[i][3]);
    EXPECT_EQ(Game_ExperienceTable[i][0], Game_ExperienceTable[i - 1][3]);
  }
  EXPECT_EQ(Game_ExperienceLevel(1370), 1);
  EXPECT_EQ(Game_ExperienceLevel(100000000.0f), kExperienceLevels);
}

TEST_F(Personages, ACharacterComesBackAsItWasLeftAndACarTwoUnitsAboveItsOrigin) {
  tw_test::WriteFile("people", "Mara Oswin");
  Game_NewSession("people");
  GameObject* player = StartGame();
  GameObject* mara = Spawn(NPC, 10, 10, "mara");
  mara->person.state = 2;
  mara->person.health = 0;
  std::snprintf(mara->person.dialogueCue, sizeof mara->person.dialogueCue, "grieving");
  Spawn(NPC, 20, 20, "Oswin")->person.money = 77;
  StoreGlobalPersonages();
  // The next level: fresh objects of the same names.
  Obj_ClearAll();
  player = StartGame();
  player->bot.engaged = 1;
  player->person.carIndex = 1;  // driving into the level: it may enter its car again
  player->person.moveMode[0] = player->person.moveMode[1] = 1;
  GameObject* mara2 = Spawn(NPC, 0, 0, "Mara");
  std::snprintf(mara2->person.dialogueCue, sizeof mara2->person.dialogueCue, "greeting");
  mara2->person.health = 100;
  GameObject* oswin2 = Spawn(NPC, 0, 0, "OSWIN");
  RestoreGlobalPersonages();
  EXPECT_EQ(mara2->person.state, 2);
  EXPECT_EQ(mara2->deathTime, -10000.0f);
  EXPECT_STREQ(mara2->person.dialogueCue, "grieving");
  EXPECT_EQ(oswin2->person.money, 77);
  EXPECT_EQ(player->bot.engaged, 0);
  EXPECT_EQ(player->person.carReentry, 1);
  EXPECT_EQ(player->person.moveMode[0] + player->person.moveMode[1], 0);
  EXPECT_NE(Log().find("take [mara] [grieving]\n"), std::string::npos);
  // A character put back by a quest finds its record whatever the case of its id.
  Game_Personages[0].restoreBody = 0;
  Game_Personages[0].restoreDialogue = 1;
  std::snprintf(Game_Personages[0].person.dialogueCue, sizeof Game_Personages[0].person.dialogueCue, "moved");
  tw_test::WriteFile("npc.scn", R"("classname" "npc")");
  GameObject* placed = Ent_SpawnNpc("MARA", nullptr, nullptr, "npc", 0);
  ASSERT_NE(placed, nullptr);
  EXPECT_STREQ(placed->person.dialogueCue, "moved");
  // A car is stored two units above its origin.
  player = StartGame();
  player->origin = vec3{100, 200, 30};
  player->angles = vec3{kMathPi / 2, 0.3f, 0};
  player->person.carIndex = 4;
  player->person.voices[2] = 12345;  // no voice holds it: stopping it does nothing
  std::snprintf(Level_Name, sizeof Level_Name, "docks");
  Player_StoreCarPos(player);
  EXPECT_STREQ(Game_CarPositions[4].level, "docks");
  EXPECT_EQ(player->person.voices[2], 0u);
  EXPECT_EQ(player->person.parked, 1);
  vec3 pos, ang;
  EXPECT_EQ(Player_RecalcCarPos(&pos, &ang), 0);
  EXPECT_FLOAT_EQ(pos.z, 32.0f);
  EXPECT_FLOAT_EQ(ang.x, 90.0f);
  EXPECT_EQ(ang.y, 0.0f);
}

// The sample's list carries either hero to the next level as it was left.
TEST_F(Personages, TheSamplesListCarriesBothHeroesBetweenLevels) {
  tw_test::WriteFile("scripts/personages", Tool_PersonageList(Tool_SamplePersonages()));
  for (const char* hero : Game_HeroIds) {
    SCOPED_TRACE(hero);
    Game_NewSession("scripts\\personages");
    GameObject* player = StartGame();
    std::snprintf(player->person.name, sizeof player->person.name, "%s", hero);
    player->person.money = 5000;
    player->person.health = 42;
    StoreGlobalPersonages();
    Obj_ClearAll();
    player = StartGame();  // the next level's fresh hero
    std::snprintf(player->person.name, sizeof player->person.name, "%s", hero);
    player->person.money = 100;
    RestoreGlobalPersonages();
    EXPECT_EQ(player->person.money, 5000);
    EXPECT_FLOAT_EQ(player->person.health, 42.0f);
    Obj_ClearAll();
  }
}

}  // namespace
