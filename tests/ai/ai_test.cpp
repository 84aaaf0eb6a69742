// The AI's world step on generated areas over a ground slab: walkers reach and face their goals
// and keep to the civilian set and to their car lanes, characters engage the player when hurt or
// when they see it and let go, teams and the developer key, the level gate, deathmatch starts,
// slow motion, and bad areas, templates and teams.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "ai/bot.h"
#include "characters/actions.h"
#include "characters/npc.h"
#include "characters/player.h"
#include "foundation/random.h"
#include "foundation/var.h"
#include "scene/model.h"
#include "tools/ai_assets.h"
#include "tools/nav_writer.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/level.h"
#include "world/personage.h"
#include "world/population.h"
#include "world/start.h"
#include "world/world_fixture.h"

namespace {

using tw_test::WorldTest;

void Discard(const char*, size_t, void*) {}

// A box resting on the ground stops 1/32 unit above it.
constexpr float kOnGround = 1.0f / 32 + 0.001f;

class AiTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Ent_SetOutput(Discard, nullptr);
    Math_RandInit();
    ai_RegisterVars();
  }
  void TearDown() override {
    Var_SetValue(Var_Find("ai_dmrespawns"), 0);
    ai_FreeAreas();
    ai_Invalidate();
    Ent_SetOutput(nullptr, nullptr);
    WorldTest::TearDown();
  }
  static void LoadNav(const NavWriterFile& f) {
    std::string text = NavWriter_Text(f);
    ASSERT_EQ(Nav_ReadText(text.data(), text.size(), "test.nav"), 1);
  }
  // The player at (x, y), a game running, and a wide ground slab whose top is z = 0.
  static GameObject* Stage(float x = 0, float y = 0) {
    GameObject* player = StartGame();
    player->origin = vec3{x, y, 0};
    player->person.state = 1;
    player->person.health = 100;
    Solid(Spawn(WORLD, 0, 0, "ground"), {-6000, -6000, -16, 6000, 6000, 0});
    return player;
  }
  // A living character with its AI set up, walking as asked.
  static GameObject* Walker(float x, float y, int32_t walk, const char* name = "") {
    GameObject* o = Spawn(NPC, x, y, name);
    o->person.state = 1;
    o->person.health = 100;
    o->prop.solid = o->prop.visible = 1;
    bot_Setup(o, "*");
    bot_SetWalk(o, walk);
    return o;
  }
  static void Tick(float step = 0.05f, uint32_t command = 0) {
    Game_TickFrame = DemoFrame{step, 0, 0, command};
    Game_Tick();
  }
  static void Ent(const char* text) { read_ent(text, uint32_t(std::strlen(text))); }
  static float Dist2(const vec3& a, const vec3& b) { return std::hypot(a.x - b.x, a.y - b.y); }
  static int AreaOf(int set, const vec3& p) { return ai_FindAreaAtPoint(&Nav_Level.sets[set], &p.x, -1); }
};

TEST_F(AiTest, ACivilianWalksToItsGoalFacingItOnTheGroundAndNeverLeavesTheCivilianSet) {
  NavWriterFile f;
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], -1500, -100, 500, 200, 6, 1, 0);  // a pavement of six areas
  LoadNav(f);
  Stage(0, 1500);
  GameObject* w = Walker(-1200, 0, BOT_WALK_CIVILIAN);
  w->bot.goals[0] = w->bot.goals[1] = vec3{-700, 0, 2};
  for (int i = 0; i < 40; i++) Tick();  // 2 s
  EXPECT_NEAR(Dist2(w->origin, w->bot.goals[0]), 300, 6) << "about 200 units closer";
  EXPECT_NEAR(w->angles.x, std::atan2(1.0f, 0.0f), 0.01f) << "faces its goal (+x)";
  EXPECT_NEAR(w->origin.z, 0, kOnGround) << "stands on the ground";
  std::set<int> areas;
  float travelled = 0;
  vec3 last = w->origin;
  for (int i = 0; i < 1200; i++) {  // 60 s
    Tick();
    int area = AreaOf(NAV_CIVILIAN, w->origin);
    ASSERT_GE(area, 0) << "outside the civilian set after tick " << i << " at " << w->origin.x << "," << w->origin.y;
    ASSERT_NEAR(w->origin.z, 0, kOnGround) << i;
    areas.insert(area);
    travelled += Dist2(w->origin, last);
    last = w->origin;
  }
  EXPECT_GE(areas.size(), 3u) << "walks on from area to area";
  EXPECT_GT(travelled, 3000) << "keeps walking";
}

TEST_F(AiTest, AWalkerLedOffThePavementWalksBackAndAFleeingPasserByKeepsToIt) {
  NavWriterFile f;
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], -1500, -100, 500, 200, 6, 1, 0);
  LoadNav(f);
  GameObject* player = Stage(0, -60);
  // A named walker that followed the hero out into the road and let him go.
  GameObject* led = Walker(-999, 504, BOT_WALK_CIVILIAN, "walker");
  led->bot.civilianArea = AreaOf(NAV_CIVILIAN, vec3{-700, 0, 0});
  led->bot.goals[0] = led->bot.goals[1] = vec3{-700, 0, 2};
  // A passer-by by the pavement's edge, the hero on its other side.
  GameObject* fleeing = Walker(0, 80, BOT_WALK_CIVILIAN);
  bot_Hurt(fleeing, player);
  ASSERT_EQ(fleeing->bot.engaged, 0) << "the level's AI has not started";
  Tick();
  bot_Hurt(fleeing, player);
  ASSERT_EQ(fleeing->bot.engaged, BOT_ENGAGE_FLEE);
  const vec3 from = fleeing->origin;
  for (int i = 0; i < 100; i++) {  // 5 s
    Tick();
    ASSERT_GE(AreaOf(NAV_CIVILIAN, fleeing->origin), 0) << "off the pavement at " << fleeing->origin.x << ","
                                                        << fleeing->origin.y;
  }
  EXPECT_GT(Dist2(fleeing->origin, from), 200) << "runs along the pavement";
  for (int i = 0; i < 200; i++) Tick();  // 15 s in all
  EXPECT_GE(AreaOf(NAV_CIVILIAN, led->origin), 0) << "back on its pavement, at " << led->origin.x << ","
                                                  << led->origin.y;
}

TEST_F(AiTest, TwoPassersByHeldUpByEachOtherJustShortOfTheirGoalsWalkOn) {
  NavWriterFile f;
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], -1500, -100, 500, 200, 6, 1, 0);
  LoadNav(f);
  Stage(0, 1500);
  GameObject* a = Walker(-700, 30, BOT_WALK_CIVILIAN);
  GameObject* b = Walker(-700, -2.5f, BOT_WALK_CIVILIAN);
  a->bot.goals[0] = a->bot.goals[1] = vec3{-700, 28, 2};  // each a step from its goal, the other in the way
  b->bot.goals[0] = b->bot.goals[1] = vec3{-700, 0, 2};
  for (int i = 0; i < 100; i++) Tick();  // 5 s
  EXPECT_GT(Dist2(a->origin, vec3{-700, 30, 0}) + Dist2(b->origin, vec3{-700, -2.5f, 0}), 100);
}

TEST_F(AiTest, ACarDrivesAlongItsLaneAndTurnsAboutAtTheEndOfTheRoad) {
  NavWriterFile f;
  NavWriterSet& road = f.sets[NAV_CARS];
  const float cuts[] = {-3000, -2600, -1800, -600, 600, 1800, 2600, 3000};
  for (float x : cuts) {
    road.vertices.push_back({x, -600, 0});
    road.vertices.push_back({x, 600, 0});
  }
  for (int i = 0; i + 1 < 8; i++) road.areas.push_back({2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1});
  LoadNav(f);
  GameObject* player = Stage(0, 0);
  // Where the street population would put a car: on a lane where it crosses the ring.
  PopCandidate c[kPopCandidates];
  ASSERT_GT(Pop_Candidates(NAV_CARS, &player->origin, nullptr, 0, c), 0);
  GameObject* car = Walker(c[0].position.x, c[0].position.y > 0 ? 360.0f : -360.0f, BOT_WALK_CAR);
  car->person.vehicleState = 1;
  car->bot.goals[0] = car->bot.goals[1] = c[0].target;
  car->bot.carArea = -1;
  float travelled = 0;
  vec3 last = car->origin;
  bool lanes[2] = {false, false};
  int ways[2] = {0, 0};
  for (int i = 0; i < 800; i++) {  // 40 s
    player->origin = vec3{car->origin.x, 1000, 0};  // keeps the car near, off the road
    Tick();
    const vec3& p = car->origin;
    bool onLane = std::fabs(std::fabs(p.y) - 360.0f) < 0.5f;
    bool turning = std::fabs(std::fabs(p.x) - 2600.0f) < 0.5f;  // about at a dead end
    ASSERT_TRUE(onLane || turning) << "off its lane after tick " << i << " at " << p.x << "," << p.y;
    ASSERT_GE(AreaOf(NAV_CARS, p), 0) << i;
    if (onLane && !turning) {
      // Each lane is driven one way only, the two lanes opposite ways.
      float dx = p.x - last.x;
      int lane = p.y > 0;
      if (std::fabs(dx) > 1) {
        int way = dx > 0 ? 1 : -1;
        if (!ways[lane]) ways[lane] = way;
        ASSERT_EQ(ways[lane], way) << "against its lane at tick " << i;
        lanes[lane] = true;
      }
    }
    travelled += Dist2(p, last);
    last = p;
  }
  EXPECT_TRUE(lanes[0] && lanes[1]) << "both ways along the road";
  EXPECT_EQ(ways[0], -ways[1]);
  EXPECT_GT(travelled, 12000) << "at a car's pace";
}

TEST_F(AiTest, ACarHeldUpWaitsInItsLaneUntilTheWayIsClear) {
  NavWriterFile f;
  NavWriter_AddGrid(f.sets[NAV_CARS], -1800, -600, 1200, 1200, 3, 1, 0);  // three pieces of road
  LoadNav(f);
  Stage(0, 1000);
  GameObject* car = Walker(-500, 360, BOT_WALK_CAR, "car");
  car->person.vehicleState = 1;
  car->bot.goals[0] = car->bot.goals[1] = vec3{600, 360, 2};  // the lane's end in the middle piece
  GameObject* blocker = Walker(-100, 360, BOT_WALK_NONE, "blocker");
  for (int i = 0; i < 200; i++) {  // 10 s
    Tick();
    ASSERT_NEAR(car->origin.y, 360, 0.01f) << "left its lane at tick " << i;
  }
  EXPECT_NEAR(blocker->origin.x - car->origin.x, 32, 1) << "waits behind the character";
  Obj_RequestDelete(blocker);
  const float x = car->origin.x;
  for (int i = 0; i < 10; i++) Tick();
  EXPECT_NEAR(car->origin.x - x, 200, 1) << "drives on";
  EXPECT_NEAR(car->origin.y, 360, 0.01f);
}

// Held up by something that does not move, a car turns about and drives back; held up by a
// character that stands in its lane for good, it turns about after waiting a while.
TEST_F(AiTest, ACarHeldUpForGoodInItsLaneTurnsAbout) {
  NavWriterFile f;
  NavWriter_AddGrid(f.sets[NAV_CARS], -1800, -600, 1200, 1200, 3, 1, 0);
  LoadNav(f);
  Stage(0, 1000);
  GameObject* post = Solid(Spawn(WORLD, 0, 0, "post"), {-110, 370, 0, -90, 380, 96});  // reaches into the lane
  GameObject* car = Walker(500, 360, BOT_WALK_CAR, "car");
  car->person.vehicleState = 1;
  car->bot.goals[0] = car->bot.goals[1] = vec3{-600, 360, 2};  // westwards in its lane
  float nearest = 1e9f, driven = 0;
  double stood = 0, longest = 0;
  vec3 anchor = car->origin, last = car->origin;
  for (int i = 0; i < 600; i++) {  // 30 s
    Tick();
    ASSERT_GE(AreaOf(NAV_CARS, car->origin), 0) << i;
    if (car->origin.y > 300) nearest = std::min(nearest, car->origin.x + car->mins.x + 90);
    driven += Dist2(car->origin, last);
    last = car->origin;
    if (Dist2(car->origin, anchor) > 32) anchor = car->origin, stood = 0;
    longest = std::max(longest, stood += 0.05);
  }
  EXPECT_NEAR(nearest, 0, 1) << "it drove up to the post";
  EXPECT_LT(longest, kBotGiveUpTime + 1.5) << "then turned about";
  EXPECT_GT(driven, 5000) << "and drives on";
  // A character standing in the lane: the car waits (see above), but not for good.
  Obj_RequestDelete(post);
  GameObject* blocker = Walker(-100, 360, BOT_WALK_NONE, "blocker");
  car->origin = vec3{-500, 360, 0};
  car->bot.goals[0] = car->bot.goals[1] = vec3{600, 360, 2};
  car->bot.carArea = -1;
  int waited = 0;
  float left = 0;
  for (int i = 0; i < 20 * int(kBotCarPatience + 4); i++) {
    Tick();
    waited += std::fabs(blocker->origin.x - car->origin.x - 32) < 1;
    left = std::max(left, Dist2(car->origin, blocker->origin));
    if (i == 20 * 3) left = 0;
  }
  EXPECT_GT(waited, 20 * 10) << "waits behind the character for a while";
  EXPECT_GT(left, 200) << "then turns about";
}

// A walker held up on its way to a crossing (here by the edge of its L-shaped area, which the
// straight way leaves) does not take the same crossing again.
TEST_F(AiTest, AWalkerHeldUpOnItsWayToACrossingTakesAnotherGoal) {
  NavWriterFile f;
  NavWriterSet& set = f.sets[NAV_CIVILIAN];
  set.vertices = {{0, 0, 0},     {400, 0, 0},  {400, 100, 0}, {100, 100, 0}, {100, 400, 0},
                  {65, 400, 0},  {35, 400, 0}, {0, 400, 0},   {65, 500, 0},  {35, 500, 0}};
  set.areas = {{0, 1, 2, 3, 4, 5, 6, 7}, {6, 5, 8, 9}};  // an L, and beyond a narrow portal a room
  LoadNav(f);
  Stage(0, -1000);
  GameObject* w = Walker(350, 50, BOT_WALK_CIVILIAN);
  const vec3 crossing{50, 400, 2};
  w->bot.goals[0] = w->bot.goals[1] = crossing;
  for (int i = 0; i < 20; i++) Tick();
  ASSERT_EQ(Dist2(w->bot.goals[0], crossing), 0) << "on its way";
  bool other = false;
  for (int i = 0; i < 60 && !other; i++) {  // 4 s in all: held up at the L's corner for more than 2 s
    Tick();
    other = Dist2(w->bot.goals[0], crossing) > 8;
  }
  EXPECT_TRUE(other) << "takes the crossing it was held up on again";
}

// Headway is getting nearer the goal, not moving: a walker that makes full steps but is put back
// each time, to and fro or sideways round its goal, counts as held up after about 2 s and turns
// to its other goal.
TEST_F(AiTest, AWalkerThatMovesButGetsNoNearerItsGoalIsHeldUp) {
  Stage(0, 1500);
  for (bool sideways : {false, true}) {
    GameObject* w = Walker(0, 0, BOT_WALK_NONE);
    const vec3 goal{400, 0, 2}, other{-400, 0, 2};
    w->bot.goals[0] = goal;
    w->bot.goals[1] = other;
    bot_SetWalk(w, BOT_WALK_POINTS);
    double heldUp = 0;
    for (int i = 1; i <= 60 && !heldUp; i++) {  // 3 s
      Tick();
      ASSERT_GT(Dist2(w->origin, w->prevOrigin), 0.25f * kBotWalkSpeed * 0.05f) << "a step of " << i;
      // Back where it stood, or on round the circle about its goal that it stands on.
      const float turn = sideways ? 0.0125f * float(i) : 0.0f;
      w->origin = vec3{goal.x - 400 * std::cos(turn), goal.y - 400 * std::sin(turn), 0};
      if (Dist2(w->bot.goals[0], goal) > 1) heldUp = i * 0.05;
    }
    EXPECT_GT(heldUp, 1.5) << (sideways ? "sideways" : "to and fro");
    EXPECT_LT(heldUp, 2.5) << (sideways ? "sideways" : "to and fro");
    EXPECT_EQ(Dist2(w->bot.goals[0], other), 0) << "turns to its other goal";
    Obj_RequestDelete(w);
    Tick();
  }
}

// A portal with walls at its ends and a post in its middle: walkers cross where their box fits
// between them.
TEST_F(AiTest, APortalBetweenWallsIsCrossedWhereTheBoxFits) {
  NavWriterFile f;
  NavWriterSet& set = f.sets[NAV_CIVILIAN];
  set.vertices = {{-200, -300, 0}, {200, -300, 0}, {200, 0, 0}, {48, 0, 0},
                  {-48, 0, 0},     {-200, 0, 0},   {48, 300, 0}, {-48, 300, 0}};
  set.areas = {{0, 1, 2, 3, 4, 5}, {4, 3, 6, 7}};  // a yard, and through a doorway 96 wide a passage
  LoadNav(f);
  Stage(0, -1000);
  // The doorway's jambs reach 0.9 units in from its ends; the post stands 4 wide in its middle.
  Solid(Spawn(WORLD, 0, 0, "west"), {-300, 0, 0, -47.1f, 300, 128});
  Solid(Spawn(WORLD, 0, 0, "east"), {47.1f, 0, 0, 300, 300, 128});
  Solid(Spawn(WORLD, 0, 0, "post"), {-2, -2, 0, 2, 2, 64});
  GameObject* w = Walker(0, -150, BOT_WALK_CIVILIAN);
  float deepest = -1e9f;
  for (int i = 0; i < 400 && deepest < 100; i++) {  // 20 s
    Tick();
    deepest = std::max(deepest, w->origin.y);
  }
  EXPECT_GE(deepest, 100) << "never went through the doorway";
}

TEST_F(AiTest, AHitEngagesTheCharacterItFollowsToItsDistanceAndTheResetClearsIt) {
  GameObject* player = Stage(0, 0);
  GameObject* guard = Walker(600, 0, BOT_WALK_NONE, "guard");
  GameObject* passer = Walker(-300, 0, BOT_WALK_NONE);  // unnamed, no team: runs away
  GameObject* other = Walker(0, 600, BOT_WALK_NONE, "other");
  Tick();
  EXPECT_EQ(Tick_EngagedNear, 0);
  other->slots.Damage(other, guard, 5, 1, &other->origin, 0, 0);  // not the player's doing
  EXPECT_EQ(other->bot.engaged, 0);
  other->person.carIndex = 1;  // a parked car does not come after the player
  other->slots.Damage(other, player, 5, 1, &other->origin, 0, 0);
  EXPECT_EQ(other->bot.engaged, 0);
  other->person.carIndex = 0;
  guard->slots.Damage(guard, player, 5, 1, &guard->origin, 0, 0);
  EXPECT_EQ(guard->bot.engaged, BOT_ENGAGE_FOLLOW);
  GameObject* shot = Spawn(GILZA, -290, 0);
  shot->owner = player->id;  // a shot of the player's
  passer->slots.Damage(passer, shot, 5, 1, &passer->origin, 0, 0);
  EXPECT_EQ(passer->bot.engaged, BOT_ENGAGE_FLEE);
  Tick();
  EXPECT_EQ(Tick_EngagedNear, 2);
  for (int i = 0; i < 60; i++) Tick();
  EXPECT_NEAR(Dist2(guard->origin, player->origin), kBotMinDistDefault, 1) << "followed to its distance";
  EXPECT_NEAR(guard->angles.x, -kMathPi / 2, 0.01f) << "faces the player";
  EXPECT_GT(Dist2(passer->origin, player->origin), 600) << "ran away";
  ai_RequestFullReset();
  Tick();
  EXPECT_EQ(guard->bot.engaged, 0);
  EXPECT_EQ(passer->bot.engaged, 0);
  Tick();
  EXPECT_EQ(Tick_EngagedNear, 0);
  // Out of reach for a few seconds ends it; so does death.
  guard->slots.Damage(guard, player, 5, 1, &guard->origin, 0, 0);
  guard->bot.detectDist = 50;
  for (int i = 0; i < 80; i++) Tick();  // 4 s
  EXPECT_EQ(guard->bot.engaged, BOT_ENGAGE_FOLLOW);
  for (int i = 0; i < 30; i++) Tick();
  EXPECT_EQ(guard->bot.engaged, 0);
  guard->slots.Damage(guard, player, 5, 1, &guard->origin, 0, 0);
  guard->slots.Damage(guard, player, 500, 1, &guard->origin, 0, 0);
  Tick();
  EXPECT_EQ(guard->person.state, 2);
  EXPECT_EQ(guard->bot.engaged, 0);
}

TEST_F(AiTest, AHostileTemplateEngagesAPlayerItSeesWithinItsDistanceAndFieldOfView) {
  GameObject* player = Stage(0, 0);
  Ent(R"({ "classname" "npc" "id" "thug" "origin" "500 0 0" "angle" "270 0 0" "teamname" "gang"
    "agressive_on" "AGRESSIVE_ON_PLAYER_VISIBLE" "ai_detect_dist" "800" "ai_detect_fov" "90" "mindist" "150" })");
  GameObject* thug = Person_FindByName("thug");
  ASSERT_NE(thug, nullptr);
  EXPECT_EQ(thug->bot.aggression, BOT_AGGRESSIVE_VISIBLE);
  EXPECT_EQ(thug->bot.minDist, 150);
  struct Case {
    const char* what;
    vec3 at;  // the player
    float facing;  // the thug's yaw
    bool wall, sameTeam, engaged;
  };
  const Case cases[] = {
      {"seen ahead", {0, 0, 0}, -kMathPi / 2, false, false, true},
      {"behind it", {0, 0, 0}, kMathPi / 2, false, false, false},
      {"too far", {-400, 0, 0}, -kMathPi / 2, false, false, false},
      {"behind a wall", {0, 0, 0}, -kMathPi / 2, true, false, false},
      {"of its own team", {0, 0, 0}, -kMathPi / 2, false, true, false},
  };
  GameObject* wall = Spawn(WORLD, 250, 0, "wall");
  for (const Case& c : cases) {
    thug->bot.engaged = 0;
    thug->origin = vec3{500, 0, 0};
    thug->angles.x = c.facing;
    player->origin = c.at;
    Solid(wall, {-8, -200, 0, 8, 200, c.wall ? 200.0f : -100.0f});
    std::snprintf(player->teamName, sizeof player->teamName, "%s", c.sameTeam ? "gang" : "");
    Tick();
    EXPECT_EQ(thug->bot.engaged != 0, c.engaged) << c.what;
  }
  // Engaged, it follows the hero to its distance.
  player->origin = vec3{0, 0, 0};
  player->teamName[0] = 0;
  Solid(wall, {-8, -200, 0, 8, 200, -100});
  for (int i = 0; i < 60; i++) Tick();
  EXPECT_NEAR(Dist2(thug->origin, player->origin), 150, 1);
}

TEST_F(AiTest, TeamsAreBuiltAReleasedMemberLeavesAndTheDeveloperKeyKillsOnlyHostileTeams) {
  Stage(0, 0);
  auto member = [&](float x, const char* team, const char* name) {
    GameObject* o = Walker(x, 300, BOT_WALK_NONE, name);
    std::snprintf(o->teamName, sizeof o->teamName, "%s", team);
    return o;
  };
  GameObject* police1 = member(-200, "police", "p1");
  GameObject* police2 = member(-100, "POLICE", "p2");
  GameObject* gang = member(0, "gang", "g1");
  GameObject* friendly = member(100, "player", "ally");
  GameObject* civilian = member(200, "", "");
  GameObject* driver = member(300, "gang", "driver");
  driver->person.carIndex = 1;
  driver->person.vehicleState = 1;
  Tick();
  ASSERT_EQ(ai_TeamCount(), 3);  // police, gang and the player's own
  ASSERT_GE(ai_PlayerTeam(), 0);
  EXPECT_STREQ(ai_TeamName(ai_PlayerTeam()), "player");
  GameObject* const* members = nullptr;
  int counts[3] = {};
  for (int t = 0; t < 3; t++) counts[t] = ai_TeamMembers(t, &members);
  EXPECT_EQ(counts[0] + counts[1] + counts[2], 6);  // five teamed characters and the player
  EXPECT_TRUE(ai_IsHostile(police1) && ai_IsHostile(gang));
  EXPECT_FALSE(ai_IsHostile(friendly) || ai_IsHostile(civilian));
  // A released member leaves its team: nothing points at it afterwards (ASan watches).
  int gangRow = -1;
  for (int t = 0; t < ai_TeamCount(); t++)
    if (std::strcmp(ai_TeamName(t), "gang") == 0) gangRow = t;
  ASSERT_GE(gangRow, 0);
  EXPECT_EQ(ai_TeamMembers(gangRow, &members), 2);
  Obj_RequestDelete(gang);
  Obj_FlushDeleted();
  ASSERT_EQ(ai_TeamMembers(gangRow, &members), 1);
  EXPECT_EQ(members[0], driver);
  // A character that arrives later joins its team.
  GameObject* late = member(400, "police", "p3");
  Tick();
  EXPECT_EQ(late->bot.team, police1->bot.team);
  ai_KillAllEnemies();
  EXPECT_EQ(police1->person.state, 2);
  EXPECT_EQ(police2->person.state, 2);
  EXPECT_EQ(late->person.state, 2);
  EXPECT_EQ(friendly->person.state, 1);
  EXPECT_EQ(civilian->person.state, 1);
  EXPECT_EQ(driver->person.state, 1) << "car characters are spared";
  // A crowd of 2,000 in one team is built and released whole.
  for (int i = 0; i < 2000; i++) member(float(i % 50) * 10, "crowd", "");
  ai_StartLevel();
  int crowd = -1;
  for (int t = 0; t < ai_TeamCount(); t++)
    if (std::strcmp(ai_TeamName(t), "crowd") == 0) crowd = t;
  ASSERT_GE(crowd, 0);
  EXPECT_EQ(ai_TeamMembers(crowd, &members), 2000);
  Tick();
  Obj_ClearAll();
  EXPECT_EQ(ai_TeamMembers(crowd, &members), 0);
  // More names than teams: the table fills, one line says so, and the ticks do not retry.
  Stage(0, 0);
  std::vector<GameObject*> named;
  for (int i = 0; i < 70; i++) named.push_back(member(float(i) * 10, ("team" + std::to_string(i)).c_str(), ""));
  for (int i = 0; i < 40; i++) Tick();
  EXPECT_EQ(ai_TeamCount(), kAiTeams);
  int without = 0;
  for (GameObject* o : named) without += o->bot.team == -1;  // marked: not tried again
  EXPECT_EQ(without, 70 + 1 - kAiTeams);  // the player's own team took a row too
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "more than 64 teams"), 1);
}

TEST_F(AiTest, AfterInvalidateNothingMovesOrEngagesUntilTheLevelStarts) {
  NavWriterFile f;
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], -1500, -100, 500, 200, 6, 1, 0);
  LoadNav(f);
  GameObject* player = Stage(0, 1000);
  GameObject* w = Walker(-1200, 0, BOT_WALK_CIVILIAN, "w");
  w->bot.goals[0] = vec3{-700, 0, 2};
  Tick();
  ai_Invalidate();
  const vec3 at = w->origin;
  w->slots.Damage(w, player, 1, 1, &w->origin, 0, 0);
  for (int i = 0; i < 20; i++) Tick();
  EXPECT_EQ(w->origin.x, at.x);
  EXPECT_EQ(w->bot.engaged, 0);
  Tick_AiStarted = 0;  // as after the next clearing of the list
  for (int i = 0; i < 20; i++) Tick();
  EXPECT_GT(w->origin.x, at.x + 90);
}

TEST_F(AiTest, DeathmatchStartsTakeTheHeroAndBotsOnlyWithTheSwitchOn) {
  GameObject* player = Stage(0, 0);
  GameObject* bot = Walker(500, 500, BOT_WALK_NONE, "bot");
  bot->npcControl = NPC_BOT;
  Level_PlayerStart = PlayerStartRecord{vec3{0, 0, 0}, vec3{0, 0, 0}, 1};
  Level_DmStartCount = 2;
  Level_DmStarts[0] = DeathmatchStart{vec3{1000, 0, 0}, vec3{1, 0, 0}, 0};
  Level_DmStarts[1] = DeathmatchStart{vec3{2000, 0, 0}, vec3{2, 0, 0}, 0};
  ai_Invalidate();  // a level being loaded
  Level_SetupStartsAndPickups();
  EXPECT_EQ(bot->origin.x, 500);
  EXPECT_EQ(bot->origin.y, 500);
  EXPECT_EQ(player->origin.x, 0);
  EXPECT_EQ(ai_GetDmRespawns(), 0);
  Var_SetValue(Var_Find("ai_dmrespawns"), 1);
  EXPECT_EQ(ai_GetDmRespawns(), 1);
  Level_SetupStartsAndPickups();
  EXPECT_TRUE(bot->origin.x == 1000 || bot->origin.x == 2000) << bot->origin.x;
  EXPECT_EQ(bot->origin.y, 0);
  EXPECT_TRUE(player->origin.x == 1000 || player->origin.x == 2000) << player->origin.x;
  EXPECT_NE(player->origin.x, bot->origin.x) << "a taken start is not chosen";
  // The level keeps the switch it started with; its AI block carries it.
  ai_StartLevel();
  Var_SetValue(Var_Find("ai_dmrespawns"), 0);
  EXPECT_EQ(ai_GetDmRespawns(), 1);
  std::vector<uint8_t> block = ai_BlockBytes();
  ai_Invalidate();
  EXPECT_EQ(ai_GetDmRespawns(), 0);
  ASSERT_EQ(ai_ApplyBlock(block.data(), block.size()), 1);
  EXPECT_EQ(ai_GetDmRespawns(), 1);
  // Loaded over a level that runs with the switch off, the block's switch is the one that holds.
  ai_StartLevel();
  ASSERT_EQ(ai_GetDmRespawns(), 0);
  ASSERT_EQ(ai_ApplyBlock(block.data(), block.size()), 1);
  EXPECT_EQ(ai_GetDmRespawns(), 1);
  Level_DmStartCount = 0;
}

TEST_F(AiTest, SlowMotionHalvesTheStepForAWhileOrUntilPressedAgainAndEndsAtDeath) {
  GameObject* player = Stage(0, 0);
  Game_Running = 1;
  auto step = [] {
    Timer_FrameDelta = 0.05;
    return Game_ComputeStep();
  };
  EXPECT_FLOAT_EQ(step(), 0.05f);
  Tick(0.05f, CMD_GALAHASTE);
  EXPECT_EQ(TimeScale, kSlowMotionScale);
  EXPECT_EQ(player->person.slowMotionLevel, 1.0f);
  EXPECT_FLOAT_EQ(step(), 0.025f);
  Tick(0.025f, CMD_GALAHASTE);  // held: no second press
  EXPECT_EQ(TimeScale, kSlowMotionScale);
  Tick(0.025f, 0);
  Tick(0.025f, CMD_GALAHASTE);  // pressed again
  EXPECT_EQ(TimeScale, 1.0f);
  EXPECT_EQ(player->person.slowMotionLevel, 0);
  // It runs out after its time.
  Tick(0.05f, 0);
  Tick(0.05f, CMD_GALAHASTE);
  double started = Game_Time;
  while (TimeScale != 1.0f && Game_Time < started + 10) Tick(0.025f, 0);
  EXPECT_NEAR(Game_Time - started, kSlowMotionTime, 0.03);
  EXPECT_EQ(player->person.slowMotionLevel, 0);
  // Not in a car; and death ends it.
  player->person.carIndex = 1;
  Tick(0.05f, 0);
  Tick(0.05f, CMD_GALAHASTE);
  EXPECT_EQ(TimeScale, 1.0f);
  player->person.carIndex = 0;
  Tick(0.05f, 0);
  Tick(0.05f, CMD_GALAHASTE);
  ASSERT_EQ(TimeScale, kSlowMotionScale);
  player->slots.Damage(player, nullptr, 1000, 1, &player->origin, 0, 0);
  EXPECT_EQ(TimeScale, 1.0f);
  EXPECT_EQ(player->person.slowMotionLevel, 0);
}

TEST_F(AiTest, SlowMotionEndsInACarAndWithItsLevelAndTheCarriedHeroArrivesAtFullSpeed) {
  GameObject* player = Stage(0, 0);
  auto slow = [] {
    Tick(0.05f, 0);
    Tick(0.05f, CMD_GALAHASTE);
    return TimeScale == kSlowMotionScale;
  };
  // Getting into a car ends it.
  ASSERT_TRUE(slow());
  player->person.carIndex = 1;
  Tick(0.025f, 0);
  EXPECT_EQ(TimeScale, 1.0f);
  EXPECT_EQ(player->person.slowMotionLevel, 0);
  player->person.carIndex = 0;
  // A level change late in a game: the hero is carried as a personage, slow motion is not.
  Game_PersonageCount = 1;
  Game_Personages[0] = GlobalPersonage{};
  std::snprintf(Game_Personages[0].person.name, sizeof Game_Personages[0].person.name, "player");
  Game_Time = 300;
  ASSERT_TRUE(slow());
  StoreGlobalPersonages();
  Level_Free();
  EXPECT_EQ(TimeScale, 1.0f) << "End game leaves no slow motion behind";
  GameObject* hero = Stage(0, 0);
  RestoreGlobalPersonages();
  EXPECT_EQ(TimeScale, 1.0f);
  EXPECT_EQ(hero->person.slowMotionLevel, 0);
  // The next press starts it afresh, for its whole time.
  ASSERT_TRUE(slow());
  for (int i = 0; i < 60; i++) Tick(0.025f, 0);
  EXPECT_EQ(TimeScale, kSlowMotionScale);
  Game_PersonageCount = 0;
}

TEST_F(AiTest, BadAreasGoalsAndWallsKeepWalkersOnTheGroundAndInsideTheirSet) {
  // Two areas that do not connect.
  NavWriterFile f;
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], -1000, -100, 400, 200, 1, 1, 0);
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], 400, -100, 400, 200, 1, 1, 0);
  LoadNav(f);
  Stage(0, 1000);
  GameObject* across = Walker(-800, 0, BOT_WALK_CIVILIAN, "a");
  across->bot.goals[0] = vec3{600, 0, 2};  // in the other area: the way leaves the set
  GameObject* nowhere = Walker(-700, 50, BOT_WALK_CIVILIAN, "b");
  nowhere->bot.goals[0] = vec3{-700, 5000, 2};  // outside every area
  GameObject* lost = Walker(0, 300, BOT_WALK_CIVILIAN, "c");  // starts outside every area
  GameObject* walled = Walker(-900, -50, BOT_WALK_POINTS, "d");
  walled->bot.goals[0] = vec3{-500, -50, 2};
  Solid(Spawn(WORLD, -700, -50, "wall"), {-4, -300, 0, 4, 300, 200});
  for (int i = 0; i < 600; i++) {
    Tick();
    for (GameObject* o : {across, nowhere}) {
      ASSERT_GE(AreaOf(NAV_CIVILIAN, o->origin), 0) << o->person.name << " tick " << i;
      ASSERT_NEAR(o->origin.z, 0, kOnGround) << o->person.name;
    }
    ASSERT_LT(walled->origin.x, -700) << "through the wall at tick " << i;
  }
  EXPECT_GE(AreaOf(NAV_CIVILIAN, lost->origin), 0) << "went back into the set";
  // A ledge: a walker does not step off the ground.
  Obj_ClearAll();
  ai_FreeAreas();
  GameObject* player = StartGame();
  player->origin = vec3{0, 1000, 0};
  Solid(Spawn(WORLD, 0, 0, "ground"), {-1000, -1000, -16, 0, 1000, 0});
  GameObject* edge = Walker(-100, 0, BOT_WALK_POINTS, "e");
  edge->bot.goals[0] = vec3{500, 0, 2};
  for (int i = 0; i < 100; i++) Tick();
  EXPECT_NEAR(edge->origin.z, 0, kOnGround);
  EXPECT_LE(edge->origin.x, 16.0f);
}

TEST_F(AiTest, TemplatesAndSpawnValuesAreCheckedAndHonoured) {
  GameObject* player = Stage(0, 0);
  // Absurd template values are refused one by one, the defaults kept.
  GameObject* o = Walker(0, 500, BOT_WALK_NONE, "odd");
  EXPECT_EQ(bot_SetTemplate(o, 9, -5, 1e12f, std::nanf("")), 0);
  EXPECT_EQ(o->bot.aggression, BOT_AGGRESSIVE_SHOT);
  EXPECT_EQ(o->bot.detectFov, 90);
  EXPECT_EQ(o->bot.detectDist, 1600);
  EXPECT_EQ(o->bot.minDist, kBotMinDistDefault);
  for (const char* line : {"aggression trigger 9 refused", "field of view of -5", "detection distance of 1e+12",
                           "minimum distance of nan"})
    EXPECT_NE(Log().find(line), std::string::npos) << line;
  bot_SetWalk(o, 7);
  EXPECT_EQ(o->bot.walk, BOT_WALK_NONE);
  EXPECT_NE(Log().find("bot_SetWalk: walking kind 7 refused"), std::string::npos);
  // A team name too long for the record, and a car no definition has.
  NpcSpawnValues v{};
  const std::string longTeam(40, 't');
  v.teamname = longTeam.c_str();
  v.car = "no such car";
  v.blocked = v.drawed = 1;
  GameObject* n = Npc_Spawn(&v);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->teamName[0], 0);
  EXPECT_EQ(n->person.vehicleState, 0);
  EXPECT_EQ(n->person.carIndex, 0);
  EXPECT_NE(Log().find("Npc_Spawn: the team name"), std::string::npos);
  EXPECT_NE(Log().find("Npc_Spawn: no car [no such car]"), std::string::npos);
  // Start states: a civilian walker, a patrol between its origin and its AI origin.
  Ent(R"({ "classname" "npc" "id" "patrol" "origin" "0 -300 0" "aistate" "PATROL_ORIGIN" "aiorigin" "400 -300 0" }
    { "classname" "npc" "id" "ghost" "origin" "200 -200 0" "blocked" "0" "drawed" "0" }
    { "classname" "npc" "id" "civ" "origin" "0 300 0" "aistate" "walk_civilian" })");
  GameObject* patrol = Person_FindByName("patrol");
  GameObject* ghost = Person_FindByName("ghost");
  GameObject* civ = Person_FindByName("civ");
  ASSERT_TRUE(patrol && ghost && civ);
  EXPECT_EQ(patrol->person.aiState, NPC_PATROL_ORIGIN);
  EXPECT_EQ(patrol->npcControl, 0);
  EXPECT_EQ(civ->bot.walk, BOT_WALK_CIVILIAN);
  EXPECT_EQ(patrol->bot.walk, BOT_WALK_POINTS);
  EXPECT_EQ(ghost->prop.solid, 0);
  EXPECT_EQ(ghost->prop.visible, 0);
  // The patrol walks to its AI origin and back; the ghost in its way does not stop it.
  ghost->origin = vec3{200, -300, 0};
  float farthest = 0;
  for (int i = 0; i < 150; i++) {
    Tick();
    farthest = std::max(farthest, patrol->origin.x);
  }
  EXPECT_NEAR(farthest, 400, 1) << "through the character that does not block";
  EXPECT_LT(patrol->origin.x, 300) << "on its way back";
  (void)player;
}

TEST_F(AiTest, TheSampleStreetsGangMemberWaitsAtHisPostAndFollowsTheHeroHeSees) {
  for (const auto& [name, bytes] : AiAssets_Files())
    tw_test::WriteBytes(name, bytes);
  std::string blocks;
  ASSERT_TRUE(Tool_EntityText(AiAssets_StreetBlocks(), &blocks));
  GameObject* player = Stage(0, 0);
  Ent(blocks.c_str());
  GameObject* thug = Person_FindByName("thug_1");
  ASSERT_NE(thug, nullptr);
  EXPECT_EQ(thug->origin.x, 2100);
  EXPECT_TRUE(ai_IsHostile(thug));
  for (int i = 0; i < 20; i++) Tick();
  EXPECT_EQ(thug->bot.engaged, 0) << "the hero at the start is out of his sight";
  EXPECT_EQ(thug->origin.x, 2100);
  player->origin = vec3{1700, -400, 0};  // on the road 720 units north-west of him
  for (int i = 0; i < 60; i++) Tick();
  EXPECT_EQ(thug->bot.engaged, BOT_ENGAGE_FOLLOW);
  EXPECT_NEAR(Dist2(thug->origin, player->origin), 120, 1);
}

TEST_F(AiTest, AWalkerStepsUpAKerbButNotAWall) {
  Stage(0, 1000);
  Solid(Spawn(WORLD, 0, 0, "kerb"), {0, -100, 0, 400, 100, 8});       // a pavement 8 units up
  Solid(Spawn(WORLD, 0, 0, "wall"), {-400, 200, 0, 400, 240, 40});   // too high to step
  GameObject* up = Walker(-200, 0, BOT_WALK_POINTS, "up");
  up->bot.goals[0] = vec3{200, 0, 10};
  GameObject* walled = Walker(0, 150, BOT_WALK_POINTS, "walled");
  walled->bot.goals[0] = vec3{0, 400, 2};
  for (int i = 0; i < 100; i++) Tick();  // 5 s: 400 units to walk
  EXPECT_NEAR(up->origin.x, 200, 0.5f);
  EXPECT_NEAR(up->origin.z, 8, kOnGround) << "on the pavement";
  EXPECT_LT(walled->origin.y, 200 - 16 + 0.5f) << "the wall holds";
  EXPECT_NEAR(walled->origin.z, 0, kOnGround);
}

int g_draws;
void CountDraw(ModelObject*, ModelDrawParams*, ViewParams*) { g_draws++; }

TEST_F(AiTest, AHiddenCharacterIsNotDrawn) {
  ModelObject counting{Model_NoQuery, CountDraw, Model_NoTrace, Model_NoFree, nullptr};
  for (int drawed : {1, 0}) {
    NpcSpawnValues v{};
    v.blocked = 1;
    v.drawed = drawed;
    GameObject* o = Npc_Spawn(&v);
    ASSERT_NE(o, nullptr);
    o->drawModel = &counting;
    g_draws = 0;
    o->slots.Draw(o, nullptr);
    EXPECT_EQ(g_draws, drawed) << "drawed " << drawed;
    o->drawModel = nullptr;
  }
}

}  // namespace

namespace {

TEST(AiSampleStreet, StreetPropsTurnInRadians) {
  std::string text = NavWriter_Text(NavWriter_SampleStreet());
  ASSERT_EQ(Nav_ReadText(text.data(), text.size(), "street.nav"), 1);
  int south = 0;
  for (int i = 0; i < Props_Grid.width * Props_Grid.height; i++)
    for (const StreetProp* p = Props_Grid.cells[i]; p; p = p->next) {
      EXPECT_GE(p->yaw, 0.0f);
      EXPECT_LT(p->yaw, 2 * kMathPi) << "a yaw in degrees at " << p->x << "," << p->y;
      if (p->kind == 0 && p->y < 0) {
        EXPECT_NEAR(p->yaw, kMathPi, 1e-5f) << "the south lamps face the road";
        south++;
      }
    }
  EXPECT_EQ(south, 6);
  ai_FreeAreas();
}

}  // namespace
