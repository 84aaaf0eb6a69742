// The frame's step rules and the tick: classification, the cell grid, the lists.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "foundation/random.h"
#include "tools/save_maker.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/personage.h"
#include "world/save.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;
using StepRules = WorldTest;
using TickTest = WorldTest;

TEST_F(StepRules, FirstRuleThatAppliesGivesTheStep) {
  struct Row {
    const char* what;
    uint32_t running, menu, paused;
    int32_t net, settle;
    uint32_t demo, special;
    float drawAvi, scale;
    double delta;
    float wantStep;
    double wantDelta;
  };
  const float k24 = float(1.0 / 24);
  const Row rows[] = {
      {"no game", 0, 0, 0, 0, 0, 0, 0, 0, 1, 0.5, 0, 0.5},
      {"capped", 1, 0, 0, 0, 0, 0, 0, 0, 1, 0.5, 0.1f, 0.5},
      {"network: raw", 1, 0, 0, 1, 0, 0, 0, 0, 0.5f, 0.5, 0.5f, 0.5},
      {"network wins over settle", 1, 0, 0, 2, 3, 0, 0, 0, 1, 0.25, 0.25f, 0.25},
      {"menu", 1, 1, 0, 0, 0, 0, 0, 0, 1, 0.05, 0, 0.05},
      {"pause after a load", 1, 0, 1, 0, 2, 0, 0, 0, 1, 0.05, 0, 0},
      {"settling", 1, 0, 0, 0, 5, 0, 0, 0, 1, 0.05, 0, 0},
      {"capture scaled", 1, 0, 0, 0, 0, DEMO_CAPTURE, 0, 0, 0.5f, 0.001, float(0.5 / 24), 1.0 / 24},
      {"camera sequence with drawavi", 1, 0, 0, 0, 0, 0, 1, 1, 1, 0.3, k24, 1.0 / 24},
      {"camera sequence without drawavi", 1, 0, 0, 0, 0, 0, 1, 0, 1, 0.3, 0.1f, 0.3},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Game_Running = r.running;
    Game_MenuOpen = r.menu;
    Game_Paused = r.paused;
    Game_NetMode = r.net;
    Game_SettleFrames = r.settle;
    Game_DemoFlags = r.demo;
    Game_SpecialFlag = r.special;
    Var_SetValue(&render_drawavi, r.drawAvi);
    TimeScale = r.scale;
    Timer_FrameDelta = r.delta;
    EXPECT_EQ(Game_ComputeStep(), r.wantStep);
    EXPECT_EQ(Timer_FrameDelta, r.wantDelta);
  }
  Var_SetValue(&render_drawavi, 0);
}

int g_thinks, g_animates;
void CountThink(GameObject*) { g_thinks++; }
void CountAnimate(GameObject*) { g_animates++; }

struct FrameCounter {
  static inline int ticks;
  static void Hook(const char* step) {
    if (std::strcmp(step, "Game_Tick") == 0) ticks++;
  }
};

TEST_F(StepRules, OneTickAFrameAndFullScreenModesTakeTheirEntryWithoutATick) {
  StartGame();
  FrameCounter::ticks = 0;
  Game_FrameTraceHook = FrameCounter::Hook;
  for (int i = 0; i < 3; i++) Game_Frame();
  EXPECT_EQ(FrameCounter::ticks, 3);
  EXPECT_EQ(Game_RingRead, 3);
  Game_FullScreenMode = FULLSCREEN_MINIGAME;
  Game_Frame();
  EXPECT_EQ(FrameCounter::ticks, 3);
  EXPECT_EQ(Game_RingRead, Game_RingWrite);  // the mode's input clears the player's ring
  // Five frames after a load the steps are zero, then the settle counter has run out.
  Game_FullScreenMode = FULLSCREEN_NONE;
  Game_SettleFrames = kSettleFrames;
  for (int i = 0; i < kSettleFrames; i++) Game_Frame();
  EXPECT_EQ(Game_SettleFrames, 0);
  Game_FrameTraceHook = nullptr;
}

TEST_F(TickTest, FarCharactersAreDroppedFrozenOrKeptThinkingAndACellOverflowsOnce) {
  StartGame();
  GameObject* crowd = Spawn(NPC, 3000, 0);
  uint32_t crowdId = crowd->id;
  GameObject* named = Spawn(NPC, 0, 3000, "Mara");
  GameObject* keeper = Spawn(NPC, -3000, 0, "Oswin");
  keeper->flags |= OBJ_FAR_THINK;
  static int body;
  named->physicsBody = reinterpret_cast<PhysicsBody*>(&body);
  for (GameObject* o : {named, keeper}) {
    o->slots.Think = CountThink;
    o->slots.Animate = CountAnimate;
  }
  g_thinks = g_animates = 0;
  Game_TickFrame.step = 0.05f;
  Game_Tick();
  EXPECT_FALSE(crowd->flags & OBJ_ACTIVE);  // queued in the tick that finds it far
  EXPECT_EQ(Obj_Count(), 4);
  EXPECT_EQ(g_thinks + g_animates, 2);  // the keeper only
  EXPECT_EQ(named->bodyReleased, 1);  // frozen
  Game_Tick();  // released in the next tick's flush
  EXPECT_EQ(Obj_Count(), 3);
  EXPECT_EQ(Obj_FindById(crowdId), nullptr);
  // Under the ThornHelm name a named far character with a body is dropped too.
  Var_SetText(&game_name, "ThornHelm");
  GameObject* far = Spawn(NPC, 0, 3000, "Edda");
  far->physicsBody = reinterpret_cast<PhysicsBody*>(&body);
  Game_Tick();
  EXPECT_FALSE(far->flags & OBJ_ACTIVE);
  Var_SetText(&game_name, "");
  // The sixty-third character of a cell overflows it, once.
  for (int i = 0; i < kGridCellObjects; i++) Spawn(NPC, 200, 200);
  Game_Tick();
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "clip_ceil overflow\n"), 0);
  Spawn(NPC, 200, 200);
  Game_Tick();
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "clip_ceil overflow\n"), 1);
  GameObject* found[128];
  vec3 lo{190, 190, 0}, hi{210, 210, 0};
  EXPECT_EQ(Tick_GridCollect(&lo, &hi, found, 128), kGridCellObjects);
  EXPECT_EQ(Tick_IdleUnnamedNear, kGridCellObjects + 1);
}

TEST_F(TickTest, ListsGrowPastTheirSizeAndAFlushLeavesNoFreedPointer) {
  StartGame();
  for (int i = 0; i < kTickListSize + 100; i++) Spawn(WORLD, 10, 10);
  GameObject* npc = Spawn(NPC, 100, 100);
  npc->npcControl = 12;
  Game_Tick();
  EXPECT_EQ(Tick_TraceList.count, kTickListSize + 100);
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "the lists grow"), 1);
  Obj_RequestDelete(npc);
  Obj_FlushDeleted();
  EXPECT_EQ(Tick_NearList.count + Tick_TraceList.count, 0);
  GameObject* found[4];
  vec3 lo{90, 90, 0}, hi{110, 110, 0};
  EXPECT_EQ(Tick_GridCollect(&lo, &hi, found, 4), 0);
}

TEST_F(TickTest, CameraSequenceStopsCharactersAndNoTickWithoutPlayer) {
  GameObject* npc = Spawn(NPC, 10, 10);
  npc->slots.Think = CountThink;
  g_thinks = 0;
  Game_Running = 1;
  Game_TickFrame.step = 0.05f;
  Game_Tick();  // no player: only the clock moves
  EXPECT_EQ(g_thinks, 0);
  EXPECT_FLOAT_EQ(float(Game_Time), 0.05f);
  StartGame();
  Game_SpecialFlag = 1;
  Game_Tick();
  EXPECT_EQ(g_thinks, 0);
  Game_SpecialFlag = 0;
  Game_Tick();
  EXPECT_EQ(g_thinks, 1);
}

// Play keeps every place and speed within the box a saved game may hold: the hero falling past its
// edge (from a place just inside, or at a speed just inside) stops there, any other object beyond
// it is released, and the game saved after that loads.
TEST_F(TickTest, PlayKeepsPlacesAndSpeedsWithinTheBoxASavedGameMayHold) {
  Math_RandInit();
  ASSERT_TRUE(Tool_WriteSmallLevel());
  Tool_MakeSmallGame(0);
  GameObject* hero = Obj_Player;
  ASSERT_NE(hero, nullptr);
  auto within = [](const float* v) {
    for (int i = 0; i < 3; i++)
      if (!(std::fabs(v[i]) <= kObjWorldLimit)) return false;
    return true;
  };
  struct Start {
    float z, speed;
  };
  for (const Start& start : {Start{-99999000.0f, 0.0f}, Start{-99999000.0f, -9.9e7f}}) {
    hero->origin = hero->prevOrigin = vec3{100, 50, start.z};
    hero->person.velocity[0] = hero->person.velocity[1] = 0;
    hero->person.velocity[2] = start.speed;
    for (int t = 0; t < 40; t++) {  // four seconds
      Game_TickFrame = DemoFrame{0.1f, 0, 0, 0};
      Game_Tick();
    }
    ASSERT_EQ(Obj_Player, hero);
    EXPECT_EQ(hero->origin.z, -kObjWorldLimit) << start.z;
    for (const float* v : {&hero->origin.x, &hero->prevOrigin.x, &hero->camera.origin.x, &hero->camera.prevOrigin.x,
                           hero->person.eye, hero->person.velocity})
      EXPECT_TRUE(within(v)) << start.z << ": " << v[0] << " " << v[1] << " " << v[2];
  }
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "Obj_KeepInWorld: the hero reached the world's edge"), 1);
  // Another object carried past the edge is released at the tick's end; the hero never is.
  GameObject* other = Obj_ListHead;
  while (other && (other->classNum == MACHINEPLAYER || other->classNum == NETPLAYER)) other = other->next;
  ASSERT_NE(other, nullptr);
  const uint32_t otherId = other->id;
  const int count = Obj_Count();
  other->origin = vec3{0, 2e8f, 0};
  Game_TickFrame = DemoFrame{0.1f, 0, 0, 0};
  Game_Tick();
  EXPECT_EQ(Obj_FindById(otherId), nullptr);
  EXPECT_EQ(Obj_Count(), count - 1);
  EXPECT_EQ(Obj_Player, hero);
  EXPECT_NE(Log().find("Obj_KeepInWorld: object " + std::to_string(otherId)), std::string::npos);
  // What play left loads.
  ASSERT_EQ(Save("edge"), 1);
  EXPECT_EQ(Save_LoadSlot("edge"), 1) << Log();
  Level_EmitterCount = Game_PersonageCount = 0;
}

}  // namespace
