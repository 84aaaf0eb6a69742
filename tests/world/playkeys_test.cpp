// Keys of play that the frame polls through their bindings: "Prev Weapon" riding one frame's
// command word, and the camera sequence key switching the special flag on and off (single play
// only; a level's release clears it).
#include <gtest/gtest.h>

#include "characters/actions.h"
#include "foundation/var.h"
#include "support/input_fixture.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/object.h"
#include "world/tick.h"

namespace {

constexpr int kKeyZ = 44, kKeyX = 45, kKeyF10 = 68;

class PlayKeys : public tw_test::InputFixture {
 protected:
  void SetUp() override {
    InputFixture::SetUp();
    GameVars_Init(0);
    GameVars_Init(1);
    Game_Running = 1;
    Game_MenuOpen = Game_PanelOpen = 0;
    Game_NetMode = 0;
    Game_SpecialFlag = 0;
    GameObject* p = Obj_Alloc();
    p->classNum = MACHINEPLAYER;
    Load_ObjectX(p);
    p->flags |= OBJ_ACTIVE;
    p->person.state = 1;
    Obj_Player = p;
  }
  void TearDown() override {
    Level_Free();
    Obj_ClearAll();
    Player_CommandWord = 0;
    Game_NetMode = 0;
    InputFixture::TearDown();
  }
  // A binding changed as the settings do it (the frame finds its polled keys again).
  static void Rebind(const char* key, const char* command) { Var_SetText(Var_Find(key), command); }
  // One frame of input; the command word it built.
  static uint32_t Frame() {
    Game_FrameInput();
    return Game_CurrentFrame.command;
  }
};

TEST_F(PlayKeys, PrevWeaponRidesOneFrameOfTheCommandWordNextWeaponWhileHeld) {
  Rebind("Keyboard Z", "Prev Weapon");
  Rebind("Keyboard X", "Next Weapon");
  Queue(kKeyZ, true);
  EXPECT_TRUE(Frame() & CMD_PREV_WEAPON);
  EXPECT_FALSE(Frame() & CMD_PREV_WEAPON) << "a held key is one press";
  Queue(kKeyZ, false);
  EXPECT_FALSE(Frame() & CMD_PREV_WEAPON);
  Queue(kKeyX, true);
  EXPECT_TRUE(Frame() & CMD_NEXT_WEAPON);
  EXPECT_TRUE(Frame() & CMD_NEXT_WEAPON);
  Queue(kKeyX, false);
  EXPECT_FALSE(Frame() & (CMD_NEXT_WEAPON | CMD_PREV_WEAPON));
  // Unbound, the key does nothing.
  Rebind("Keyboard Z", "");
  Queue(kKeyZ, true);
  EXPECT_FALSE(Frame() & CMD_PREV_WEAPON);
  Queue(kKeyZ, false);
  Frame();
}

TEST_F(PlayKeys, TheCameraSequenceKeySetsTheSpecialFlagUntilPressedAgainOrTheLevelGoes) {
  Rebind("Keyboard F10", kCameraSequenceCommand);
  auto press = [this] {
    Queue(kKeyF10, true);
    Frame();
    Queue(kKeyF10, false);
    Frame();
  };
  press();
  EXPECT_EQ(Game_SpecialFlag, 1u);
  press();
  EXPECT_EQ(Game_SpecialFlag, 0u);
  press();
  EXPECT_EQ(Game_SpecialFlag, 1u);
  Level_Free();
  EXPECT_EQ(Game_SpecialFlag, 0u);
  // Not in a network game.
  Game_Running = 1;
  Game_MenuOpen = 0;
  Game_NetMode = 2;
  press();
  EXPECT_EQ(Game_SpecialFlag, 0u);
}

}  // namespace
