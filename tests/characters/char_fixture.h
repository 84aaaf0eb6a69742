// Characters on a generated level: a floor, a wall, a 16- and a 32-unit step, a high ledge, and
// the definition files of the sample game.
#pragma once
#include <gtest/gtest.h>


#include "characters/defs.h"
#include "characters/person.h"
#include "characters/player.h"
#include "foundation/file.h"
#include "foundation/var.h"
#include "scene/model.h"
#include "tools/def_writer.h"
#include "tools/model_writer.h"
#include "world/gamevars.h"
#include "world/world_fixture.h"

namespace tw_test {

// Lanes along +Y (the player's forward at yaw 0): the wall ends lane x = 0 at y = 600; the
// 16-unit step stands across lane x = 300 from y = 100, the 32-unit one across lane x = 600;
// the ledge (200 high) covers x -600..-400.
inline MayToolLevel CharTestLevel() {
  MayToolLevel level;
  MayToolShader shader;
  shader.name = "concrete";
  level.shaders.push_back(shader);
  level.objects.push_back(MayToolObject{"ground_1"});
  MayTool_Box(level, 0, 0, {-2000, -2000, -16}, {2000, 2000, 0});
  MayTool_Box(level, 0, 0, {-100, 600, 0}, {100, 640, 200});
  MayTool_Box(level, 0, 0, {200, 100, 0}, {400, 300, 16});
  MayTool_Box(level, 0, 0, {500, 100, 0}, {700, 300, 32});
  MayTool_Box(level, 0, 0, {-600, -200, 0}, {-400, 200, 200});
  MayTool_GroupSets(level);
  return level;
}

class CharTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    TextFile_Flush();
    GameVars_Init(0);
    for (const auto& [file, text] : Tool_SampleDefFiles()) WriteFile("scripts/" + file, text);
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    Model_Reset();
    Model_AddLoader(mayb_CreateModel);
  }
  void TearDown() override {
    Obj_ClearAll();
    Model_Reset();
    TextFile_Flush();
    WorldTest::TearDown();
  }

 public:
  // The generated level as a solid world object.
  static GameObject* LoadLevel() {
    WriteBytes("charlevel.may", MayTool_Write(CharTestLevel()));
    WriteFile("charlevel.hmp", MayTool_HmpText(64, 8));
    GameObject* w = Spawn(WORLD);
    w->clipModel = Model_Get("charlevel");
    w->mins = w->maxs = vec3{0, 0, 0};
    w->prop.solid = 1;  // blocks, as a level's "blocked" word makes it
    w->person.state = 1;
    EXPECT_NE(w->clipModel, nullptr);
    return w;
  }
  // The player standing at a place, a game running.
  static GameObject* PlacePlayer(float x, float y, float z = 0) {
    GameObject* p = StartGame();
    p->origin = vec3{x, y, z};
    return p;
  }
  // Runs whole ticks of `seconds` at `step` with a command word.
  static void Run(float seconds, uint32_t command, float step = 0.01f) {
    int ticks = int(seconds / step + 0.5f);
    for (int i = 0; i < ticks; i++) {
      Game_TickFrame = DemoFrame{step, 0, 0, command};
      Game_Tick();
    }
  }
  static void SetVar(const char* name, float value) { Var_SetValue(Var_Find(name), value); }
};

}  // namespace tw_test
