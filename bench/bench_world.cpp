// The tick against a bare loop over the same objects calling Think and Animate (goal: the tick
// runs at least 0.4 of the bare loop's rate), and the cell grid of 1,000 near characters built
// from the tick's near list and queried with one 64-unit box each, against all-pairs box tests
// over the same list (goal: at least 10 times as fast; the rest of the tick is not timed). Each
// benchmark reports its ratio beside its goal.
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <vector>

#include "foundation/random.h"
#include "world/game.h"
#include "world/object.h"
#include "world/tick.h"

namespace {

using Clock = std::chrono::steady_clock;

void World_Build(int objects) {
  Obj_ClearAll();
  Math_RandInit();
  std::mt19937 rng(3);
  Game_Running = 1;
  for (int i = 0; i < objects; i++) {
    GameObject* o = Obj_Alloc();
    bool character = i % 10 == 0;
    o->classNum = i == 0 ? MACHINEPLAYER : (character ? NPC : WORLD);
    Load_ObjectX(o);
    o->flags = OBJ_ACTIVE;
    float spread = character ? 1600.0f : 20000.0f;
    o->origin = vec3{(float(rng() % 1000) / 500.0f - 1) * spread, (float(rng() % 1000) / 500.0f - 1) * spread, 0};
    o->mins = vec3{-16, -16, 0};
    o->maxs = vec3{16, 16, 64};
    if (i == 0) {
      o->origin = vec3{0, 0, 0};
      Obj_Player = o;
    }
  }
  Game_TickFrame = DemoFrame{0.02f, 0, 0, 0};
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_TickAgainstBareLoop(benchmark::State& state) {
  World_Build(int(state.range(0)));
  std::vector<GameObject*> all;
  for (GameObject* o = Obj_ListHead; o; o = o->next) all.push_back(o);
  double tick = 0, bare = 0;
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    Game_Tick();
    Clock::time_point t1 = Clock::now();
    for (GameObject* o : all) {
      if (!(o->flags & OBJ_ACTIVE)) continue;
      o->slots.Think(o);
      o->slots.Animate(o);
    }
    Clock::time_point t2 = Clock::now();
    tick += Seconds(t1 - t0);
    bare += Seconds(t2 - t1);
  }
  state.counters["ratio"] = tick > 0 ? bare / tick : 0;
  state.counters["goal"] = 0.4;
  Obj_ClearAll();
}
BENCHMARK(BM_TickAgainstBareLoop)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

bool Overlaps(const GameObject* a, const vec3& lo, const vec3& hi) {
  return a->origin.x + a->mins.x <= hi.x && a->origin.x + a->maxs.x >= lo.x && a->origin.y + a->mins.y <= hi.y &&
         a->origin.y + a->maxs.y >= lo.y;
}

void BM_GridAgainstAllPairs(benchmark::State& state) {
  World_Build(10000);  // every tenth a character near the player: 1,000
  Game_Tick();
  std::vector<GameObject*> near(Tick_NearList.items, Tick_NearList.items + Tick_NearList.count);
  std::vector<GameObject*> found(256);
  double grid = 0, pairs = 0;
  size_t hits = 0;
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    Tick_BuildGrid();  // the grid alone: both ways start from the tick's near list
    for (GameObject* o : near) {
      vec3 lo{o->origin.x - 32, o->origin.y - 32, 0}, hi{o->origin.x + 32, o->origin.y + 32, 0};
      hits += size_t(Tick_GridCollect(&lo, &hi, found.data(), int(found.size())));
    }
    Clock::time_point t1 = Clock::now();
    for (GameObject* o : near) {
      vec3 lo{o->origin.x - 32, o->origin.y - 32, 0}, hi{o->origin.x + 32, o->origin.y + 32, 0};
      for (GameObject* other : near) hits += Overlaps(other, lo, hi);
    }
    Clock::time_point t2 = Clock::now();
    grid += Seconds(t1 - t0);
    pairs += Seconds(t2 - t1);
  }
  benchmark::DoNotOptimize(hits);
  state.counters["near"] = double(near.size());
  state.counters["ratio"] = grid > 0 ? pairs / grid : 0;
  state.counters["goal"] = 10;
  Obj_ClearAll();
}
BENCHMARK(BM_GridAgainstAllPairs)->Unit(benchmark::kMicrosecond);

}  // namespace
