// The sample street in play: its passers-by over a minute and more of game time (nobody on the
// pavements stands still for good, the crate on the north pavement's only portal included, nor
// when hurt or held against a hero on the pavement; one that appears against a house wall stands
// on the pavement), its traffic, which comes both ways, turns about at the ends and which no prop
// stops for good, and the hero's grenades, which land on the street and hurt whoever stands by.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>

#include "ai/bot.h"
#include "characters/defs.h"
#include "characters/person.h"
#include "foundation/file.h"
#include "foundation/random.h"
#include "scene/model.h"
#include "world/demo.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"
#include "world/population.h"
#include "world/net.h"
#include "world/tick.h"
#include "../world/world_fixture.h"

namespace {

using tw_test::WorldTest;

constexpr float kPavement = 8.0f;  // the pavements' height in the sample street

class SampleStreet : public tw_test::SampleWorldTest {
 protected:
  void SetUp() override {
    SampleWorldTest::SetUp();
    ASSERT_EQ(Level_Load("street"), 1);
    ASSERT_NE(Obj_Player, nullptr);
  }
};

TEST_F(SampleStreet, NoPasserByOnThePavementsStandsStillForTenSecondsInSeventy) {
  GameObject* crate = Person_FindByName("sun_wall");
  ASSERT_NE(crate, nullptr);
  EXPECT_EQ(crate->origin.x, 0) << "the crate stands on the north pavement's portal";
  EXPECT_EQ(crate->origin.y, 700);
  struct Still {
    vec3 anchor;
    double since;
  };
  std::map<uint32_t, Still> still;
  double longest = 0;
  int walkers = 0;
  for (int i = 0; i < 1400; i++) {  // 70 s
    Ticks(1);
    for (int k = 0; k < Tick_NearList.count; k++) {
      GameObject* o = Tick_NearList.items[k];
      if (o->classNum != NPC || o->bot.walk != BOT_WALK_CIVILIAN || o->person.state != 1) continue;
      if (ai_FindAreaAtPoint(ai_CivilianAreas, &o->origin.x, -1) >= 0) {
        ASSERT_NEAR(o->origin.z, kPavement, 0.5f) << o->id << " at " << o->origin.x << "," << o->origin.y;
      }
      auto [it, made] = still.try_emplace(o->id, Still{o->origin, Game_Time});
      walkers += made;
      if (std::hypot(o->origin.x - it->second.anchor.x, o->origin.y - it->second.anchor.y) > 16) {
        it->second = Still{o->origin, Game_Time};
        continue;
      }
      ASSERT_LT(Game_Time - it->second.since, 10.0)
          << "walker " << o->id << " [" << o->person.name << "] stands at " << o->origin.x << "," << o->origin.y;
      longest = std::max(longest, Game_Time - it->second.since);
    }
  }
  EXPECT_GE(walkers, 4) << "the day's passers-by and walker_1";
  EXPECT_LT(longest, 10.0);
}

// Ticks the world `ticks` times, calling `each` after every tick, and returns the longest time
// (seconds) any living character that `pick` chooses stayed within `radius` of one spot.
template <class Pick, class Each>
double LongestStand(int ticks, float radius, Pick pick, Each each) {
  struct Still {
    vec3 anchor;
    double since;
  };
  std::map<uint32_t, Still> still;
  double longest = 0;
  for (int i = 0; i < ticks; i++) {
    WorldTest::Ticks(1);
    each(i);
    for (int k = 0; k < Tick_NearList.count; k++) {
      GameObject* o = Tick_NearList.items[k];
      if (o->classNum != NPC || o->person.state != 1 || !pick(o)) continue;
      auto [it, made] = still.try_emplace(o->id, Still{o->origin, Game_Time});
      if (std::hypot(o->origin.x - it->second.anchor.x, o->origin.y - it->second.anchor.y) > radius) {
        it->second = Still{o->origin, Game_Time};
        continue;
      }
      longest = std::max(longest, Game_Time - it->second.since);
    }
  }
  return longest;
}

// The lanes lie 360 units either side of the road's middle; a car's box reaches 16 units either
// side of its lane. Nothing solid of the street stands there, and the traffic drives on.
TEST_F(SampleStreet, NoPropStandsInALaneAndTheTrafficNeverStopsForGood) {
  Ticks(1);
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (!o->prop.solid || !o->hasClipBox || o->classNum == NPC || o == Obj_Player) continue;
    const float lo = o->origin.y + o->clipBox[1], hi = o->origin.y + o->clipBox[4];
    const float bottom = o->origin.z + o->clipBox[2];
    for (float lane : {-360.0f, 360.0f})
      EXPECT_FALSE(lo < lane + 16 && hi > lane - 16 && bottom < 64)
          << "[" << o->person.name << "] at " << o->origin.x << "," << o->origin.y << " stands in the lane " << lane;
  }
  std::map<uint32_t, float> driven;
  std::map<uint32_t, vec3> last;
  const double longest = LongestStand(
      1400, 32, [](GameObject* o) { return o->bot.walk == BOT_WALK_CAR; },  // 70 s
      [&](int) {
        for (int k = 0; k < Tick_NearList.count; k++) {
          GameObject* o = Tick_NearList.items[k];
          if (o->classNum != NPC || o->bot.walk != BOT_WALK_CAR) continue;
          auto [it, made] = last.try_emplace(o->id, o->origin);
          driven[o->id] += std::hypot(o->origin.x - it->second.x, o->origin.y - it->second.y);
          it->second = o->origin;
        }
      });
  EXPECT_GE(driven.size(), 2u) << "the street's two cars";
  float total = 0;
  for (const auto& [id, d] : driven) total += d;
  EXPECT_GT(total, 2 * 70 * kBotCarSpeed * 0.5f) << "cars drive most of the time";
  EXPECT_LT(longest, 5.0) << "a car stood still";
}

// With the hero at the start, the traffic comes both ways: within two minutes a car drives west in
// the north lane and another east in the south lane. With him towards one end of the street, the
// cars turn about at that end, by the block's wall, and come back in the other lane.
TEST_F(SampleStreet, BothLanesCarryCarsFromTheStartAndCarsTurnAboutAtTheEnds) {
  std::map<uint32_t, vec3> first, farthest;
  bool west = false, east = false;
  for (int i = 0; i < 2400 && !(west && east); i++) {  // 120 s
    Ticks(1);
    for (int k = 0; k < Tick_NearList.count; k++) {
      const GameObject* o = Tick_NearList.items[k];
      if (o->classNum != NPC || o->bot.walk != BOT_WALK_CAR || o->person.state != 1) continue;
      const vec3 from = first.try_emplace(o->id, o->origin).first->second;
      const float driven = o->origin.x - from.x;
      west = west || (driven < -200 && o->origin.y > 300 && o->origin.y < 420);
      east = east || (driven > 200 && o->origin.y < -300 && o->origin.y > -420);
    }
  }
  EXPECT_TRUE(west) << "no car came west in the north lane";
  EXPECT_TRUE(east) << "no car came east in the south lane";
  for (float end : {2400.0f, -2400.0f}) {
    const vec3 at{end > 0 ? 600.0f : -600.0f, end > 0 ? -700.0f : 700.0f, kPavement};
    const float back = end > 0 ? 360.0f : -360.0f;  // the lane back from that end
    farthest.clear();
    bool turned = false;
    for (int i = 0; i < 1200 && !turned; i++) {  // 60 s
      Obj_Player->origin = Obj_Player->prevOrigin = at;
      Ticks(1);
      for (int k = 0; k < Tick_NearList.count; k++) {
        const GameObject* o = Tick_NearList.items[k];
        if (o->classNum != NPC || o->bot.walk != BOT_WALK_CAR || o->person.state != 1) continue;
        vec3& f = farthest.try_emplace(o->id, o->origin).first->second;
        if (std::fabs(o->origin.x) > std::fabs(f.x)) f = o->origin;
        turned = turned || (std::fabs(f.x) > std::fabs(end) - 100 && std::fabs(o->origin.x) < std::fabs(f.x) - 200 &&
                            std::fabs(o->origin.y - back) < 60);
      }
    }
    EXPECT_TRUE(turned) << "no car turned about at x " << end;
  }
}

// Passers-by hurt by a blast of the hero's as they come by run off, and none then walks on the
// spot in a corner while he stands near: 70 s with the hero at the start on the road, then 70 s
// with him in the middle of the north pavement.
TEST_F(SampleStreet, PassersByHurtByABlastRunOffAndNoneStandsInACornerForGood) {
  GameObject* hero = Obj_Player;
  auto passerBy = [](GameObject* o) { return o->bot.walk == BOT_WALK_CIVILIAN && !o->person.name[0]; };
  std::set<uint32_t> hurt;
  for (vec3 at : {vec3{0, 0, 0}, vec3{-1000, 700, kPavement}}) {
    const double longest = LongestStand(1400, 16, passerBy, [&](int) {
      hero->origin = hero->prevOrigin = at;
      for (int k = 0; k < Tick_NearList.count; k++) {
        GameObject* o = Tick_NearList.items[k];
        if (o->classNum != NPC || o->person.state != 1 || !passerBy(o) || hurt.count(o->id) ||
            std::hypot(o->origin.x - at.x, o->origin.y - at.y) > 700)
          continue;
        // A blast beside it, as of a grenade of the hero's.
        o->person.health = o->person.maxHealth = 1000;
        GameObject* shot = Spawn(PULKA, o->origin.x + 60, o->origin.y, "");
        shot->origin.z = o->origin.z + 1;
        shot->owner = hero->id;
        Person_SplashDamage(shot, 40, 200, 0);
        Obj_RequestDelete(shot);
        if (o->bot.engaged == BOT_ENGAGE_FLEE) hurt.insert(o->id);
      }
    });
    EXPECT_LT(longest, 10.0) << "the hero at " << at.x << "," << at.y;
  }
  EXPECT_GE(hurt.size(), 3u) << "passers-by hurt by a blast";
}

// The hero standing in the middle of a pavement, 70 s at each of four places: no passer-by is
// held against him for good.
TEST_F(SampleStreet, AHeroStandingMidPavementHoldsNoOneAgainstHimForGood) {
  GameObject* hero = Obj_Player;
  auto passerBy = [](GameObject* o) { return o->bot.walk == BOT_WALK_CIVILIAN && !o->person.name[0]; };
  const int ticks = 1400;  // 70 s
  for (vec3 at : {vec3{-1000, 700, kPavement}, vec3{1000, 700, kPavement}, vec3{-1000, -700, kPavement},
                  vec3{1000, -700, kPavement}}) {
    const double longest = LongestStand(ticks, 16, passerBy, [&](int) { hero->origin = hero->prevOrigin = at; });
    EXPECT_LT(longest, 10.0) << "the hero at " << at.x << "," << at.y;
  }
}

TEST_F(SampleStreet, APasserByAppearingAgainstAHouseWallStandsOnThePavementAndWalks) {
  Ticks(1);
  // On the north pavement's edge, where it meets house_ne's wall.
  const vec3 at{383, 799, kPavement}, target{0, 617, kPavement};
  const uint32_t before = Obj_LastId();
  Pop_SpawnCivilian(&at, &target);
  GameObject* w = nullptr;
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (o->id > before && o->classNum == NPC) w = o;
  ASSERT_NE(w, nullptr);
  EXPECT_NEAR(w->origin.z, kPavement, 0.5f) << "on the pavement, not held up in the wall";
  EXPECT_LE(w->origin.y + w->maxs.y, 800.0f) << "its box clear of the wall";
  const vec3 start = w->origin;
  Ticks(40);
  EXPECT_NEAR(w->origin.z, kPavement, 0.5f);
  EXPECT_GT(std::hypot(w->origin.x - start.x, w->origin.y - start.y), 150.0f) << "walks towards its goal";
}

TEST_F(SampleStreet, AGrenadeThrownDownLandsOnTheRoadAndItsBlastHurtsTheHeroBesideIt) {
  Ticks(2);
  GameObject* hero = Obj_Player;
  const int w = Def_FindWeaponByName("grenade");
  ASSERT_GE(w, 0);
  hero->person.health = hero->person.maxHealth = 1000;
  const vec3 eye{hero->origin.x, hero->origin.y, hero->origin.z + 56}, aim{hero->angles.x, -0.8f, 0};
  const uint32_t before = Obj_LastId();
  NET_SpawnShot(hero->id, w, &eye, &aim);
  GameObject* g = nullptr;
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (o->id > before && o->classNum == PULKA) g = o;
  ASSERT_NE(g, nullptr);
  for (int i = 0; i < 100 && g->person.state == 1; i++) Ticks(1);
  ASSERT_EQ(g->person.state, 2) << "its fuse ran out";
  EXPECT_NEAR(g->origin.z, 0, 0.5f) << "on the road, not fallen through it";
  const float away = std::hypot(g->origin.x - hero->origin.x, g->origin.y - hero->origin.y);
  EXPECT_LT(away, 150.0f);
  EXPECT_GT(1000 - hero->person.health, 20.0f) << "the blast " << away << " units away";
}

}  // namespace
