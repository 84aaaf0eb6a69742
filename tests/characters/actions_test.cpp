// The player's action table: the command list it makes and the command-word bits of its handlers.
#include <gtest/gtest.h>

#include "characters/actions.h"
#include "foundation/sys.h"
#include "world/game.h"
#include "world/gamevars.h"

namespace {

TEST(PlayerActions, StageOneLinksTheTableOnceLastRowFirst) {
  for (int pass = 0; pass < 2; pass++) {  // a second stage 1 starts the list afresh, no loop
    GameVars_Init(1);
    int i = kPlayerActionCount - 1;
    for (InputCommand* c = Input_FirstCommand(); c && i >= -1; c = c->next, i--) EXPECT_EQ(c, &PlayerActionTable[i]);
    EXPECT_EQ(i, -1);
  }
}

TEST(PlayerActions, HandlersSetAndClearTheirOwnBitAndPolledActionsNone) {
  uint32_t seen = 0;
  int polled = 0;
  for (int i = 0; i < kPlayerActionCount; i++) {
    const InputCommand& a = PlayerActionTable[i];
    ASSERT_TRUE(a.press && a.release) << a.name;
    Player_CommandWord = 0;
    a.press();
    uint32_t bit = Player_CommandWord;
    if (bit == 0) {
      EXPECT_EQ(a.press, &Sys_NoOp) << a.name;
      polled++;
      continue;
    }
    EXPECT_EQ(bit & (bit - 1), 0u) << a.name;    // one bit
    EXPECT_EQ(seen & bit, 0u) << a.name;         // its own bit
    EXPECT_EQ(bit & 0xC0000000u, 0u) << a.name;  // the demo bits stay free
    seen |= bit;
    Player_CommandWord = 0xFFFFFFFFu;
    a.release();
    EXPECT_EQ(Player_CommandWord, ~bit) << a.name;
  }
  EXPECT_EQ(polled, 8);  // Prev Weapon and the screens: read by polling
  Player_CommandWord = 0;
  PlayerActionTable[31].press();  // the bits are the demos' and the saves': fixed
  EXPECT_EQ(Player_CommandWord, 1u << 21);
}

}  // namespace
