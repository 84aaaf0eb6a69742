// The player's action table: names, order in the command list, and the command-word bits.
#include <gtest/gtest.h>

#include <string>

#include "characters/actions.h"
#include "foundation/sys.h"
#include "world/game.h"

namespace {

const char* const kNames[kPlayerActionCount] = {
    "Forward", "Back", "Left", "Right", "Strafe Left", "Strafe Right", "Jump", "Crouch",
    "Fire", "Next Weapon", "Prev Weapon", "Snipe", "Hold Weapon", "Reload Weapon", "Use", "Thievery",
    "E-Shop", "Inventory", "Stats", "PowerUps", "Quests", "QuickSave", "QuickLoad", "FirstAid",
    "Stealth", "Galahaste", "Next Skill", "Prev Skill", "Use Skill", "Map", "Decel", "Leave Car",
};

bool Polled(const std::string& name) {
  for (const char* n : {"Prev Weapon", "E-Shop", "Inventory", "Stats", "PowerUps", "Quests", "QuickSave", "QuickLoad"})
    if (name == n) return true;
  return false;
}

TEST(PlayerActions, NamesInTableOrder) {
  for (int i = 0; i < kPlayerActionCount; i++) EXPECT_STREQ(PlayerActionTable[i].name, kNames[i]) << i;
  EXPECT_FLOAT_EQ(TimeScale, 1.0f);
}

TEST(PlayerActions, StageOneLinksTheTableLastRowFirst) {
  Game_VarsInit(1);
  int i = kPlayerActionCount - 1;
  for (InputCommand* c = Input_FirstCommand(); c; c = c->next, i--) {
    ASSERT_GE(i, 0);
    EXPECT_EQ(c, &PlayerActionTable[i]);
  }
  EXPECT_EQ(i, -1);
  // A second stage 1 starts the list afresh rather than looping it.
  Game_VarsInit(1);
  int n = 0;
  for (InputCommand* c = Input_FirstCommand(); c && n < 100; c = c->next) n++;
  EXPECT_EQ(n, kPlayerActionCount);
}

TEST(PlayerActions, HandlersSetAndClearOneBitEach) {
  uint32_t seen = 0;
  for (int i = 0; i < kPlayerActionCount; i++) {
    const InputCommand& a = PlayerActionTable[i];
    ASSERT_NE(a.press, nullptr);
    ASSERT_NE(a.release, nullptr);
    Player_CommandWord = 0;
    a.press();
    uint32_t bit = Player_CommandWord;
    if (Polled(a.name)) {
      EXPECT_EQ(bit, 0u) << a.name;
      EXPECT_EQ(a.press, &Sys_NoOp);
      continue;
    }
    ASSERT_NE(bit, 0u) << a.name;
    EXPECT_EQ(bit & (bit - 1), 0u) << a.name;  // one bit
    EXPECT_EQ(seen & bit, 0u) << a.name;       // its own bit
    EXPECT_EQ(bit & 0xC0000000u, 0u) << a.name;  // the demo bits stay free
    seen |= bit;
    Player_CommandWord = 0xFFFFFFFFu;
    a.release();
    EXPECT_EQ(Player_CommandWord, ~bit) << a.name;
  }
  EXPECT_EQ(uint32_t(CMD_USE), 1u << 14);
  EXPECT_EQ(uint32_t(CMD_LEAVE_CAR), 1u << 21);
  Player_CommandWord = 0;
  PlayerActionTable[14].press();
  EXPECT_EQ(Player_CommandWord, uint32_t(CMD_USE));
  PlayerActionTable[31].press();
  EXPECT_EQ(Player_CommandWord, uint32_t(CMD_USE | CMD_LEAVE_CAR));
}

}  // namespace
