// The player on a generated level: running, walls, steps, jumps, falls, turns, the camera, use
// targets, damage and death; the frame's command record; the action table's command list and
// command-word bits.
#include <gtest/gtest.h>

#include <cmath>

#include "char_fixture.h"
#include "characters/actions.h"
#include "characters/inventory.h"
#include "foundation/input.h"
#include "foundation/sys.h"
#include "world/gamevars.h"

namespace {

using tw_test::CharTest;
using PlayerMove = CharTest;

float HorizontalSpeed(const GameObject* p) { return std::hypot(p->person.velocity[0], p->person.velocity[1]); }

TEST_F(PlayerMove, RunsStopsAtTheWallClimbsAStepAndJumpsAndFalls) {
  LoadLevel();
  GameObject* p = PlacePlayer(0, 0);
  Run(1.0f, CMD_FORWARD);
  // Always running: 200 x 2 capped at sv_maxspeed 320, reached within a tenth of a second.
  EXPECT_NEAR(HorizontalSpeed(p), 320.0f, 0.5f);
  Run(2.0f, CMD_FORWARD);
  EXPECT_NEAR(p->origin.y, 600.0f - 16.0f, 0.5f);
  // Walking (no run key): 200.
  SetVar("cl_alwaysrun", 0);
  p->origin = vec3{1500, 0, 0};
  Run(1.0f, CMD_FORWARD);
  EXPECT_NEAR(HorizontalSpeed(p), 200.0f, 0.5f);
  // Crouched: half speed and the box top at 40.
  SetVar("cl_alwaysrun", 1);
  Run(1.0f, CMD_FORWARD | CMD_CROUCH);
  EXPECT_NEAR(HorizontalSpeed(p), 160.0f, 0.5f);
  EXPECT_FLOAT_EQ(p->maxs.z, 40.0f);
  Run(0.1f, 0);
  EXPECT_FLOAT_EQ(p->maxs.z, 64.0f);
  // A new player climbs a 16-unit step but not a 32-unit one.
  p = PlacePlayer(300, 0);
  Run(0.6f, CMD_FORWARD);
  EXPECT_NEAR(p->origin.z, 16.0f, 0.05f);
  EXPECT_GT(p->origin.y, 100.0f);
  p->origin = vec3{600, 0, 0};
  Run(0.6f, CMD_FORWARD);
  EXPECT_NEAR(p->origin.z, 0.0f, 0.05f);
  EXPECT_NEAR(p->origin.y, 100.0f - 16.0f, 0.5f);
  // Another jumps to the apex of its speed and falls at gravity.
  p = PlacePlayer(0, -500);
  Run(0.05f, 0);
  float apex = 0;
  for (int i = 0; i < 101; i++) {
    Game_TickFrame = DemoFrame{0.01f, 0, 0, CMD_JUMP};  // held: no second jump on landing
    Game_Tick();
    apex = std::fmax(apex, p->origin.z);
  }
  EXPECT_NEAR(apex, 270.0f * 270.0f / 1600.0f, 1.0f);
  EXPECT_NEAR(p->origin.z, 0.0f, 0.05f);  // at the trace's margin above the floor
  EXPECT_EQ(p->person.onGround, 1);

  // Off the ground: z falls by g t^2 / 2.
  p->origin = vec3{1500, 1500, 500};
  p->person.velocity[0] = p->person.velocity[1] = p->person.velocity[2] = 0;
  Run(0.5f, 0);
  EXPECT_NEAR(p->origin.z, 500.0f - 0.5f * 800.0f * 0.25f, 0.05f);
}

TEST_F(PlayerMove, TurnsAtTheRotateSpeedAndFollowsTheMouseAndTheCommandRecord) {
  GameObject* p = PlacePlayer(0, 0);
  Run(1.0f, CMD_LEFT);
  EXPECT_NEAR(p->angles.x, -2.4434609f, 1e-4f);
  Run(1.0f, CMD_RIGHT);
  EXPECT_NEAR(p->angles.x, 0.0f, 1e-4f);
  Game_TickFrame = DemoFrame{0.01f, 0.25f, -0.5f, 0};
  Game_Tick();
  EXPECT_FLOAT_EQ(p->angles.x, 0.25f);
  EXPECT_FLOAT_EQ(p->angles.y, -0.5f);
  // A yaw of any size (a damaged save, a wild turn) comes back within one turn and turns again;
  // the view stays a finite place.
  for (float yaw : {1e30f, -1e30f, 3e38f, 7.0f * kMathPi}) {
    p->angles.x = yaw;
    for (float turn : {3e38f, -3e38f, 0.0f}) {
      Game_TickFrame = DemoFrame{0.01f, turn, turn, 0};
      Game_Tick();
      EXPECT_LE(std::fabs(p->angles.x), kMathPi) << yaw << " " << turn;
      EXPECT_LE(std::fabs(p->angles.y), 1.4f);
    }
    const float before = p->angles.x;
    Game_TickFrame = DemoFrame{0.01f, 0.25f, 0, 0};
    Game_Tick();
    EXPECT_NEAR(std::remainder(p->angles.x - before, 2 * kMathPi), 0.25f, 1e-5f) << yaw;
    EXPECT_TRUE(std::isfinite(p->camera.origin.x) && std::isfinite(p->camera.origin.y)) << yaw;
    EXPECT_TRUE(std::isfinite(p->origin.x) && std::isfinite(p->origin.y)) << yaw;
  }
  // The frame's command record, and the input cleared.
  Player_CommandWord = CMD_USE | CMD_LEAVE_CAR | CMD_FORWARD | DEMO_CMD_END;
  Input_MouseX = 4;
  Input_MouseY = -8;
  Player_BuildCommand();
  EXPECT_EQ(Game_CurrentFrame.command, CMD_USE | CMD_LEAVE_CAR | CMD_FORWARD);
  Game_RingRead = 3;
  Game_RingWrite = 9;
  Game_Step = 0.02;
  EXPECT_EQ(Player_ClearInput(), 0);
  EXPECT_EQ(Player_CommandWord, 0u);
  EXPECT_EQ(Input_MouseX, 0);
  EXPECT_EQ(Game_RingRead + Game_RingWrite, 0);
  EXPECT_EQ(Game_Step, 0.0);
}

TEST_F(PlayerMove, CameraStaysBehindAndIsPulledInByTheWallAndDamageFlashesAndKills) {
  LoadLevel();
  GameObject* p = PlacePlayer(0, 0);
  // A zero step (paused, settling after a load) places the view too, not left at the origin.
  Game_TickFrame = DemoFrame{0, 0, 0, 0};
  Game_Tick();
  EXPECT_NEAR(p->camera.origin.y, -80.0f, 0.01f);
  Run(0.01f, 0);
  EXPECT_NEAR(p->camera.origin.y, -80.0f, 0.01f);
  p->origin = vec3{0, 560, 0};
  p->angles.x = kMathPi;  // facing -Y: the camera would stand inside the wall
  Run(0.01f, 0);
  EXPECT_LT(p->camera.origin.y, 600.0f - 3.0f);
  EXPECT_GT(p->camera.origin.y, 580.0f);
  // Another player: damage flashes and kills; god mode spares.
  p = PlacePlayer(0, 0);
  EXPECT_FLOAT_EQ(p->person.health, 100.0f);
  p->slots.Damage(p, nullptr, 30, 1, nullptr, 0, 0);
  EXPECT_FLOAT_EQ(p->person.health, 70.0f);
  EXPECT_GT(p->damageFlash, 1.0f);
  Game_GodMode = 1;
  p->slots.Damage(p, nullptr, 500, 1, nullptr, 0, 0);
  Game_GodMode = 0;
  EXPECT_FLOAT_EQ(p->person.health, 70.0f);
  Game_Time = 12.0;
  p->slots.Damage(p, nullptr, 500, 1, nullptr, 0, 0);
  EXPECT_EQ(p->person.state, 2);
  EXPECT_FLOAT_EQ(p->deathTime, 12.0f);
  // Dead: commands are ignored, the death pose stays.
  Run(0.5f, CMD_FORWARD | CMD_LEFT | CMD_JUMP);
  EXPECT_NEAR(p->origin.y, 0.0f, 0.01f);
  EXPECT_FLOAT_EQ(p->angles.x, 0.0f);
  EXPECT_EQ(p->person.anim, ANIM_DEAD);
}

TEST_F(PlayerMove, UseTargetsAreTheFirstCharacterAndUsableObjectAhead) {
  GameObject* p = PlacePlayer(0, 0);
  GameObject* npc = Spawn(NPC, 0, 60, "mara");
  GameObject* far = Spawn(NPC, 0, 300, "far");
  GameObject* door = Spawn(WORLD, 0, 40);
  std::snprintf(door->useScript, sizeof door->useScript, "open_gate");
  for (GameObject* o : {npc, far, door, Spawn(WORLD, 0, 30) /* nearer, not usable */}) o->mins.z = 0, o->maxs.z = 80;
  Run(0.01f, 0);
  EXPECT_EQ(p->useTargetCharacter, npc);
  EXPECT_EQ(p->useTargetObject, door);
  // A freed target is cleared before the next think reads it.
  Obj_RequestDelete(npc);
  Obj_FlushDeleted();
  Game_TickFrame = DemoFrame{0, 0, 0, 0};
  Player_Think(p);
  EXPECT_EQ(p->useTargetCharacter, nullptr);
  EXPECT_EQ(p->useTargetObject, door);
}

// The all-weapons command: every shown weapon once (those carried before too), hidden ones not,
// other pairs kept, full reserves of ammunition kinds 1 to 11, the six skills and the eight body
// values at 100.
TEST_F(PlayerMove, AllWeaponsGivesEveryShownWeaponOnce) {
  Game_GiveAllWeapons();  // no player: nothing
  GameObject* p = PlacePlayer(0, 0);
  const int hidden = 2;
  Def_Weapons[hidden].hidden = 1;
  Inv_AddItem(&p->person, INV_WEAPON, 1);
  Inv_AddItem(&p->person, INV_WEAPON, hidden);
  Inv_AddItem(&p->person, INV_ITEM, 0);
  p->person.ammo[0] = 7;
  p->person.health = 12;
  p->person.maxHealth = 150;
  p->person.energy = 3;
  p->person.maxEnergy = 40;
  for (float& s : p->person.furtherStats) s = 9;
  p->person.experience = 4;
  p->person.level = 2;
  for (float& f : p->person.factors) f = 0.5f;
  Game_GiveAllWeapons();
  Def_Weapons[hidden].hidden = 0;
  int named = 0;
  for (int w = 0; w < kWeaponDefs; w++) {
    int carried = 0;
    for (const InvPair& pair : p->person.items) carried += pair.kind == INV_WEAPON && pair.index == w;
    bool given = Def_Weapons[w].name[0] && w != hidden;
    named += given;
    EXPECT_EQ(carried, given ? 1 : 0) << w;
  }
  EXPECT_GE(named, 5);
  EXPECT_TRUE(Inv_HasItem(&p->person, INV_ITEM, 0));
  EXPECT_EQ(p->person.ammo[0], 7);
  for (int kind = 1; kind < kAmmoKinds; kind++) EXPECT_EQ(p->person.ammo[kind], 200) << kind;
  for (float skill : p->person.skills) EXPECT_FLOAT_EQ(skill, 100.0f);
  for (float v : {p->person.health, p->person.maxHealth, p->person.energy, p->person.maxEnergy,
                  p->person.furtherStats[0], p->person.furtherStats[1], p->person.furtherStats[2]})
    EXPECT_FLOAT_EQ(v, 100.0f);
  EXPECT_EQ(p->person.experience, 100);
  EXPECT_EQ(p->person.level, 2);  // not one of the eight
  EXPECT_FLOAT_EQ(p->person.factors[0], 0.5f);
}

TEST(PlayerActions, StageOneLinksTheTableOnceAndHandlersSetAndClearTheirOwnBit) {
  for (int pass = 0; pass < 2; pass++) {  // a second stage 1 starts the list afresh, no loop
    GameVars_Init(1);
    int i = kPlayerActionCount - 1;
    for (InputCommand* c = Input_FirstCommand(); c && i >= -1; c = c->next, i--) EXPECT_EQ(c, &PlayerActionTable[i]);
    EXPECT_EQ(i, -1);
  }
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
