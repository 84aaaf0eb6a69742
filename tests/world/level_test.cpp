// The level life cycle: names refused before anything changes, a load with its entity files and a
// running game, the state after a release, the loading screen's pace, and the screenshot and
// capture names.
#include <gtest/gtest.h>

#include <string>

#include "characters/defs.h"
#include "foundation/file.h"
#include "foundation/var.h"
#include "render/render.h"
#include "tools/def_writer.h"
#include "world/entity.h"
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

}  // namespace
