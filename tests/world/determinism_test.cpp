// The tick replays: the same world, step records and random table give the same world, however
// the clock behaves, because nothing in the tick reads a clock.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "foundation/random.h"
#include "platform/clock.h"
#include "world/image.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;
using Determinism = WorldTest;

// Think slots that draw random numbers and follow the command word of the tick.
void RandomThink(GameObject* o) {
  float r = Math_RandNext();
  uint32_t command = Game_TickFrame.command;
  o->origin.x += float((r - 0.5f) * Game_Step * ((command & 1) ? 400.0 : 40.0));
  o->origin.y += float((Math_RandNext() - 0.5f) * Game_Step * 40.0);
  o->angles.x += Game_TickFrame.turn;
  o->person.health -= r;
  if ((command & 2) && r < 0.0002f) Obj_RequestDelete(o);
}

bool g_inTick;
std::mt19937_64 g_jumps;
uint64_t g_now;
uint64_t JumpingClock() {
  EXPECT_FALSE(g_inTick) << "the clock was read inside Game_Tick";
  g_now += g_jumps() % 3000000000ull;  // up to three seconds a read, at random
  return g_now;
}

std::vector<uint8_t> RunWorld(uint64_t clockSeed) {
  tw_test::World_Reset();
  Math_RandInit();
  Math_RandSetIndex(0);
  g_jumps.seed(clockSeed);
  PlatClock_SetSource(JumpingClock);
  Timer_Start();
  GameObject* player = WorldTest::StartGame();
  player->slots.Think = RandomThink;
  std::mt19937 layout(11);
  for (int i = 1; i < 500; i++) {
    bool character = i % 10 == 0;
    float x = float(int(layout() % 6000) - 3000), y = float(int(layout() % 6000) - 3000);
    GameObject* o = WorldTest::Spawn(character ? NPC : WORLD, x, y, character && i % 20 == 0 ? "Mara" : "");
    o->slots.Think = RandomThink;
  }
  std::mt19937 input(5);  // the step records: the same in both runs
  for (int t = 0; t < 2000; t++) {
    Timer_UpdateFrame();  // the frame clock jumps between ticks
    Game_TickFrame = DemoFrame{float(input() % 100) / 1000.0f, float(input() % 7) / 100.0f, 0, uint32_t(input() % 4)};
    g_inTick = true;
    Game_Tick();
    g_inTick = false;
  }
  PlatClock_SetSource(nullptr);
  std::vector<uint8_t> images;
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    size_t at = images.size();
    images.resize(at + kObjectImageSize);
    ObjImage_Write(o, images.data() + at);
  }
  return images;
}

TEST_F(Determinism, TwoRunsUnderDifferentClocksLeaveTheSameWorld) {
  std::vector<uint8_t> first = RunWorld(1);
  std::vector<uint8_t> second = RunWorld(2);
  EXPECT_GT(first.size(), 100u * kObjectImageSize);
  EXPECT_LT(first.size(), 500u * kObjectImageSize);  // some objects were released on the way
  EXPECT_TRUE(first == second);
}

}  // namespace
