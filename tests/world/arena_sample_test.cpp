// The sample game's network content read back from the archive make_sample builds: the arena's
// starts, pickups and capture-the-flag objects as a server loads them, the body's detail models
// in both team colours with its muzzle flash, and the run cycle's root travel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "characters/person.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "support/test_support.h"
#include "tools/arena_assets.h"
#include "tools/character_assets.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/object.h"
#include "world/start.h"

namespace {

GameObject* Named(const char* name) {
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if ((o->flags & OBJ_ACTIVE) && std::strcmp(o->person.name, name) == 0) return o;
  return nullptr;
}

TEST(ArenaSample, TheArenaAndTheNetworkBodyLoadFromTheSample) {
  tw_test::TempDir dir;
  ASSERT_TRUE(tw_test::MakeSampleGame(dir.Path()));
  Log_Open();
  File_Init();
  Model_Init(1);
  for (const char* suffix : {"", "r", "b"})
    for (int level = 0; level < 4; level++) {
      std::string name = "anim\\jaxtorvin\\jaxtorvin_" + std::to_string(level) + suffix;
      EXPECT_NE(Model_Get(name.c_str()), nullptr) << name;
    }
  EXPECT_NE(Model_Get("anim\\jaxtorvin\\jaxtorvin_fire"), nullptr);
  for (const char* name : {"anim\\items\\ctf\\basered", "anim\\items\\ctf\\baseblu", "anim\\items\\ctf\\flagred",
                           "anim\\items\\ctf\\flagblu"})
    EXPECT_NE(Model_Get(name), nullptr) << name;
  EXPECT_NE(Anim_Get("anim\\jaxtorvin\\jaxtorvin_dead"), nullptr);
  const Animation* run = Anim_Get("anim\\jaxtorvin\\jaxtorvin_run");
  ASSERT_NE(run, nullptr);
  float first[3], last[3];
  Anim_GetKeyPosition(run, 0, 0, first);
  Anim_GetKeyPosition(run, 0, run->lastFrame, last);
  EXPECT_FLOAT_EQ(last[1] - first[1], kSampleRunCycleLength);
  EXPECT_FLOAT_EQ(last[0] - first[0], 0.0f);

  // A capture-the-flag server's load of the arena.
  GameVars_Init(1);
  Game_NetMode = 1;
  Game_NetGameType = 2;
  ASSERT_EQ(Level_Load(kSampleArenaName), 1);
  EXPECT_STREQ(Level_Name, kSampleArenaName);
  const SampleArenaPlaces& a = kSampleArena;
  EXPECT_EQ(Level_PlayerStart.origin.x, a.playerStart.x);
  ASSERT_EQ(Level_DmStartCount, 4);
  int facing = 0, teams = 0;
  for (int i = 0; i < 4; i++) {
    const DeathmatchStart& s = Level_DmStarts[i];
    // South starts face +y (yaw 0), north ones -y (yaw 180 degrees).
    facing += (s.origin.y < 0 && std::abs(s.angles.x) < 0.01f) ||
              (s.origin.y > 0 && std::abs(s.angles.x - 3.14159f) < 0.01f);
    teams += s.team != 0;
  }
  EXPECT_EQ(facing, 4);
  EXPECT_EQ(teams, 2);
  EXPECT_EQ(Level_PickupCount, 7);  // "#0".."#3" and the weapon crates "#8".."#10"
  struct {
    const char* name;
    int role, team;
  } ctf[] = {{"#4", CTF_BASE, 0}, {"#5", CTF_FLAG, 0}, {"#6", CTF_BASE, 1}, {"#7", CTF_FLAG, 1}};
  for (const auto& c : ctf) {
    GameObject* o = Named(c.name);
    ASSERT_NE(o, nullptr) << c.name;
    EXPECT_EQ(o->person.ctfRole, c.role) << c.name;
    EXPECT_EQ(o->person.team, c.team) << c.name;
  }
  // The server's own player stands on one of the deathmatch starts.
  ASSERT_NE(Obj_Player, nullptr);
  EXPECT_EQ(std::abs(Obj_Player->origin.x), a.north.x);
  EXPECT_EQ(std::abs(Obj_Player->origin.y), a.north.y);
  Level_Free();
  Game_NetMode = Game_NetGameType = 0;
  Model_Reset();
  File_Shutdown();
  Log_Close();
}

}  // namespace
