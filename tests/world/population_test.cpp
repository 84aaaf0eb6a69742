// Street population on generated area sets: the ring cut, day and night, road pieces, clearance,
// the candidate limit, and whole ticks that spawn from template files onto the ground.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ai/bot.h"
#include "characters/defs.h"
#include "foundation/random.h"
#include "tools/nav_writer.h"
#include "world/entity.h"
#include "world/population.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;

void Discard(const char*, size_t, void*) {}

class PopulationTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Ent_SetOutput(Discard, nullptr);
    Math_RandInit();
  }
  void TearDown() override {
    ai_FreeAreas();
    Ent_SetOutput(nullptr, nullptr);
    WorldTest::TearDown();
  }
  static void Load(const NavWriterFile& f) {
    std::string text = NavWriter_Text(f);
    ASSERT_EQ(Nav_ReadText(text.data(), text.size(), "test.nav"), 1);
  }
  static std::vector<PopCandidate> Candidates(int kind, std::vector<GameObject*> near = {}) {
    std::vector<PopCandidate> out(kPopCandidates);
    const vec3 player{0, 0, 0};
    out.resize(size_t(Pop_Candidates(kind, &player, near.data(), int(near.size()), out.data())));
    return out;
  }
  static double Distance(const vec3& a, const vec3& b) {
    return std::sqrt(double(a.x - b.x) * (a.x - b.x) + double(a.y - b.y) * (a.y - b.y) + double(a.z - b.z) * (a.z - b.z));
  }
};

TEST(PopulationMath, SegmentSphereKeepsOnlyInnerRootsInOrder) {
  struct Seg {
    const char* what;
    vec3 p0, p1;
    std::vector<float> t;
  };
  const Seg segs[] = {
      {"crosses once", {0, 0, 0}, {20, 0, 0}, {0.5f}},
      {"through: far root first", {-20, 0, 0}, {20, 0, 0}, {0.75f, 0.25f}},
      {"starts on the ring", {10, 0, 0}, {30, 0, 0}, {}},
      {"ends on the ring", {30, 0, 0}, {10, 0, 0}, {}},
      {"inside to the ring", {0, 0, 0}, {0, 10, 0}, {}},
      {"tangent", {-20, 10, 0}, {20, 10, 0}, {0.5f}},
      {"misses", {-20, 11, 0}, {20, 11, 0}, {}},
      {"a point", {10, 0, 0}, {10, 0, 0}, {}},
      {"in z", {0, 0, -20}, {0, 0, 0}, {0.5f}},
  };
  const vec3 centre{0, 0, 0};
  for (const Seg& s : segs) {
    float t[2];
    int n = Math_SegmentSphere(&s.p0, &s.p1, &centre, 10, t);
    ASSERT_EQ(n, int(s.t.size())) << s.what;
    for (int i = 0; i < n; i++) EXPECT_FLOAT_EQ(t[i], s.t[size_t(i)]) << s.what;
  }
}

TEST_F(PopulationTest, NightAtWholeMinutesAndTheCapOfTheTimeOfDay) {
  NavWriterFile f;
  f.templates[1] = {"day"};
  f.caps[1] = 5;
  f.caps[2] = 2;
  Load(f);
  struct Row {
    double clock;
    bool day;
  };
  for (const Row& r : {Row{0, false}, Row{0.1, true}, Row{29.9, true}, Row{30, false}, Row{59.9, false},
                       Row{60, false}, Row{120, false}, Row{75, true}, Row{-45, true}}) {
    EXPECT_EQ(Pop_IsDay(r.clock), r.day) << r.clock;
    EXPECT_EQ(Pop_CivilianCap(r.clock), 5) << "no night templates: the day cap, " << r.clock;
  }
  f.templates[2] = {"night"};
  Load(f);
  EXPECT_EQ(Pop_CivilianCap(60), 2);
  EXPECT_EQ(Pop_CivilianCap(10), 5);
  f.caps[2] = 0;
  Load(f);
  EXPECT_EQ(Pop_CivilianCap(60), 5) << "a night cap of 0 keeps the day list";
}

// Road pieces of 1000 x 1200 along x; the ring crosses the piece from x = 1800.
TEST_F(PopulationTest, OnlyRoadPiecesWithTwoPortalsCarryLanesTowardsThePlayer) {
  struct Row {
    const char* what;
    int pieces;       // in the strip from x = 800 (or 1800 with one piece before the ring)
    float firstX;
    bool sidePiece;   // a third neighbour above the piece at 1800..2800
    int candidates;
  };
  const Row rows[] = {{"pieces with one portal", 2, 1800, false, 0},
                      {"a piece between two others", 3, 800, false, 1},
                      {"a piece with three portals", 3, 800, true, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    NavWriterFile f;
    NavWriter_AddGrid(f.sets[NAV_CARS], r.firstX, -600, 1000, 1200, r.pieces, 1, 0);
    if (r.sidePiece) {
      auto& s = f.sets[NAV_CARS];
      int base = int(s.vertices.size());
      s.vertices.push_back({1800, 1600, 0});
      s.vertices.push_back({2800, 1600, 0});
      // The strip's top vertices are numbered after its bottom row: (1800, 600) is pieces + 2.
      s.areas.push_back({r.pieces + 2, r.pieces + 3, base + 1, base});
    }
    Load(f);
    std::vector<PopCandidate> c = Candidates(NAV_CARS);
    ASSERT_EQ(int(c.size()), r.candidates);
    for (const PopCandidate& p : c) {
      // The lane 20 % in from the kerb that runs towards -x, and its end at the far portal.
      EXPECT_NEAR(std::fabs(p.position.y), 360, 1.01f);
      EXPECT_FLOAT_EQ(p.target.x, 1800);
      EXPECT_LT(p.target.x, p.position.x);
      EXPECT_NEAR(Distance(p.position, vec3{0, 0, 0}), kPopRingRadius, 1.01);
    }
  }
}

TEST_F(PopulationTest, NoCandidateNearANearObjectAndAtMost64) {
  // Pavement squares of 80 around the player, and a road strip crossing the ring on both sides.
  NavWriterFile f;
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], -2480, -2480, 80, 80, 62, 62, 8);
  NavWriter_AddGrid(f.sets[NAV_CARS], -3800, -600, 1000, 1200, 8, 1, 0);
  Load(f);
  std::vector<PopCandidate> all = Candidates(NAV_CIVILIAN);
  ASSERT_EQ(all.size(), size_t(kPopCandidates));
  for (const PopCandidate& c : all) EXPECT_NEAR(c.position.z, 8 + kPopCivilianRaise, 1.01f);
  ASSERT_EQ(Candidates(NAV_CARS).size(), 2u);  // one lane on each side runs towards the player
  PopCandidate none[kPopCandidates];
  const vec3 lost{std::nanf(""), 0, 0};
  EXPECT_EQ(Pop_Candidates(NAV_CIVILIAN, &lost, nullptr, 0, none), 0) << "a player lost in space spawns nothing";

  // A small set: a ring of squares gives fewer than 64; near objects clear their surroundings.
  f = NavWriterFile{};
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], 2200, -300, 150, 150, 1, 4, 0);
  NavWriter_AddGrid(f.sets[NAV_CARS], -3800, -600, 1000, 1200, 8, 1, 0);
  Load(f);
  all = Candidates(NAV_CIVILIAN);
  ASSERT_GT(all.size(), 2u);
  ASSERT_LT(all.size(), size_t(kPopCandidates));
  struct Row {
    int kind;
    float offset;  // from the first candidate, in z (so the distance is three-dimensional)
    float clearance;
  };
  for (const Row& r : {Row{NAV_CIVILIAN, 150, kPopCivilianClearance}, Row{NAV_CARS, 900, kPopCarClearance}}) {
    std::vector<PopCandidate> free = Candidates(r.kind);
    ASSERT_FALSE(free.empty());
    GameObject* o = Spawn(NPC);
    o->origin = vec3{free[0].position.x, free[0].position.y, free[0].position.z + r.offset};
    std::vector<PopCandidate> cleared = Candidates(r.kind, {o});
    EXPECT_LT(cleared.size(), free.size());
    for (const PopCandidate& c : cleared) EXPECT_GE(Distance(c.position, o->origin), r.clearance - 1.5);
    o->flags &= ~OBJ_ACTIVE;
    EXPECT_EQ(Candidates(r.kind, {o}).size(), free.size()) << "inactive objects do not count";
    o->flags |= OBJ_ACTIVE;
    o->origin.z += r.clearance;  // now beyond the clearance above the spot
    EXPECT_EQ(Candidates(r.kind, {o}).size(), free.size());
  }

  // A square whose corner touches the ring and nothing else gives no spot.
  f = NavWriterFile{};
  f.sets[NAV_CIVILIAN].vertices = {{2280, 0, 0}, {2380, 0, 0}, {2380, 100, 0}, {2280, 100, 0}, {2380, -100, 0}};
  f.sets[NAV_CIVILIAN].areas = {{0, 1, 2, 3}, {0, 4, 1}};
  Load(f);
  EXPECT_TRUE(Candidates(NAV_CIVILIAN).empty());

  // Areas whose indices leave their set are left out, with a line; the others still count.
  f = NavWriterFile{};
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], 2200, -300, 150, 150, 1, 4, 0);
  Load(f);
  size_t whole = Candidates(NAV_CIVILIAN).size();
  AreaSet& set = Nav_Level.sets[NAV_CIVILIAN];
  set.edges[0].segment = 1 << 20;
  set.areas[3].edgeCount = 1000;
  Nav_Level.generation++;
  EXPECT_LT(Candidates(NAV_CIVILIAN).size(), whole);
  EXPECT_NE(Log().find("Pop_Update: 2 areas with indices outside their set are left out"), std::string::npos);
}

// Whole ticks on a ground slab: templates from files, one of each kind a tick, none at the cap.
TEST_F(PopulationTest, TicksSpawnOneCivilianAndOneCarEachUpToTheCapsOnTheGround) {
  tw_test::WriteFile("tpl/walker.scn", R"({ "classname" "npc" "name" "npc\walker" "speedframe" "2" })");
  tw_test::WriteFile("tpl/car.scn", R"({ "classname" "npc" "name" "cars\body" "car" "runabout" })");
  NavWriterFile f;
  // A pavement wide enough that a passer-by, set clear of its edge, leaves the ring's other
  // crossings free for the next.
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], -3000, 700, 500, 300, 12, 1, 0);
  NavWriter_AddGrid(f.sets[NAV_CARS], -3800, -600, 1000, 1200, 8, 1, 0);
  f.templates[0] = {"tpl\\car"};
  f.templates[1] = {"tpl\\walker"};
  f.caps[0] = 1;
  f.caps[1] = 3;
  Load(f);
  // The car template's car must exist, or its character goes on foot.
  const int32_t carCount = Def_CarCount;
  const CarDef car1 = Def_Cars[1];
  std::snprintf(Def_Cars[1].name, sizeof Def_Cars[1].name, "runabout");
  Def_CarCount = 2;
  GameObject* player = StartGame();
  Solid(Spawn(WORLD, 0, 0, "ground"), {-4000, -4000, -16, 4000, 4000, 0});
  struct Row {
    int netMode;
    uint32_t cameraSequence;
    int civilians, cars;  // near after the tick
  };
  const Row rows[] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 1}, {0, 0, 2, 1}, {0, 0, 3, 1}, {0, 0, 3, 1}};
  int tick = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(tick++);
    Game_NetMode = r.netMode;
    Game_SpecialFlag = r.cameraSequence;
    player->person.clock = 10;  // day
    Game_TickFrame = DemoFrame{0.05f, 0, 0, 0};
    Game_Tick();
    int civilians = 0, cars = 0;
    for (GameObject* o = Obj_ListHead; o; o = o->next) {
      if (o->classNum != NPC) continue;
      (o->person.vehicleState ? cars : civilians)++;
      EXPECT_EQ(o->person.name[0], 0) << "population objects are unnamed";
      EXPECT_NEAR(o->origin.z, 0, 0.05f) << "stands on the ground";
      EXPECT_EQ(o->prevOrigin.z, o->origin.z);
      // Spawned on the ring, then walking (or driving) towards the player since.
      EXPECT_NEAR(Distance(o->origin, player->origin), kPopRingRadius, 40 + kBotCarSpeed * 0.05f * float(tick));
      EXPECT_FLOAT_EQ(o->bot.goals[0].z, 2.0f);  // the target on the ground, raised by 2
      if (!o->person.vehicleState) EXPECT_EQ(o->bot.civilianArea, ai_FindAreaAtPoint(&Nav_Level.sets[0], &o->origin.x, -1));
    }
    EXPECT_EQ(civilians, r.civilians);
    EXPECT_EQ(cars, r.cars);
  }
  EXPECT_EQ(Tick_CiviliansNear, 3);
  EXPECT_EQ(Tick_CarsNear, 1);
  Def_Cars[1] = car1;
  Def_CarCount = carCount;
}

}  // namespace
