// The sample's key bindings: a key bound to open a screen would take the rest of a cheat word
// typed in play, so no such key may type a letter of either word, and both words work when typed
// with the sample's bindings; the help pictures and the key-binding screen tell every binding.
#include <gtest/gtest.h>

#include <strings.h>

#include <cstring>
#include <set>
#include <string>

#include "characters/actions.h"
#include "foundation/keys.h"
#include "foundation/sys.h"
#include "support/input_fixture.h"
#include "tools/settings_writer.h"
#include "tools/ts_assets.h"
#include "ui/menu_keys.h"
#include "ui/ui.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/object.h"

namespace {

// The actions whose key opens a screen over play.
const char* const kScreenActions[] = {"Inventory", "Quests", "Map", "Stats", "PowerUps", "E-Shop"};

bool OpensScreen(const char* action) {
  for (const char* a : kScreenActions)
    if (strcasecmp(a, action) == 0) return true;
  return false;
}

const KeyInfo* KeyNamed(const std::string& var) {
  for (int code = 0; code < kKeyCodeCount; code++) {
    const KeyInfo* info = Key_GetInfo(code);
    if (info && info->varName && var == info->varName) return info;
  }
  return nullptr;
}

bool InCheatWord(uint8_t c) {
  return c && (std::strchr(kCheatGodMode, c) || std::strchr(kCheatAllWeapons, c));
}

class CheatBindings : public tw_test::InputFixture {
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
    Game_GodMode = 0;
    Game_AllWeaponsFlag = 0;
    InputFixture::TearDown();
  }
  static void Type(const char* word) {
    for (const char* p = word; *p; p++) {
      int code = 0;
      while (code < 256 && Key_GetInfo(code)->plain != uint8_t(*p)) code++;
      ASSERT_LT(code, 256) << *p;
      Queue(code, true);
      Game_FrameInput();
      Queue(code, false);
      Game_FrameInput();
    }
  }
};

TEST_F(CheatBindings, NoKeyThatOpensAScreenTypesALetterOfACheatWord) {
  int screens = 0;
  std::set<std::string> bound;
  for (const auto& [var, action] : Tool_DefaultBindings()) {
    const KeyInfo* key = KeyNamed(var);
    ASSERT_NE(key, nullptr) << var;
    // A key written twice keeps only its last action: the other would be silently lost.
    EXPECT_TRUE(bound.insert(var).second) << var << " is bound twice";
    if (!OpensScreen(action.c_str())) continue;
    screens++;
    EXPECT_FALSE(InCheatWord(key->plain)) << var << " opens " << action;
  }
  EXPECT_GT(screens, 0);
  // The engine's own defaults (before any settings file) bind nothing that could.
  for (int i = 0;; i++) {
    const VarRecord* v = Input_BindingVar(i);
    if (!v) break;
    if (!v->text[0] || !OpensScreen(v->text)) continue;
    const KeyInfo* key = KeyNamed(v->name);
    EXPECT_FALSE(key && InCheatWord(key->plain)) << v->name << " opens " << v->text;
  }
}

TEST_F(CheatBindings, BothWordsWorkWithTheSampleBindings) {
  for (const auto& [var, action] : Tool_DefaultBindings()) Var_SetText(Var_Find(var.c_str()), action.c_str());
  Level_Load("street");
  GameObject* player = Obj_Alloc();
  player->classNum = MACHINEPLAYER;
  Load_ObjectX(player);
  player->person.state = 1;
  Obj_Player = player;
  Game_FrameInput();
  ASSERT_FALSE(Game_MenuOpen);
  Type(kCheatAllWeapons);
  EXPECT_FALSE(Game_MenuOpen) << UI_TopMenuName(UI_System);
  EXPECT_EQ(Game_AllWeaponsFlag, 1u);
  Type(kCheatGodMode);
  EXPECT_FALSE(Game_MenuOpen) << UI_TopMenuName(UI_System);
  EXPECT_EQ(Game_GodMode, 1u);
}

// The help pictures tell the sample's bindings as they are: each key they name is bound to the
// action they say, and every binding (G slow motion, F the map, F10 the camera sequence...) is there.
TEST(SampleHelp, TheHelpPicturesNameEveryBindingOfTheSampleAsItIs) {
  std::set<std::pair<std::string, std::string>> shown;
  for (int page : {0, 1})
    for (const TsHelpRow& row : TsAssets_HelpRows(page))
      for (const auto& key : row.keys) {
        shown.insert(key);
        const std::string label = " " + row.label + " ";
        EXPECT_NE(label.find(" " + TsAssets_HelpKeyLabel(key.first) + " "), std::string::npos)
            << row.label << " does not name " << key.first;
      }
  std::set<std::pair<std::string, std::string>> bindings;
  for (const auto& binding : Tool_DefaultBindings()) {
    bindings.insert(binding);
    EXPECT_EQ(shown.count(binding), 1u) << binding.first << " (" << binding.second << ") is not in help";
  }
  for (const auto& key : shown)
    EXPECT_EQ(bindings.count(key), 1u) << "help says " << key.first << " is " << key.second << "; it is not";
  EXPECT_EQ(TsAssets_HelpKeyLabel("Keyboard G"), "G");
  EXPECT_EQ(TsAssets_HelpKeyLabel("Keyboard Up Arrow"), "UP");
}

// The key-binding screen lists the 32 player actions, in table order: every action the sample
// binds has its row, save the camera sequence's key, which stays a binding of "settings" only.
TEST(SampleHelp, TheKeyBindingScreenListsThePlayerActions) {
  ASSERT_EQ(kMenuKeysActions, 32);
  for (int row = 0; row < kMenuKeysActions; row++)
    EXPECT_STREQ(Menu_InputKeysActionName(row), PlayerActionTable[row].name) << row;
  EXPECT_STREQ(Menu_InputKeysActionName(kMenuKeysActions), "");
  for (const auto& [var, action] : Tool_DefaultBindings()) {
    if (Input_SameName(action.c_str(), kCameraSequenceCommand)) continue;
    int row = 0;
    while (row < kMenuKeysActions && !Input_SameName(Menu_InputKeysActionName(row), action.c_str())) row++;
    EXPECT_LT(row, kMenuKeysActions) << action;
  }
}

}  // namespace
