// A shot's looping flight sound on the loopback output device: every way a flight ends (fuse,
// proximity, impact, physics body, lifetime) leaves no voice behind.
#include <gtest/gtest.h>

#include <cstdio>

#include "characters/defs.h"
#include "foundation/sound.h"
#include "foundation/sound_ds.h"
#include "foundation/var.h"
#include "physics/physics.h"
#include "platform/audio_openal.h"
#include "tools/sound_files.h"
#include "world/projectile.h"
#include "world_fixture.h"

namespace {

class ShotSound : public tw_test::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Audio_UseLoopback(1);
    for (int stage : {0, 1}) DSInit(stage), Sound_Init(stage);
    if (!DS_IsUp()) GTEST_SKIP() << "no loopback output device";
    ASSERT_TRUE(Tool_WriteBytes("fly.wav", Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 22050, 200, 0.3))));
  }
  void TearDown() override {
    Obj_ClearAll();
    Def_Weapons[0] = WeaponDef{};
    Physics_BodyCount = 0;
    Sound_Shutdown();
    DS_Shutdown();
    Audio_UseLoopback(0);
    Var_ResetTable();
    WorldTest::TearDown();
  }
};

TEST_F(ShotSound, EveryEndOfFlightStopsTheFlightSound) {
  struct Case {
    const char* end;
    int kind;
    float fuse, lifetime, sensor, speed;
    int obstacle;  // 0 none, 1 a wall, 2 a character near, 3 a physics body
  } cases[] = {
      {"fuse", 4, 0.5f, 0, 0, 0, 0},       {"proximity", 4, 100, 0, 100, 0, 2}, {"impact", 5, 100, 0, 0, 400, 1},
      {"physics body", 5, 100, 0, 0, 400, 3}, {"lifetime", 4, 100, 0.5f, 0, 0, 0},
  };
  GameObject* player = StartGame();
  player->origin = vec3{0, -400, 0};  // the tick lists what is near the player
  for (const Case& c : cases) {
    WeaponDef& w = Def_Weapons[0];
    w = WeaponDef{};
    w.kind = c.kind;
    w.bulletExplodTime = c.fuse;
    w.bulletLifetime = c.lifetime;
    w.sensorDist = c.sensor;
    w.removeTime = 10;
    w.physics = 5000;
    std::snprintf(w.flySound, sizeof w.flySound, "fly");
    for (int b = 0; b < kPhysicsBodies; b++) Physics_Bodies[b].used = 0;
    Physics_BodyCount = 0;
    if (c.obstacle == 1) Solid(Spawn(WORLD, 0, 200), {-16, -16, -16, 16, 16, 16});
    if (c.obstacle == 2) Spawn(NPC, 50, 0)->person.state = 1;
    if (c.obstacle == 3) {
      vec3 half{2, 2, 2};
      ASSERT_GE(Physics_AddBody(Spawn(WORLD, 0, 200), &half, 0), 0);
    }
    vec3 from{0, 0, 0}, velocity{0, c.speed, 0}, angles{0, 0, 0};
    GameObject* s = Pulka_Spawn("shot", nullptr, 0, "", player->id, &from, 0, &velocity, &angles, 0);
    ASSERT_NE(s, nullptr) << c.end;
    const uint32_t voice = s->prop.soundHandle;
    ASSERT_NE(Sound_CheckHandle(voice), 0u) << c.end;
    for (int i = 0; i < 30 && s->person.state == 1; i++) {
      Game_TickFrame = DemoFrame{};
      Game_Tick();
      Game_Step = 0.1;
      Game_Time += 0.1;
      Pulka_Think(s);
      Sound_Update();
    }
    EXPECT_NE(s->person.state, 1) << c.end;
    EXPECT_EQ(Sound_CheckHandle(voice), 0u) << c.end << ": the flight sound plays on";
    for (GameObject* o = Obj_ListHead; o; o = o->next)
      if (o != player) Obj_RequestDelete(o);
    Obj_FlushDeleted();
  }
}

}  // namespace
