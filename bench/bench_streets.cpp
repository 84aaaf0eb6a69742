// Streets: the population step's candidates on 4,000 civilian areas and 4,000 road pieces with 400
// near civilians, against the step as plainly written (every area, every near object; goal: at
// least 4 times as fast, the same candidates in the same order); and the proximity of 500 shots
// and 50 mines among 200 characters by the tick's cell grid (the tick that builds it included)
// against a scan of every object (goal: at least 2 times as fast). Each reports its ratio beside
// its goal.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ai/bot.h"
#include "foundation/random.h"
#include "tools/nav_writer.h"
#include "world/game.h"
#include "world/object.h"
#include "world/population.h"
#include "world/projectile.h"
#include "world/tick.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// ---- The population step, plainly --------------------------------------------------------------

bool Plain_Blocked(const vec3& p, double clearance, GameObject* const* near, int count) {
  for (int i = 0; i < count; i++) {
    const GameObject* o = near[i];
    if (!(o->flags & OBJ_ACTIVE)) continue;
    double dx = double(o->origin.x) - p.x, dy = double(o->origin.y) - p.y, dz = double(o->origin.z) - p.z;
    if (dx * dx + dy * dy + dz * dz < clearance * clearance) return true;
  }
  return false;
}

bool Plain_Towards(const vec3& p, const vec3& a, const vec3& b) {
  return (double(a.x) - p.x) * (double(b.x) - p.x) + (double(a.y) - p.y) * (double(b.y) - p.y) > 0;
}

vec3 Plain_Inward(const vec3& p, const vec3& centre) {
  vec3 d, out;
  Vec_Subtract(&centre, &p, &d);
  Vec_Normalize(&d);
  Vec_Add(&p, &d, &out);
  return out;
}

// The portal's ends in the area's order; false when the edge has no area across.
bool Plain_Portal(const AreaSet& set, const NavEdge& e, vec3* first, vec3* second) {
  const NavSegment& s = set.segments[size_t(e.segment)];
  if ((e.side == 0 ? s.areaB : s.areaA) == -1) return false;
  *first = set.vertices[size_t(e.side == 0 ? s.v1 : s.v0)];
  *second = set.vertices[size_t(e.side == 0 ? s.v0 : s.v1)];
  return true;
}

int Plain_Candidates(int kind, const vec3& c, GameObject* const* near, int nearCount, PopCandidate* out) {
  const AreaSet& set = Nav_Level.sets[kind];
  int count = 0;
  for (const NavArea& area : set.areas) {
    if (kind == NAV_CIVILIAN) {
      for (int e = 0; e < area.edgeCount; e++) {
        const NavSegment& s = set.segments[size_t(set.edges[size_t(area.firstEdge + e)].segment)];
        const vec3 p0 = set.vertices[size_t(s.v0)], p1 = set.vertices[size_t(s.v1)];
        float t[2];
        int n = Math_SegmentSphere(&p0, &p1, &c, kPopRingRadius, t);
        for (int r = 0; r < n; r++) {
          vec3 p{p0.x + t[r] * (p1.x - p0.x), p0.y + t[r] * (p1.y - p0.y), p0.z + t[r] * (p1.z - p0.z)};
          p.z += kPopCivilianRaise;
          if (Plain_Blocked(p, kPopCivilianClearance, near, nearCount)) continue;
          for (int j = 0; j < area.edgeCount; j++) {
            vec3 a, b;
            if (!Plain_Portal(set, set.edges[size_t(area.firstEdge + j)], &a, &b)) continue;
            vec3 m{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, (a.z + b.z) * 0.5f};
            if (Plain_Towards(p, c, m) && count < kPopCandidates) out[count++] = PopCandidate{Plain_Inward(p, area.centre), m};
          }
        }
      }
      continue;
    }
    vec3 ends[3][2];
    int portals = 0;
    for (int e = 0; e < area.edgeCount && portals < 3; e++)
      portals += Plain_Portal(set, set.edges[size_t(area.firstEdge + e)], &ends[portals][0], &ends[portals][1]);
    if (portals != 2) continue;
    const vec3 &A0 = ends[0][0], &A1 = ends[0][1], &B0 = ends[1][0], &B1 = ends[1][1];
    const vec3 lanes[2][2] = {
        {{0.8f * A0.x + 0.2f * A1.x, 0.8f * A0.y + 0.2f * A1.y, 0.8f * A0.z + 0.2f * A1.z},
         {0.2f * B0.x + 0.8f * B1.x, 0.2f * B0.y + 0.8f * B1.y, 0.2f * B0.z + 0.8f * B1.z}},
        {{0.8f * B0.x + 0.2f * B1.x, 0.8f * B0.y + 0.2f * B1.y, 0.8f * B0.z + 0.2f * B1.z},
         {0.2f * A0.x + 0.8f * A1.x, 0.2f * A0.y + 0.8f * A1.y, 0.2f * A0.z + 0.8f * A1.z}}};
    for (const auto& lane : lanes) {
      const vec3 &S = lane[0], &E = lane[1];
      float t[2];
      int n = Math_SegmentSphere(&S, &E, &c, kPopRingRadius, t);
      for (int r = 0; r < n; r++) {
        vec3 p{S.x + t[r] * (E.x - S.x), S.y + t[r] * (E.y - S.y), S.z + t[r] * (E.z - S.z)};
        if (Plain_Blocked(p, kPopCarClearance, near, nearCount)) continue;
        if (Plain_Towards(p, E, c) && count < kPopCandidates) out[count++] = PopCandidate{Plain_Inward(p, area.centre), E};
      }
    }
  }
  return count;
}

// 4,000 pavement squares of 100, 40 roads of 100 pieces, 400 unnamed characters within the near
// radius of the player at the origin.
std::vector<GameObject*> Streets_Build() {
  Obj_ClearAll();
  NavWriterFile f;
  NavWriter_AddGrid(f.sets[NAV_CIVILIAN], -4000, -2500, 100, 100, 80, 50, 0);
  for (int road = 0; road < 40; road++) NavWriter_AddGrid(f.sets[NAV_CARS], -4000, -2500 + 125.0f * road, 80, 100, 100, 1, 0);
  std::string text = NavWriter_Text(f);
  Nav_ReadText(text.data(), text.size(), "bench.nav");
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(0, 1);
  std::vector<GameObject*> near;
  GameObject* player = Obj_Alloc();
  player->classNum = MACHINEPLAYER;
  player->flags = OBJ_ACTIVE;
  near.push_back(player);
  for (int i = 0; i < 400; i++) {
    GameObject* o = Obj_Alloc();
    o->classNum = NPC;
    o->flags = OBJ_ACTIVE;
    float r = 2400 * std::sqrt(unit(rng)), a = 6.2831853f * unit(rng);
    o->origin = vec3{r * std::sin(a), r * std::cos(a), 0};
    near.push_back(o);
  }
  return near;
}

bool SameCandidates(const PopCandidate* a, int na, const PopCandidate* b, int nb) {
  return na == nb && std::memcmp(a, b, sizeof(PopCandidate) * size_t(na)) == 0;
}

void BM_PopulationAgainstPlainStep(benchmark::State& state) {
  std::vector<GameObject*> near = Streets_Build();
  const vec3 players[] = {{0, 0, 0}, {310, -220, 0}, {-480, 405, 0}, {150, 260, 0}};
  PopCandidate fast[kPopCandidates], plain[kPopCandidates];
  int found = 0;
  for (const vec3& at : players)
    for (int kind : {NAV_CIVILIAN, NAV_CARS}) {
      int a = Pop_Candidates(kind, &at, near.data(), int(near.size()), fast);
      int b = Plain_Candidates(kind, at, near.data(), int(near.size()), plain);
      if (!SameCandidates(fast, a, plain, b)) {
        state.SkipWithError("the grid and the plain step disagree");
        return;
      }
      found += a;
    }
  double grid = 0, scan = 0;
  size_t sink = 0;
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    for (const vec3& at : players)
      for (int kind : {NAV_CIVILIAN, NAV_CARS}) sink += size_t(Pop_Candidates(kind, &at, near.data(), int(near.size()), fast));
    Clock::time_point t1 = Clock::now();
    for (const vec3& at : players)
      for (int kind : {NAV_CIVILIAN, NAV_CARS}) sink += size_t(Plain_Candidates(kind, at, near.data(), int(near.size()), plain));
    Clock::time_point t2 = Clock::now();
    grid += Seconds(t1 - t0);
    scan += Seconds(t2 - t1);
  }
  benchmark::DoNotOptimize(sink);
  state.counters["candidates"] = found;
  state.counters["ratio"] = grid > 0 ? scan / grid : 0;
  state.counters["goal"] = 4;
  ai_FreeAreas();
  Obj_ClearAll();
}
BENCHMARK(BM_PopulationAgainstPlainStep)->Unit(benchmark::kMicrosecond);

// ---- Shot proximity ------------------------------------------------------------------------------

bool Scan_SomethingNear(const GameObject* shot, float radius) {
  for (GameObject* c = Obj_ListHead; c; c = c->next) {
    if (c == shot || c == Obj_Player || !(c->flags & OBJ_ACTIVE) || (c->bot.acfFlags & ACF_NO_MINE_TARGET)) continue;
    if (c->classNum != NPC && c->classNum != MACHINEPLAYER) continue;
    double dx = double(c->origin.x) - shot->origin.x, dy = double(c->origin.y) - shot->origin.y,
           dz = double(c->origin.z) - shot->origin.z;
    if (dx * dx + dy * dy + dz * dz < double(radius) * radius) return true;
  }
  return false;
}

void BM_ShotProximityGridAgainstScan(benchmark::State& state) {
  Obj_ClearAll();
  Math_RandInit();
  Game_Running = 1;
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> spread(-1500, 1500), height(0, 64);
  auto make = [&](int cls, bool bind) {
    GameObject* o = Obj_Alloc();
    o->classNum = cls;
    if (bind) Load_ObjectX(o);
    o->flags = OBJ_ACTIVE;
    o->origin = vec3{spread(rng), spread(rng), cls == PULKA ? height(rng) : 0};
    o->mins = vec3{-16, -16, 0};
    o->maxs = vec3{16, 16, 64};
    return o;
  };
  Obj_Player = make(MACHINEPLAYER, true);
  Obj_Player->origin = vec3{0, 0, 0};
  for (int i = 0; i < 200; i++) make(NPC, true);
  // Shots keep the empty operations: the tick lists them, and the benchmark asks for them.
  std::vector<std::pair<GameObject*, float>> shots;
  for (int i = 0; i < 550; i++) shots.emplace_back(make(PULKA, false), i < 500 ? 40.0f : 150.0f);
  Game_TickFrame = DemoFrame{0.02f, 0, 0, 0};
  Game_Tick();
  int hits = 0;
  for (const auto& [shot, radius] : shots) {
    bool a = Pulka_SomethingNear(shot, radius), b = Scan_SomethingNear(shot, radius);
    if (a != b) {
      state.SkipWithError("the grid and the scan disagree");
      return;
    }
    hits += a;
  }
  double grid = 0, scan = 0;
  size_t sink = 0;
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    Game_Tick();  // builds the lists and the grid
    for (const auto& [shot, radius] : shots) sink += Pulka_SomethingNear(shot, radius);
    Clock::time_point t1 = Clock::now();
    for (const auto& [shot, radius] : shots) sink += Scan_SomethingNear(shot, radius);
    Clock::time_point t2 = Clock::now();
    grid += Seconds(t1 - t0);
    scan += Seconds(t2 - t1);
  }
  benchmark::DoNotOptimize(sink);
  state.counters["hits"] = hits;
  state.counters["ratio"] = grid > 0 ? scan / grid : 0;
  state.counters["goal"] = 2;
  Obj_ClearAll();
  Game_Running = 0;
}
BENCHMARK(BM_ShotProximityGridAgainstScan)->Unit(benchmark::kMicrosecond);

}  // namespace
