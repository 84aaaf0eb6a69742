// The menu stack and its screens driven by key sequences: the front end's road to a new game,
// the key-binding screen, the in-game menu and its end of the game.
#include <gtest/gtest.h>

#include <string>

#include "foundation/keys.h"
#include "foundation/sys.h"
#include "support/input_fixture.h"
#include "ui/menu.h"
#include "ui/menu_keys.h"
#include "ui/ui.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/object.h"
#include "world/personage.h"

namespace {

class MenuTest : public tw_test::InputFixture {
 protected:
  void SetUp() override {
    InputFixture::SetUp();
    GameVars_Init(1);
    Level_Free();
    Sys_QuitRequested = 0;
  }
  void TearDown() override {
    Level_Free();
    UI_ClearMenuStack(UI_System);
    Sys_QuitRequested = 0;
    InputFixture::TearDown();
  }
  // One frame of the game's input (the menu's keys while a menu shows).
  static void Frame() { Game_FrameInput(); }
  static void Press(std::initializer_list<int> codes) {
    for (int code : codes) {
      Queue(code, true);
      Frame();
      Queue(code, false);
      Frame();
    }
  }
  static std::string Top() { return UI_TopMenuName(UI_System); }
};

TEST_F(MenuTest, WithoutAGameTheMainMenuShowsAndItsKeysMoveAndWrap) {
  Frame();
  EXPECT_TRUE(Game_MenuOpen);
  EXPECT_EQ(Top(), "mainmenu");
  EXPECT_EQ(UI_MenuDepth(UI_System), 1);
  struct Step {
    int key;
    int selection;
  };
  const Step steps[] = {{KEY_DOWN, 1}, {KEY_DOWN, 2}, {KEY_DOWN, 3}, {KEY_DOWN, 4},
                        {KEY_DOWN, 0}, {KEY_UP, 4},   {KEY_UP, 3},   {KEY_UP, 2},
                        {KEY_UP, 1},   {KEY_ESCAPE, 1}};
  for (const Step& s : steps) {
    Press({s.key});
    EXPECT_EQ(UI_TopSelection(UI_System), s.selection) << s.key;
    EXPECT_EQ(Top(), "mainmenu");  // Escape has nowhere to go from the main menu
  }
  Press({KEY_DOWN, KEY_ENTER});
  EXPECT_EQ(Sys_QuitRequested, 1);
}

TEST_F(MenuTest, NewGameOffersBothHeroesAndStartsTheStreetWithTheChosenOne) {
  Frame();
  Press({KEY_ENTER});
  EXPECT_EQ(Top(), "newgame");
  Press({KEY_ESCAPE});
  EXPECT_EQ(Top(), "mainmenu");
  EXPECT_EQ(UI_TopSelection(UI_System), 0);
  Press({kKeyMouseLeft, KEY_DOWN});
  EXPECT_EQ(Top(), "newgame");
  Press({KEY_ENTER});
  EXPECT_EQ(Game_HeroChoice, 1);
  EXPECT_TRUE(Game_Running);
  EXPECT_FALSE(Game_MenuOpen);
  EXPECT_STREQ(Level_Name, "street");
  EXPECT_EQ(UI_MenuDepth(UI_System), 0);
  EXPECT_EQ(Game_SettleFrames, kSettleFrames);
}

TEST_F(MenuTest, TheKeyBindingScreenRunsItsOwnKeysAndLeavesBackToTheMainMenu) {
  Frame();
  Press({KEY_DOWN, KEY_ENTER});
  EXPECT_EQ(Top(), "keys");
  EXPECT_TRUE(Menu_InputKeysIsOpen());
  Press({KEY_DOWN, KEY_DOWN});
  EXPECT_EQ(Menu_InputKeysSelection(), 2);
  EXPECT_EQ(UI_TopSelection(UI_System), 0);  // the item keys did not run under it
  Press({KEY_ESCAPE});
  EXPECT_FALSE(Menu_InputKeysIsOpen());
  EXPECT_EQ(Top(), "mainmenu");
  EXPECT_EQ(UI_TopSelection(UI_System), 1);
}

TEST_F(MenuTest, EscapeInPlayOpensTheInGameMenuWhoseEndGameReturnsToTheFrontEnd) {
  Level_Load("street");
  Press({KEY_ESCAPE});
  EXPECT_TRUE(Game_MenuOpen);
  EXPECT_EQ(Top(), "ingamemenu");
  Press({KEY_ESCAPE});  // resumes
  EXPECT_FALSE(Game_MenuOpen);
  EXPECT_EQ(UI_MenuDepth(UI_System), 0);
  Press({kKeyMouseMiddle});
  EXPECT_EQ(Top(), "ingamemenu");
  Queue(KEY_DOWN, true);
  Frame();
  Queue(KEY_DOWN, false);
  Queue(KEY_ENTER, true);
  Frame();
  EXPECT_STREQ(Game_PendingLevel, "endgame");
  EXPECT_TRUE(Game_Running);
  Queue(KEY_ENTER, false);
  Frame();  // the pending change releases the level; the front end's menu comes back
  EXPECT_FALSE(Game_Running);
  EXPECT_TRUE(Game_MenuOpen);
  EXPECT_EQ(Top(), "mainmenu");
  EXPECT_EQ(UI_MenuDepth(UI_System), 1);
}

TEST_F(MenuTest, TheInGameMenuSavesAndRecordsAndTheFrontEndLoadsAndPlaysThem) {
  tw_test::TempDir dir;
  Level_Load("street");
  GameObject* player = Obj_Alloc();
  player->classNum = MACHINEPLAYER;
  Load_ObjectX(player);
  Obj_Player = player;
  player->origin.x = 42;
  auto inGame = [](int item) {
    Press({KEY_ESCAPE});
    for (int i = 0; i < item; i++) Press({KEY_DOWN});
    Press({KEY_ENTER});
  };
  inGame(3);  // Save game
  EXPECT_TRUE(tw_test::FileExists("save/game01.sav"));
  EXPECT_FALSE(Game_MenuOpen);
  inGame(4);  // Record demo
  EXPECT_EQ(Game_DemoFlags & DEMO_RECORDING, DEMO_RECORDING);
  inGame(5);  // Stop recording
  EXPECT_EQ(Game_DemoFlags & DEMO_RECORDING, 0u);
  EXPECT_TRUE(tw_test::FileExists("demo/demo01.dem"));
  Level_Free();
  Frame();
  ASSERT_EQ(Top(), "mainmenu");
  Press({KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_ENTER});  // Load game
  ASSERT_EQ(Top(), "loadgame");
  Press({KEY_ENTER});
  EXPECT_TRUE(Game_Running);
  EXPECT_FALSE(Game_MenuOpen);
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(Obj_Player->origin.x, 42.0f);
  Level_Free();
  Frame();
  Press({KEY_UP, KEY_ENTER});  // Play demo
  ASSERT_EQ(Top(), "playdemo");
  Press({KEY_ENTER});
  EXPECT_TRUE(Game_Running);
  EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, DEMO_PLAYBACK);
}

TEST_F(MenuTest, TheStackRefusesUnknownNamesAndOverflow) {
  UI_ClearMenuStack(UI_System);
  EXPECT_EQ(UI_PushMenu(UI_System, "shopmenu", nullptr), 0);
  for (int i = 0; i < kUiStackDepth; i++) EXPECT_EQ(UI_PushMenu(UI_System, "MAINMENU", nullptr), 1) << i;
  EXPECT_EQ(UI_PushMenu(UI_System, "newgame", nullptr), 0);
  EXPECT_EQ(UI_MenuDepth(UI_System), kUiStackDepth);
  EXPECT_EQ(Top(), "mainmenu");
  for (int i = 0; i < kUiStackDepth + 2; i++) UI_PopMenu(UI_System);
  EXPECT_EQ(UI_MenuDepth(UI_System), 0);
  EXPECT_EQ(UI_Event(UI_System, kUiInput), 0);
  EXPECT_EQ(Top(), "");
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("UI_PushMenu: no menu \"shopmenu\""), std::string::npos);
  EXPECT_NE(log.find("UI_PushMenu: the menu stack is full"), std::string::npos);
}

}  // namespace
