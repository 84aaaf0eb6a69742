// A clean world for each test: no objects, no modes, zero clocks, the log in a private folder.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "characters/defs.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "scene/model.h"
#include "foundation/timer.h"
#include "support/test_support.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"
#include "world/tick.h"

namespace tw_test {

inline void World_Reset() {
  Obj_ClearAll();
  Game_Running = Game_MenuOpen = Game_PanelOpen = Game_Paused = 0;
  Game_FullScreenMode = FULLSCREEN_NONE;
  Game_NetMode = 0;
  Game_DemoFlags = 0;
  Game_SpecialFlag = 0;
  Game_SettleFrames = 0;
  Game_Accumulator = 0;
  Game_Time = Game_Step = 0;
  Game_RingRead = Game_RingWrite = 0;
  Game_CurrentFrame = Game_TickFrame = DemoFrame{};
  Game_TickCount = 0;
  Tick_AiStarted = 0;
  TimeScale = 1.0f;
  Timer_FrameDelta = 0;
}

class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log_Open();
    World_Reset();
  }
  void TearDown() override {
    World_Reset();
    Log_Close();
  }

 public:
  static std::string Log() { return ReadFile("log"); }
  // A bound object of the class at a place, switched on.
  static GameObject* Spawn(int classNum, float x = 0, float y = 0, const char* name = "") {
    GameObject* o = Obj_Alloc();
    o->classNum = classNum;
    Load_ObjectX(o);
    o->flags |= OBJ_ACTIVE;
    o->origin = vec3{x, y, 0};
    o->mins = vec3{-16, -16, 0};
    o->maxs = vec3{16, 16, 64};
    std::snprintf(o->person.name, sizeof o->person.name, "%s", name);
    return o;
  }
  // Switched on and solid, clipped by the box {minX, minY, minZ, maxX, maxY, maxZ} in both shapes.
  static GameObject* Solid(GameObject* o, const float (&box)[6]) {
    o->person.state = 1;
    o->prop.solid = 1;
    o->hasClipBox = 1;
    std::memcpy(o->clipBox, box, sizeof box);
    std::memcpy(o->clipBox2, box, sizeof box);
    return o;
  }
  // `n` ticks of `step` seconds through the world's own tick, each with `command` held.
  static void Ticks(int n, float step = 0.05f, uint32_t command = 0) {
    for (int i = 0; i < n; i++) {
      Game_TickFrame = DemoFrame{step, 0, 0, command};
      Game_Tick();
    }
  }
  // The player at the origin, a game running.
  static GameObject* StartGame() {
    Game_Running = 1;
    Obj_Player = Spawn(MACHINEPLAYER, 0, 0, "player");
    return Obj_Player;
  }

 protected:
  TempDir dir_;
};

// The sample game made in the test's folder and mounted, with its definitions and model loaders:
// its levels load as in play. The entity reader's trace is dropped.
class SampleWorldTest : public WorldTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeSampleGame(dir_.Path()));
    File_Init();
    WorldTest::SetUp();
    Ent_SetOutput([](const char*, size_t, void*) {}, nullptr);
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    Model_Reset();
    Model_Init(1);
    Math_RandInit();
  }
  void TearDown() override {
    Level_Free();
    Ent_SetOutput(nullptr, nullptr);
    WorldTest::TearDown();
    File_Shutdown();
  }
};

// Little-endian words of saved files.
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = uint8_t(v >> (8 * i));
}

}  // namespace tw_test
