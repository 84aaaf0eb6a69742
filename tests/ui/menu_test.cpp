// The menu stack and its screens driven by key sequences: the front end's road to a new game,
// the key-binding screen (choosing an action, capture, Delete, leaving), the in-game menu and its
// end of the game.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "characters/actions.h"
#include "characters/defs.h"
#include "characters/player.h"
#include "foundation/file.h"
#include "foundation/keys.h"
#include "foundation/sys.h"
#include "foundation/text.h"
#include "hud/hud.h"
#include "support/input_fixture.h"
#include "ui/menu.h"
#include "ui/menu_keys.h"
#include "ui/ui.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/object.h"
#include "world/personage.h"
#include "world/save.h"
#include "world/start.h"
#include "world/tick.h"

namespace {

// Key codes of keys that the sample binds and these tests bind again.
constexpr int kKeyI = 23, kKeyJ = 36, kKeyK = 37, kKeyL = 38, kKeyO = 24, kKeyW = 17, kF5 = 63, kF6 = 64, kF10 = 68;

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
  // A running street (a level file a load finds) with a hero of the machine player's class.
  static GameObject* StartStreetWithHero() {
    tw_test::WriteFile("scenes/street.scn", "");
    Level_Load("street");
    GameObject* player = Obj_Alloc();
    player->classNum = MACHINEPLAYER;
    Load_ObjectX(player);
    player->flags |= OBJ_ACTIVE;  // as the game's hero
    Obj_Player = player;
    return player;
  }
};

TEST_F(MenuTest, WithoutAGameTheMainMenuShowsItsKeysWrapAndTheStackRefusesOverflow) {
  Frame();
  EXPECT_TRUE(Game_MenuOpen);
  EXPECT_EQ(Top(), "mainmenu");
  EXPECT_EQ(UI_MenuDepth(UI_System), 1);
  struct Step {
    int key;
    int selection;
  };
  const Step steps[] = {{KEY_UP, 5}, {KEY_DOWN, 0}, {KEY_DOWN, 1}, {KEY_ESCAPE, 1}};
  for (const Step& s : steps) {
    Press({s.key});
    EXPECT_EQ(UI_TopSelection(UI_System), s.selection) << s.key;
    EXPECT_EQ(Top(), "mainmenu");  // Escape has nowhere to go from the main menu
  }
  Press({KEY_UP, KEY_UP, KEY_ENTER});  // Quit, the last item
  EXPECT_EQ(Sys_QuitRequested, 1);
  // The stack refuses unknown names and overflow.
  UI_ClearMenuStack(UI_System);
  EXPECT_EQ(UI_PushMenu(UI_System, "tradermenu", nullptr), 0);
  for (int i = 0; i < kUiStackDepth; i++) EXPECT_EQ(UI_PushMenu(UI_System, "MAINMENU", nullptr), 1) << i;
  EXPECT_EQ(UI_PushMenu(UI_System, "newgame", nullptr), 0);
  EXPECT_EQ(UI_MenuDepth(UI_System), kUiStackDepth);
  EXPECT_EQ(Top(), "mainmenu");
  for (int i = 0; i < kUiStackDepth + 2; i++) UI_PopMenu(UI_System);
  EXPECT_EQ(UI_MenuDepth(UI_System), 0);
  EXPECT_EQ(UI_Event(UI_System, kUiInput), 0);
  std::string log = tw_test::ReadFile("log");
  EXPECT_NE(log.find("UI_PushMenu: no menu \"tradermenu\""), std::string::npos);
  EXPECT_NE(log.find("UI_PushMenu: the menu stack is full"), std::string::npos);
}

// The pointer: a click takes the item under it whatever is highlighted, and a click beside the
// items does nothing.
TEST_F(MenuTest, AClickTakesTheItemUnderThePointer) {
  Frame();
  ASSERT_EQ(Top(), "mainmenu");
  Game_CursorX = 320;
  Game_CursorY = 50;  // over the title
  Press({kKeyMouseLeft});
  EXPECT_EQ(Top(), "mainmenu");
  EXPECT_EQ(UI_TopSelection(UI_System), 0);
  Game_CursorX = 100;  // left of the items, at the height of "Quit"
  Game_CursorY = kUiItemTop + 5 * kUiItemHeight + 10;
  Press({kKeyMouseLeft});
  EXPECT_EQ(Sys_QuitRequested, 0);
  // A click over "Quit" with "Load game" highlighted quits.
  Game_CursorX = 320;
  Press({KEY_DOWN, KEY_DOWN});
  ASSERT_EQ(UI_TopSelection(UI_System), 2);
  Game_CursorY = kUiItemTop + 5 * kUiItemHeight + 10;
  Press({kKeyMouseLeft});
  EXPECT_EQ(Sys_QuitRequested, 1);
  Sys_QuitRequested = 0;
  // The list screens: a click takes the name under the pointer (in a running game a refused
  // file leaves the list as it was).
  tw_test::WriteFile("save/a.sav", "not a save");
  tw_test::WriteFile("save/b.sav", "not a save");
  Level_Load("street");
  Game_MenuOpen = 1;
  UI_ClearMenuStack(UI_System);
  ASSERT_EQ(UI_PushMenu(UI_System, "loadgame", nullptr), 1);
  Game_CursorX = 320;
  Game_CursorY = 450;  // below the two names
  Press({kKeyMouseLeft});
  EXPECT_EQ(UI_TopSelection(UI_System), 0);
  const size_t refusals = tw_test::CountOccurrences(tw_test::ReadFile("log"), "Load:");
  Game_CursorY = kUiItemTop + 30 + 10;  // the second name
  Press({kKeyMouseLeft});
  EXPECT_EQ(Top(), "loadgame");
  EXPECT_EQ(UI_TopSelection(UI_System), 1);
  EXPECT_GT(tw_test::CountOccurrences(tw_test::ReadFile("log"), "Load:"), refusals);
  Game_CentreCursor();
}

// The keys move the bar and leave the pointer where it is; a pointer moved onto a row takes the
// bar there (also on the key-binding screen, whose rows scroll).
TEST_F(MenuTest, TheKeysMoveTheBarNotThePointerAndAMovedPointerTakesTheBar) {
  Game_CursorX = 320;
  Game_CursorY = kUiItemTop + 3 * kUiItemHeight + 10;
  Frame();
  ASSERT_EQ(Top(), "mainmenu");
  EXPECT_EQ(UI_TopSelection(UI_System), 0) << "a screen just opened took the bar from a pointer at rest";
  Game_CursorY += 2;  // moved, still over the fourth row
  Frame();
  EXPECT_EQ(UI_TopSelection(UI_System), 3);
  const float y = Game_CursorY;
  Press({KEY_DOWN});
  EXPECT_EQ(UI_TopSelection(UI_System), 4);
  Press({KEY_UP, KEY_UP});
  EXPECT_EQ(UI_TopSelection(UI_System), 2);
  EXPECT_EQ(Game_CursorY, y) << "the keys moved the pointer";
  EXPECT_EQ(Game_CursorX, 320.0f);
  Game_CursorY = kUiItemTop + 1 * kUiItemHeight + 10;
  Frame();
  EXPECT_EQ(UI_TopSelection(UI_System), 1);
  // The key-binding screen: the pointer takes the bar, the keys move the bar and scroll the rows
  // under a pointer that stays.
  ASSERT_EQ(UI_PushMenu(UI_System, "keys", nullptr), 1);
  Frame();
  Game_CursorY = kUiItemTop + 7 * 30 + 5;
  Frame();
  EXPECT_EQ(Menu_InputKeysSelection(), 7);
  Press({KEY_DOWN, KEY_DOWN, KEY_DOWN});
  EXPECT_EQ(Menu_InputKeysSelection(), 10);
  EXPECT_EQ(Game_CursorY, kUiItemTop + 7 * 30 + 5) << "the keys moved the pointer";
  Game_CentreCursor();
}

TEST_F(MenuTest, NewGameOffersBothHeroesAndStartsTheStreetWithTheChosenOne) {
  Frame();
  Press({KEY_ENTER});
  EXPECT_EQ(Top(), "newgame");
  Press({KEY_ESCAPE});
  EXPECT_EQ(Top(), "mainmenu");
  EXPECT_EQ(UI_TopSelection(UI_System), 0);
  Game_CursorX = 320;  // over "New game"
  Game_CursorY = kUiItemTop + 10;
  Press({kKeyMouseLeft, KEY_DOWN});
  Game_CentreCursor();
  EXPECT_EQ(Top(), "newgame");
  Press({KEY_ENTER});
  EXPECT_EQ(Game_HeroChoice, 1);
  EXPECT_TRUE(Game_Running);
  EXPECT_FALSE(Game_MenuOpen);
  EXPECT_STREQ(Level_Name, "street");
}

TEST_F(MenuTest, EscapeInPlayOpensTheInGameMenuAndALevelReleaseClearsThePlayScreen) {
  Level_Load("street");
  Press({KEY_ESCAPE});
  EXPECT_TRUE(Game_MenuOpen);
  EXPECT_EQ(Top(), "ingamemenu");
  Press({KEY_ESCAPE});  // resumes
  EXPECT_FALSE(Game_MenuOpen);
  EXPECT_EQ(UI_MenuDepth(UI_System), 0);
  Press({kKeyMouseMiddle});
  EXPECT_EQ(Top(), "ingamemenu");
  Press({KEY_UP});
  Queue(KEY_UP, true);  // End game, the one before Quit
  Frame();
  Queue(KEY_UP, false);
  Queue(KEY_ENTER, true);
  Frame();
  EXPECT_STREQ(Game_PendingLevel, "endgame");
  EXPECT_TRUE(Game_Running);
  Queue(KEY_ENTER, false);
  Frame();  // the pending change releases the level; the front end's menu comes back
  EXPECT_FALSE(Game_Running);
  EXPECT_EQ(Top(), "mainmenu");
  EXPECT_EQ(UI_MenuDepth(UI_System), 1);
  // A level's release takes the play screen's status, subtitle and markers with it and puts the
  // pointer back in the middle.
  Level_Load("street");
  std::snprintf(Game_PlayScreen.statusKey, sizeof Game_PlayScreen.statusKey, "quest\\status");
  std::snprintf(Game_PlayScreen.subtitleKey, sizeof Game_PlayScreen.subtitleKey, "voice\\line");
  Game_PlayScreen.subtitleStart = 2.0;
  Game_PlayScreen.markers = PLAYMARK_HACK;
  Game_MoveCursor(-5000, 5000);
  EXPECT_EQ(Game_CursorX, 0.0f);
  Level_Free();
  EXPECT_EQ(Game_PlayScreen.statusKey[0], 0);
  EXPECT_EQ(Game_PlayScreen.subtitleKey[0], 0);
  EXPECT_EQ(Game_PlayScreen.subtitleStart, -1000.0);
  EXPECT_EQ(Game_PlayScreen.markers, 0u);
  EXPECT_EQ(Game_CursorX, 320.0f);
  EXPECT_EQ(Game_CursorY, 240.0f);
}

// The hot keys in play: a developer key counts only while Ctrl and Alt are held at its press (a
// plain F3 is not kept for the next Ctrl+Alt); F1 opens the help pictures and F1 closes them;
// quick save writes nothing outside play (here behind a movie), only a message line.
TEST_F(MenuTest, DeveloperKeysHelpQuickSaveAndTheShopAndSearchScreens) {
  tw_test::WriteFile("scenes/street.scn", "");  // a level a load finds
  Level_Load("street");
  GameObject* player = Obj_Player;
  ASSERT_NE(player, nullptr);
  const int money = player->person.money;
  Console_Clear();
  Press({KEY_F3});
  Queue(KEY_LCTRL, true);
  Queue(KEY_RALT, true);
  Frame();
  EXPECT_EQ(player->person.money, money) << "a plain F3 acted at the next Ctrl+Alt";
  Press({KEY_F3});
  EXPECT_EQ(player->person.money, money + 10000);
  EXPECT_EQ(Console_GetLineCount(), 1);
  Queue(KEY_LCTRL, false);
  Queue(KEY_RALT, false);
  Frame();
  Press({KEY_F1});
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_HELP);
  Press({KEY_F1});
  EXPECT_EQ(Game_FullScreenMode, FULLSCREEN_NONE);
  Var_SetText(Var_Find("Keyboard F5"), "QuickSave");
  Game_FullScreenMode = FULLSCREEN_MOVIE;  // no movie: its input waits for a skip key
  Press({kF5});
  EXPECT_FALSE(tw_test::FileExists("save/quicksave/quick.sav"));
  EXPECT_EQ(Console_GetLineCount(), 2);
  Game_FullScreenMode = FULLSCREEN_NONE;
  Press({kF5});
  EXPECT_TRUE(tw_test::FileExists("save/quicksave/quick.sav"));
  Console_Clear();
  // A shop's use text opens the shop screen, a body the search screen; Escape returns to play.
  Level_Load("street");
  std::snprintf(Def_Shops[0].name, sizeof Def_Shops[0].name, "corner shop");
  GameObject* sign = Obj_Alloc();
  sign->classNum = WORLD;
  Load_ObjectX(sign);
  sign->flags |= OBJ_ACTIVE;
  std::snprintf(sign->person.itemText, sizeof sign->person.itemText, "[shop] [corner shop]");
  for (const char* screen : {"shopmenu", "searchmenu"}) {
    if (std::string(screen) == "searchmenu") {
      sign->classNum = NPC;
      Load_ObjectX(sign);  // a character's slots: the use key reaches it through its Use slot
      sign->person.state = 2;
      Obj_Player->useTargetCharacter = sign;
      Obj_Player->useTargetObject = nullptr;
    } else {
      Obj_Player->useTargetObject = sign;
    }
    Player_CommandWord = CMD_USE;
    Frame();
    Player_CommandWord = 0;
    EXPECT_TRUE(Game_MenuOpen) << screen;
    EXPECT_EQ(Top(), screen);
    Press({KEY_ENTER, KEY_UP});  // no items: nothing happens
    EXPECT_EQ(Top(), screen);
    Press({KEY_ESCAPE});
    EXPECT_FALSE(Game_MenuOpen) << screen;
    EXPECT_EQ(UI_MenuDepth(UI_System), 0);
  }
  EXPECT_EQ(Game_CurrentShop, 0);
  Def_Shops[0].name[0] = 0;
  // The inventory key opens the inventory screen; Escape returns to play.
  Var_SetText(Var_Find("Keyboard I"), "Inventory");
  Press({kKeyI});
  EXPECT_TRUE(Game_MenuOpen);
  EXPECT_EQ(Top(), "inventorymenu");
  Press({KEY_ESCAPE});
  EXPECT_FALSE(Game_MenuOpen);
}

// The hero's death in single play: no quick save, save from the menu, use or screens while dead,
// and he neither walks nor turns; the key bindings still act. Escape opens the in-game menu, whose
// Load game brings the quick save back and whose End game leaves; nothing else comes up by itself.
// F6 says when there is no quick save and when a quick load worked.
TEST_F(MenuTest, ADeadHeroCanNeitherSaveNorUseNorMoveAndEscapeOffersLoadAndEndGame) {
  tw_test::TempDir dir;
  tw_test::WriteFile("scenes/street.scn", "");  // a level a load finds
  Var_SetText(Var_Find("Keyboard F5"), "QuickSave");
  Var_SetText(Var_Find("Keyboard F6"), "QuickLoad");
  Var_SetText(Var_Find("Keyboard I"), "Inventory");
  Var_SetText(Var_Find("Keyboard W"), "Forward");
  Var_SetText(Var_Find("Keyboard F10"), "Camera Sequence");
  Level_Load("street");
  Console_Clear();
  Press({kF6});
  EXPECT_EQ(tw_test::LastConsoleLine(), "No quick save yet");
  GameObject* player = Obj_Player;
  ASSERT_NE(player, nullptr);
  Press({kF5});
  const std::string saved = tw_test::ReadFile("save/quicksave/quick.sav");
  ASSERT_FALSE(saved.empty());
  GameObject* body = Obj_Alloc();
  body->classNum = NPC;
  Load_ObjectX(body);
  body->flags |= OBJ_ACTIVE;
  body->person.state = 2;
  Player_Damage(player, nullptr, 1000.0f, 0, nullptr, 0, 0);
  ASSERT_EQ(player->person.state, 2);
  Console_Clear();
  Frame();
  EXPECT_EQ(Console_GetLineCount(), 0);
  player->origin.x = 77;  // a quick save now would keep this
  Press({kF5});
  EXPECT_TRUE(tw_test::ReadFile("save/quicksave/quick.sav") == saved) << "F5 saved a dead hero";
  EXPECT_EQ(tw_test::LastConsoleLine(), "Not while the hero is dead");
  Press({KEY_ESCAPE, KEY_DOWN, KEY_ENTER});  // Save game in the in-game menu
  EXPECT_FALSE(tw_test::FileExists("save/game01.sav"));
  EXPECT_FALSE(Game_MenuOpen);
  Press({kKeyI});
  EXPECT_FALSE(Game_MenuOpen) << "the inventory opened for a dead hero";
  player->useTargetCharacter = body;
  Player_CommandWord = CMD_USE;
  Frame();
  Player_CommandWord = 0;
  EXPECT_FALSE(Game_MenuOpen) << "a dead hero searched a body";
  // The bindings act: a held key rides in the frame's command, the camera sequence key switches.
  Queue(kKeyW, true);
  Frame();
  EXPECT_NE(Game_CurrentFrame.command & CMD_FORWARD, 0u) << "the dead hero's keys went unread";
  Press({kF10});
  EXPECT_EQ(Game_SpecialFlag, 1u);
  Press({kF10});
  EXPECT_EQ(Game_SpecialFlag, 0u);
  // ... but the body takes no command: it neither walks nor turns.
  const vec3 at = player->origin, facing = player->angles;
  for (int i = 0; i < 10; i++) {
    Game_TickFrame = DemoFrame{0.1f, 0.2f, 0, uint32_t(CMD_FORWARD | CMD_FIRE)};
    Game_Tick();
  }
  Queue(kKeyW, false);
  Frame();
  EXPECT_EQ(player->origin.x, at.x);
  EXPECT_EQ(player->origin.y, at.y);
  EXPECT_EQ(player->angles.x, facing.x);
  // Nothing comes up by itself, however long he lies.
  Game_Time = double(player->deathTime) + 10.0;
  Frame();
  EXPECT_FALSE(Game_MenuOpen);
  // Escape: the in-game menu, and its Load game (the third item from the end).
  Press({KEY_ESCAPE});
  ASSERT_EQ(Top(), "ingamemenu");
  Press({KEY_UP, KEY_UP, KEY_UP, KEY_ENTER});
  ASSERT_EQ(Top(), "loadgame");
  Press({KEY_ENTER});  // the quick save
  EXPECT_FALSE(Game_MenuOpen);
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(Obj_Player->person.state, 1);
  EXPECT_NE(Obj_Player->origin.x, 77.0f);
  Press({kF6});
  EXPECT_EQ(tw_test::LastConsoleLine(), "Game loaded");
  EXPECT_EQ(Obj_Player->person.state, 1);
  // End game, the item before Quit.
  Player_Damage(Obj_Player, nullptr, 1000.0f, 0, nullptr, 0, 0);
  Press({KEY_ESCAPE});
  ASSERT_EQ(Top(), "ingamemenu");
  Press({KEY_UP, KEY_UP, KEY_ENTER});
  Frame();
  EXPECT_FALSE(Game_Running);
  EXPECT_EQ(Top(), "mainmenu");
}

// A press the dead hero cannot use is not kept for later: the inventory and goals keys pressed
// while he lies dead, or pressed as the quick load goes, open nothing in the loaded game.
TEST_F(MenuTest, PressesOfADeadHeroDoNotCarryIntoTheLoadedGame) {
  tw_test::TempDir dir;
  tw_test::WriteFile("scenes/street.scn", "");
  Bind("Keyboard F5", "QuickSave");
  Bind("Keyboard F6", "QuickLoad");
  Bind("Keyboard I", "Inventory");
  Bind("Keyboard J", "Quests");
  Level_Load("street");
  Press({kF5});
  ASSERT_TRUE(tw_test::FileExists("save/quicksave/quick.sav"));
  for (int pass = 0; pass < 2; pass++) {
    ASSERT_NE(Obj_Player, nullptr);
    Player_Damage(Obj_Player, nullptr, 1000.0f, 0, nullptr, 0, 0);
    ASSERT_EQ(Obj_Player->person.state, 2);
    if (pass == 0) {
      // Pressed while he lies dead: taken, and nothing opens.
      Press({kKeyI, kKeyJ});
      EXPECT_FALSE(Game_MenuOpen);
      EXPECT_EQ(Input_KeyPressed(kKeyI) | Input_KeyPressed(kKeyJ), 0) << "a press was kept for later";
      Press({kF6});
    } else {
      // Pressed in the frame of the quick load.
      for (int code : {kKeyI, kKeyJ, kF6}) Queue(code, true);
      Frame();
      for (int code : {kKeyI, kKeyJ, kF6}) Queue(code, false);
      Frame();
    }
    EXPECT_EQ(tw_test::LastConsoleLine(), "Game loaded") << pass;
    Frame();
    ASSERT_NE(Obj_Player, nullptr);
    EXPECT_EQ(Obj_Player->person.state, 1);
    EXPECT_FALSE(Game_MenuOpen) << "pass " << pass << " opened " << Top();
  }
  // The keys still open their screens for the living hero.
  Press({kKeyI});
  EXPECT_EQ(Top(), "inventorymenu");
}

// The new game's camera-sequence start mode: the hero stands while the camera swings round him
// and the play screen shows only the black bars; the sequence ends by itself and clears the flag.
TEST_F(MenuTest, TheCameraSequenceStartModeRunsTheOpeningAndEndsIt) {
  Var_SetValue(&game_startmode, float(kStartModeCameraSequence));
  Frame();
  Press({KEY_ENTER, KEY_ENTER});  // New game, the first hero
  Var_SetValue(&game_startmode, 0);
  ASSERT_TRUE(Game_Running);
  GameObject* player = Obj_Player;
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(Game_SpecialFlag, 1u);
  EXPECT_EQ(player->camera.mode, 2);
  const vec3 start = player->origin;
  int ticks = 0;
  for (; ticks < 200 && Game_SpecialFlag; ticks++) {
    Game_TickFrame = DemoFrame{0.1f, 0.05f, 0, uint32_t(CMD_FORWARD)};
    Game_Tick();
    if (Game_SpecialFlag) {
      EXPECT_EQ(player->origin.x, start.x) << "the hero walked during the sequence";
      EXPECT_EQ(player->origin.y, start.y);
    }
  }
  EXPECT_EQ(Game_SpecialFlag, 0u) << "the sequence never ended";
  EXPECT_NEAR(ticks * 0.1, kCameraSequenceTime, 0.15);
  EXPECT_EQ(player->camera.mode, 0);
  // The plain start mode starts at once; a sequence cut short by its key ends too.
  Level_Free();
  Frame();
  Press({KEY_ENTER, KEY_ENTER});
  EXPECT_EQ(Game_SpecialFlag, 0u);
  EXPECT_EQ(Obj_Player->camera.mode, 0);
  Player_StartCameraSequence(Obj_Player);
  Game_SpecialFlag = 0;
  Game_TickFrame = DemoFrame{0.1f, 0, 0, 0};
  Game_Tick();
  EXPECT_EQ(Obj_Player->camera.mode, 0);
}

// The load screen lists at most 64 names: a fuller folder must not lose the ones it leaves out.
TEST_F(MenuTest, SavingFromTheMenuOverwritesNoFileOfAFullFolder) {
  tw_test::TempDir dir;
  for (int n = 1; n <= 70; n++) tw_test::WriteFile("save/game" + std::to_string(n + 100).substr(1) + ".sav", "kept");
  StartStreetWithHero();
  Press({KEY_ESCAPE, KEY_DOWN, KEY_ENTER});  // Save game
  for (int n = 1; n <= 70; n++) EXPECT_EQ(tw_test::ReadFile("save/game" + std::to_string(n + 100).substr(1) + ".sav"), "kept") << n;
  EXPECT_TRUE(tw_test::FileExists("save/game71.sav"));
}

// The front end's Load game lists the quick save first, and takes it like any other save.
TEST_F(MenuTest, LoadGameListsTheQuickSave) {
  tw_test::TempDir dir;
  GameObject* player = StartStreetWithHero();
  player->origin.x = 7;
  ASSERT_EQ(Save("game01"), 1);
  player->origin.x = 42;
  Menu_QuickSave();
  ASSERT_TRUE(tw_test::FileExists("save/quicksave/quick.sav"));
  tw_test::WriteFile("save/quicksave/other.sav", "not the quick save");  // only "quick" is listed
  Level_Free();
  Frame();
  ASSERT_EQ(Top(), "mainmenu");
  Press({KEY_DOWN, KEY_DOWN, KEY_ENTER});  // Load game
  ASSERT_EQ(Top(), "loadgame");
  Press({KEY_ENTER});  // the first name
  ASSERT_TRUE(Game_Running);
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(Obj_Player->origin.x, 42.0f);
  Level_Free();
  Frame();
  Press({KEY_DOWN, KEY_DOWN, KEY_ENTER, KEY_DOWN, KEY_ENTER});  // the second: game01
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(Obj_Player->origin.x, 7.0f);
  Level_Free();
  Frame();
  Press({KEY_DOWN, KEY_DOWN, KEY_ENTER, KEY_DOWN, KEY_DOWN, KEY_ENTER});  // two names only: wraps to the first
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(Obj_Player->origin.x, 42.0f);
}

// A list longer than its rows stays in place under the pointer: with the bar moved down by the
// keys, the pointer moved onto the top row shown and a click there load the save that row shows.
TEST_F(MenuTest, ALongListStaysUnderThePointerAndAClickLoadsTheSaveItShows) {
  tw_test::TempDir dir;
  GameObject* player = StartStreetWithHero();
  for (int n = 1; n <= 12; n++) {
    char name[16];
    std::snprintf(name, sizeof name, "game%02d", n);
    player->origin.x = float(n);
    ASSERT_EQ(Save(name), 1);
  }
  // The names in the order the screen lists them.
  char names[12][128];
  int count = 0;
  File_ListFiles("save\\", ".sav", &count, &names[0][0], 12, 128);
  ASSERT_EQ(count, 12);
  Level_Free();
  Frame();
  Press({KEY_DOWN, KEY_DOWN, KEY_ENTER});  // Load game
  ASSERT_EQ(Top(), "loadgame");
  for (int i = 0; i < 9; i++) Press({KEY_DOWN});  // the tenth name: the rows show the third to the tenth
  Game_CursorX = 320;
  Game_CursorY = kUiItemTop + 15;  // over the top row shown
  Frame();
  Frame();
  Press({kKeyMouseLeft});
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(Obj_Player->origin.x, float(std::atoi(names[2] + 4))) << "the click loaded another save than " << names[2];
  Game_CentreCursor();
}

TEST_F(MenuTest, TheInGameMenuSavesAndRecordsAndTheFrontEndLoadsAndPlaysThem) {
  tw_test::TempDir dir;
  GameObject* player = StartStreetWithHero();
  player->origin.x = 42;
  auto inGame = [](int item) {
    Press({KEY_ESCAPE});
    for (int i = 0; i < item; i++) Press({KEY_DOWN});
    Press({KEY_ENTER});
  };
  inGame(1);  // Save game
  EXPECT_TRUE(tw_test::FileExists("save/game01.sav"));
  EXPECT_FALSE(Game_MenuOpen);
  inGame(2);  // Record demo
  EXPECT_EQ(Game_DemoFlags & DEMO_RECORDING, DEMO_RECORDING);
  inGame(3);  // Stop recording
  EXPECT_EQ(Game_DemoFlags & DEMO_RECORDING, 0u);
  EXPECT_TRUE(tw_test::FileExists("demo/demo01.dem"));
  Level_Free();
  Frame();
  ASSERT_EQ(Top(), "mainmenu");
  Press({KEY_DOWN, KEY_DOWN, KEY_ENTER});  // Load game
  ASSERT_EQ(Top(), "loadgame");
  Press({KEY_ENTER});
  EXPECT_TRUE(Game_Running);
  EXPECT_FALSE(Game_MenuOpen);
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(Obj_Player->origin.x, 42.0f);
  Level_Free();
  Frame();
  Press({KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_ENTER});  // Play demo
  ASSERT_EQ(Top(), "playdemo");
  Press({KEY_ENTER});
  EXPECT_TRUE(Game_Running);
  EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, DEMO_PLAYBACK);
}

// The key-binding screen, chosen from the main menu.
class MenuKeysTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    Frame();
    Press({KEY_UP, KEY_UP, KEY_ENTER});  // the item before Quit
    ASSERT_EQ(Top(), "keys");
    ASSERT_TRUE(Menu_InputKeysIsOpen());
  }
  static void Tap(int code) { Press({code}); }
  static const char* Binding(const char* var) { return Var_Find(var)->text; }
};

TEST_F(MenuKeysTest, EnterOrTheLeftButtonArmsAndTheNextKeyGetsTheAction) {
  Queue(KEY_ENTER, true);
  Frame();
  Frame();  // Enter is still down, but it armed the capture: not taken as the key
  EXPECT_TRUE(Menu_InputKeysArmed());
  EXPECT_STREQ(Binding("Keyboard Enter"), "");
  Queue(KEY_ENTER, false);
  Queue(30, true);
  Frame();
  EXPECT_FALSE(Menu_InputKeysArmed());
  EXPECT_STREQ(Binding("Keyboard A"), "Forward");
  Queue(30, false);
  Frame();
  Tap(KEY_DOWN);
  Game_CursorX = 320;
  Game_CursorY = kUiItemTop + 30 + 5;  // over the second action, "Back"
  Tap(kKeyMouseLeft);
  EXPECT_TRUE(Menu_InputKeysArmed());
  Queue(kKeyMouseRight, true);
  Frame();
  EXPECT_STREQ(Binding("Mouse Right Button"), "Back");
  Queue(kKeyMouseRight, false);
  Frame();
  // A click on a row arms the highlighted action (a pointer moved there highlighted it); beside
  // the rows it arms nothing.
  Game_CursorX = 10;
  Tap(kKeyMouseLeft);
  EXPECT_FALSE(Menu_InputKeysArmed());
  Game_CursorX = 320;
  Game_CursorY = kUiItemTop + 3 * 30 + 5;
  Tap(kKeyMouseLeft);
  EXPECT_TRUE(Menu_InputKeysArmed());
  EXPECT_EQ(Menu_InputKeysSelection(), 3);
  Game_CentreCursor();
}

// A pointer moved down the rows in small steps highlights each row it crosses, and the rows stay
// where they are under it; the keys scroll the rows only when the bar leaves them. Whatever the
// pointer does, a click arms the highlighted action.
TEST_F(MenuKeysTest, AClickArmsTheHighlightedActionAndTheRowsStayUnderThePointer) {
  Game_CursorX = 320;
  for (float y = kUiItemTop + 2; y < kUiItemTop + 8 * 30; y += 7) {
    Game_CursorY = y;
    Frame();
    ASSERT_EQ(Menu_InputKeysFirstRow(), 0) << "the rows moved under the pointer at " << y;
    ASSERT_EQ(Menu_InputKeysSelection(), int((y - kUiItemTop) / 30)) << y;
  }
  ASSERT_STREQ(Menu_InputKeysActionName(Menu_InputKeysSelection()), "Crouch");
  Tap(kKeyMouseLeft);
  Tap(kKeyK);
  EXPECT_STREQ(Binding("Keyboard K"), "Crouch");
  // The keys move the bar within the rows shown; the pointer rests over "Crouch".
  Tap(KEY_UP);
  Tap(KEY_UP);
  Tap(KEY_UP);
  ASSERT_EQ(Menu_InputKeysSelection(), 4);
  EXPECT_EQ(Menu_InputKeysFirstRow(), 0);
  Tap(kKeyMouseLeft);
  Tap(kKeyL);
  EXPECT_STREQ(Binding("Keyboard L"), "Strafe Left");
  // Keys alone: the rows scroll just far enough to show the bar, and back only when it leaves them.
  for (int i = 0; i < 9; i++) Tap(KEY_DOWN);
  ASSERT_EQ(Menu_InputKeysSelection(), 13);
  EXPECT_EQ(Menu_InputKeysFirstRow(), 6);
  for (int i = 0; i < 7; i++) Tap(KEY_UP);
  EXPECT_EQ(Menu_InputKeysFirstRow(), 6);
  Tap(KEY_UP);
  EXPECT_EQ(Menu_InputKeysFirstRow(), 5);
  Tap(KEY_ENTER);
  Tap(kKeyO);
  EXPECT_STREQ(Binding("Keyboard O"), "Strafe Right");
  for (int i = 0; i < 6; i++) Tap(KEY_UP);
  ASSERT_EQ(Menu_InputKeysSelection(), 31);
  EXPECT_EQ(Menu_InputKeysFirstRow(), kMenuKeysActions - kMenuKeysRows);
  Game_CentreCursor();
}

TEST_F(MenuKeysTest, FixedKeysAndButtonFourAreNotCapturedAndEscapeDisarms) {
  Tap(KEY_ENTER);
  for (int code : {int(KEY_F1), int(KEY_NUMLOCK), kKeyMouseButton4}) Queue(code, true);
  Frame();
  EXPECT_TRUE(Menu_InputKeysArmed());
  EXPECT_STREQ(Binding("Keyboard F1"), "");
  EXPECT_STREQ(Binding("Mouse Button 4"), "");
  Queue(KEY_ESCAPE, true);
  Frame();
  EXPECT_FALSE(Menu_InputKeysArmed());
  EXPECT_TRUE(Menu_InputKeysIsOpen());
}

TEST_F(MenuKeysTest, DeleteClearsEveryBindingAndUpAndDownWrapAndEscapeLeaves) {
  Bind("Keyboard W", "Forward");
  Bind("Keyboard Up Arrow", "forward");
  Bind("Keyboard SysRq", "Forward");
  Bind("Keyboard S", "Back");
  VarRecord* found[2];
  EXPECT_EQ(Menu_InputKeysFindBindings(0, found), 2);  // no more than the caller holds
  EXPECT_EQ(found[0], Var_Find("Keyboard SysRq"));     // the newest registered first
  EXPECT_EQ(Menu_InputKeysFindBindings(kMenuKeysActions, found), 0);
  Tap(KEY_DELETE);
  EXPECT_STREQ(Binding("Keyboard W"), "");
  EXPECT_STREQ(Binding("Keyboard S"), "Back");
  EXPECT_EQ(Menu_InputKeysFindBindings(0, found), 0);
  // Up and Down wrap over the 32 actions (the camera sequence's key is no row of them); Escape or
  // the right button leaves and resets the input.
  Tap(KEY_UP);
  EXPECT_EQ(Menu_InputKeysSelection(), 31);
  EXPECT_STREQ(Menu_InputKeysActionName(Menu_InputKeysSelection()), "Leave Car");
  Bind("Keyboard F10", "Camera Sequence");
  Bind("Keyboard Q", "Leave Car");
  EXPECT_EQ(Menu_InputKeysFindBindings(31, found), 1);
  EXPECT_EQ(Menu_InputKeysFindBindings(32, found), 0);
  Tap(KEY_DOWN);
  Tap(KEY_DOWN);
  EXPECT_EQ(Menu_InputKeysSelection(), 1);
  Tap(KEY_ESCAPE);
  EXPECT_FALSE(Menu_InputKeysIsOpen());
  EXPECT_EQ(Top(), "mainmenu");
  EXPECT_EQ(UI_TopSelection(UI_System), 4);  // the main menu's keys did not run under the screen
  Tap(KEY_ENTER);
  ASSERT_TRUE(Menu_InputKeysIsOpen());
  Queue(kKeyMouseRight, true);
  Frame();
  EXPECT_FALSE(Menu_InputKeysIsOpen());
  EXPECT_EQ(Input_KeyDown(kKeyMouseRight), 0);
}

}  // namespace
