// The sample game's network content read back from the archive make_sample builds: the arena's
// starts, pickups and capture-the-flag objects as a server loads them, the body's detail models
// in both team colours with its muzzle flash, and the run cycle's root travel; and the edges of
// the sample's levels, which hold the hero in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "characters/actions.h"
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
#include "world/tick.h"
#include "world/trace.h"
#include "world_fixture.h"

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
  // Shots meet the arena's ground: its "shot" model is the level too.
  Game_TickFrame = DemoFrame{0.05f, 0, 0, 0};
  Game_Tick();
  const vec3 eye{Obj_Player->origin.x, Obj_Player->origin.y, 56}, below{eye.x, eye.y, -200}, zero{0, 0, 0};
  TraceResult shot;
  Obj_Trace(&shot, Obj_Player, &eye, &zero, &zero, &below, 15);
  EXPECT_NEAR(shot.end.z, 0, 0.5f);
  Level_Free();
  Game_NetMode = Game_NetGameType = 0;
  Model_Reset();
  File_Shutdown();
  Log_Close();
}

// On each of the sample's levels the hero, put just inside an edge and facing out, walks and
// jumps straight out for three seconds: the level's own walls hold him inside its box, on its
// ground (the street's pavements stand 8 units up, its road and the rooms' floors at 0).
using SampleLevelEdges = tw_test::SampleWorldTest;

TEST_F(SampleLevelEdges, TheHeroWalkingAndJumpingOutAtAnyEdgeStaysOnTheLevelsGround) {
  struct Edge {
    float x, y, yaw, floor;  // yaw 0 faces +y, a quarter turn +x
  };
  constexpr float kQuarter = 1.5707963f;
  struct {
    const char* level;
    float half[2];  // the level's box, |x| and |y|
    std::vector<Edge> edges;
  } levels[] = {
      // The block: the south edge past the last house, the road's ends and the corners' pavements.
      {"street", {2560, 2560},
       {{2280, -2520, 2 * kQuarter, 8}, {-2280, -2520, 2 * kQuarter, 8}, {2280, 2520, 0, 8}, {-2280, 2520, 0, 8},
        {2520, 0, kQuarter, 0}, {2520, -2280, kQuarter, 8}, {-2520, 0, -kQuarter, 0}, {-2520, 2280, -kQuarter, 8}}},
      {"arena", {2560, 2560},
       {{0, -2520, 2 * kQuarter, 8}, {0, 2520, 0, 8}, {2520, 0, kQuarter, 0}, {-2520, 0, -kQuarter, 0}}},
      {"rooms", {256, 128},
       {{-128, -88, 2 * kQuarter, 0}, {-128, 88, 0, 0}, {216, 60, kQuarter, 0}, {-216, 60, -kQuarter, 0}}},
  };
  for (const auto& l : levels) {
    ASSERT_EQ(Level_Load(l.level), 1) << l.level;
    GameObject* hero = Obj_Player;
    ASSERT_NE(hero, nullptr);
    for (const Edge& e : l.edges) {
      hero->origin = hero->prevOrigin = vec3{e.x, e.y, e.floor};
      hero->angles = vec3{e.yaw, 0, 0};
      for (float& v : hero->person.velocity) v = 0;
      float lowest = e.floor;
      for (int i = 0; i < 60; i++) {  // 3 s, the jump key pressed every half second
        Ticks(1, 0.05f, CMD_FORWARD | (i % 10 < 5 ? CMD_JUMP : 0));
        lowest = std::min(lowest, hero->origin.z);
        if (std::fabs(hero->origin.x) > l.half[0] || std::fabs(hero->origin.y) > l.half[1] ||
            hero->origin.z < e.floor - 1)
          break;
      }
      Ticks(20);  // down again
      const std::string where = std::string(l.level) + " from " + std::to_string(int(e.x)) + "," +
                                std::to_string(int(e.y));
      EXPECT_LE(std::fabs(hero->origin.x), l.half[0]) << where;
      EXPECT_LE(std::fabs(hero->origin.y), l.half[1]) << where;
      const bool alongX = std::fabs(std::sin(e.yaw)) > 0.5f;
      EXPECT_GT(std::fabs(alongX ? hero->origin.x : hero->origin.y), l.half[alongX ? 0 : 1] - 24)
          << where << ": he walked up to the edge";
      EXPECT_GE(lowest, e.floor - 1) << where;
      EXPECT_NEAR(hero->origin.z, e.floor, 1) << where;
      EXPECT_TRUE(hero->person.onGround) << where;
      // A shot from his eye straight out meets the edge too.
      const vec3 eye{hero->origin.x, hero->origin.y, hero->origin.z + 56}, zero{0, 0, 0},
          far{eye.x + 400 * std::sin(e.yaw), eye.y + 400 * std::cos(e.yaw), eye.z};
      TraceResult shot;
      Obj_Trace(&shot, hero, &eye, &zero, &zero, &far, 15);
      EXPECT_LT(shot.fraction, 1.0f) << where;
      EXPECT_LE(std::fabs(shot.end.x), l.half[0]) << where;
      EXPECT_LE(std::fabs(shot.end.y), l.half[1]) << where;
    }
    Level_Free();
  }
}

}  // namespace
