// The level life cycle: names refused before anything changes, a load with its entity files and a
// running game, the state after a release, the loading screen's pace, and the screenshot and
// capture names.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "characters/defs.h"
#include "foundation/file.h"
#include "foundation/var.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "render/render.h"
#include "tools/def_writer.h"
#include "tools/hud_writer.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/screenshot.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;

class LevelTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    TextFile_Flush();
    GameVars_Init(0);
    for (const auto& [file, text] : Tool_SampleDefFiles()) tw_test::WriteFile("scripts/" + file, text);
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    tw_test::WriteFile("scenes/yard.scn",
                       "{\"classname\" \"info_player_start\" \"origin\" \"10 20 0\"}\n"
                       "{\"classname\" \"world\" \"id\" \"crate\" \"origin\" \"0 100 0\"}\n");
    tw_test::WriteFile("scenes/yard.items", "{\"classname\" \"world\" \"id\" \"box\" \"origin\" \"5 5 0\"}\n");
  }
  void TearDown() override {
    Level_Free();
    TextFile_Flush();
    WorldTest::TearDown();
  }
};

TEST_F(LevelTest, BadNamesAndTextsAreRefusedAndALevelLoadsFreesAndLoadsAgain) {
  // Spawned characters refuse text that would open keys.
  EXPECT_EQ(Ent_SpawnNpc("guard\" \"health\" \"999", nullptr, nullptr, "npc\\guard", 0), nullptr);
  EXPECT_EQ(Ent_SpawnNpc("guard", nullptr, nullptr, "npc}\n{", 0), nullptr);
  EXPECT_EQ(Obj_ListHead, nullptr);
  EXPECT_NE(Log().find("Ent_SpawnNpc: refused"), std::string::npos);
  // Level names.
  ASSERT_EQ(Level_Load("yard.scn"), 1);
  int objects = Obj_Count();
  for (const char* bad : {"/etc/passwd", "a/../../b", "C:\\x", "y{ard"}) {
    EXPECT_EQ(Level_Load(bad), 0) << bad;
    EXPECT_STREQ(Level_Name, "yard");
    EXPECT_EQ(Obj_Count(), objects);
  }
  EXPECT_NE(Log().find("Level_Load: refused level name"), std::string::npos);
  EXPECT_TRUE(Level_NameAllowed("a..b"));
  // Load, free and load again.
  for (int round = 0; round < 2; round++) {
    ASSERT_EQ(Level_Load("yard.scn"), 1);
    EXPECT_STREQ(Level_Name, "yard");  // the extension is dropped
    EXPECT_TRUE(Game_Running && Level_Loaded);
    ASSERT_NE(Obj_Player, nullptr);
    EXPECT_EQ(Obj_Player->origin.x, 10);
    bool crate = false, box = false;
    for (GameObject* o = Obj_ListHead; o; o = o->next) {
      crate |= std::string(o->person.name) == "crate";
      box |= std::string(o->person.name) == "box";
    }
    EXPECT_TRUE(crate && box);
    Game_Time = 12;
    Game_MenuOpen = Game_PanelOpen = 1;
    Game_FullScreenMode = FULLSCREEN_HELP;
    Level_Free();
    EXPECT_EQ(Game_Time, 0);
    EXPECT_FALSE(Game_Running || Game_MenuOpen || Game_PanelOpen || Level_Loaded);
    EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
    EXPECT_EQ(Obj_ListHead, nullptr);
  }
}

int g_draws;
void CountDraw(const char*) { g_draws++; }

TEST_F(LevelTest, TheLoadingScreenKeepsItsPaceAndScreenshotsTheirNames) {
  Level_LoadingDrawHook = CountDraw;
  g_draws = 0;
  Level_SetLoadingTitle("scenes\\yard");
  for (int i = 0; i < 1000; i++) Level_DrawLoadingProgress();
  EXPECT_EQ(g_draws, 1);  // far less than 0.05 s passed
  Level_ClearLoadingScreen();
  Level_DrawLoadingProgress();
  render_pbuffer.value = 1;  // the off-screen buffer: no loading screen
  Level_SetLoadingTitle("scenes\\yard");
  Level_DrawLoadingProgress();
  render_pbuffer.value = 0;
  Level_LoadingSuppressed = 1;
  Level_SetLoadingTitle("scenes\\yard");
  Level_DrawLoadingProgress();
  Level_LoadingSuppressed = 0;
  EXPECT_EQ(g_draws, 1);
  Level_LoadingDrawHook = nullptr;
  // Screenshots take the next free name, captures keep their window (without a renderer the pixels
  // read back as zeros).
  Render_ScreenWidth = 4;
  Render_ScreenHeight = 2;
  tw_test::WriteFile("scr000.tga", "x");
  tw_test::WriteFile("scr001.tga", "y");
  Screenshot_Counter = 0;
  EXPECT_EQ(Screenshot_Take(), 2);
  EXPECT_EQ(tw_test::ReadFile("scr000.tga"), "x");
  EXPECT_EQ(tw_test::ReadFile("scr002.tga").size(), 18u + 4 * 2 * 4);
  Screenshot_Counter = 1000;
  EXPECT_EQ(Screenshot_Take(), -1);
  EXPECT_FALSE(tw_test::FileExists("scr.part"));

  static VarRecord first{"igv_first_frame", 0, VAR_NUMERIC, 0, "0", 0, nullptr};
  static VarRecord last{"igv_last_frame", 0, VAR_NUMERIC, 0, "0", 0, nullptr};
  VarRecord* f = Var_Register(&first);
  VarRecord* l = Var_Register(&last);
  Var_SetValue(f, 10);
  Var_SetValue(l, 20);
  std::snprintf(Level_Name, sizeof Level_Name, "yard");
  Capture_Counter = 0;
  for (int i = 0; i < 25; i++) Game_CaptureFrame();
  for (int i : {9, 10, 20, 21}) {
    char name[64];
    std::snprintf(name, sizeof name, "video/yard/scr.%05i.tga", i);
    EXPECT_EQ(tw_test::FileExists(name), i >= 10 && i <= 20) << name;
  }
  Var_SetValue(f, 0);
  Var_SetValue(l, 0);
  Level_Name[0] = 0;
  Render_ScreenWidth = Render_ScreenHeight = 0;
}

// A name with a parent folder behind either separator, or with a quote or a brace that would
// break an entity line, is refused before anything changes.
TEST_F(LevelTest, NamesWithAParentFolderOrAQuoteAreRefusedBeforeAnythingChanges) {
  ASSERT_EQ(Level_Load("yard.scn"), 1);
  const int objects = Obj_Count();
  for (const char* bad : {"..\\yard", "..", "scenes\\..\\..\\yard", "a\\..", "ya\"rd", "ya}rd", "ya\nrd"}) {
    EXPECT_FALSE(Level_NameAllowed(bad)) << bad;
    EXPECT_EQ(Level_Load(bad), 0) << bad;
    EXPECT_STREQ(Level_Name, "yard");
    EXPECT_EQ(Obj_Count(), objects);
  }
  EXPECT_TRUE(Level_NameAllowed("yard..2"));
}

// However a level change is asked for (the use key, a script, the level start table), a level with
// neither its ".nav" nor its ".scn" is not entered, and a start that is no place in the world gives
// way to the level's own.
TEST_F(LevelTest, ALevelChangeGoesOnlyToALevelThatIsThereAndToAStartInTheWorld) {
  tw_test::WriteFile("scenes/court.scn", "{\"classname\" \"info_player_start\" \"origin\" \"30 40 0\"}\n");
  Level_LoadingSuppressed = 1;
  auto change = [](const std::vector<std::string>& levelLine) {
    const std::string script = QuestWriter_Script({levelLine});
    EXPECT_EQ(Que_RunText(script.data(), script.size(), "test"), 1);
    Game_HotKeys();
  };
  ASSERT_EQ(Level_Load("yard"), 1);
  GameObject* hero = Obj_Player;
  ASSERT_NE(hero, nullptr);
  hero->origin = vec3{77, 88, 0};
  const int objects = Obj_Count();
  GameObject* door = Obj_ListHead->next;
  ASSERT_EQ(Game_ApplyUseText(hero, door, "[changelevel] [nowhere] [0 0 0 0 0 0]"), 1);
  Game_HotKeys();
  change({"level", "nowhere", "1", "2", "3", "0", "0", "0"});
  change({"level", "nowhere.scn"});
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "Game_ChangeLevel: no level \"nowhere"), 3);
  EXPECT_STREQ(Level_Name, "yard");
  EXPECT_EQ(Obj_Player, hero);
  EXPECT_EQ(Obj_Count(), objects);
  EXPECT_EQ(hero->origin.x, 77.0f);
  EXPECT_EQ(Game_PendingLevel[0], 0);
  EXPECT_EQ(Game_NextStartGiven, 0u);
  // A start beyond the world from a script: the level's own start.
  change({"level", "court", "5e8", "0", "0", "0", "0", "0"});
  EXPECT_STREQ(Level_Name, "court");
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(Obj_Player->origin.x, 30.0f);
  EXPECT_NE(Log().find("Game_ChangeLevel: the start given for \"court\" is no place in the world"), std::string::npos);
  // The level start table's row for the level being left: a start that is not a number.
  LevelStartRecord& row = Que_State.levelStarts[0];
  std::snprintf(row.level, sizeof row.level, "court");
  std::snprintf(row.redirect, sizeof row.redirect, "yard");
  row.origin[0] = std::nanf("");
  row.angles[0] = 1e30f;
  change({"level", "court"});
  EXPECT_STREQ(Level_Name, "yard");
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(Obj_Player->origin.x, 10.0f);
  EXPECT_EQ(Obj_Player->angles.x, 0.0f);
  // A sound start goes with the level.
  row = LevelStartRecord{};
  change({"level", "court", "100", "200", "0", "90", "0", "0"});
  EXPECT_STREQ(Level_Name, "court");
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(Obj_Player->origin.x, 100.0f);
  Que_ResetState();
  Level_LoadingSuppressed = 0;
}

}  // namespace
