// The AI's world step for 200 walking characters on the sample street's areas (150 passers-by on
// the pavements, 50 cars on the road, swept against the street's own geometry) against the street
// drawn at the window's size in the same run (goal: the step under a quarter of the frame; the
// counter "ai_over_frame" reports the ratio). Without a display the benchmark reports an error.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "ai/bot.h"
#include "bench/bench_street.h"
#include "foundation/file.h"
#include "foundation/random.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/model.h"
#include "scene/view.h"
#include "tools/nav_writer.h"
#include "tools/sample_assets.h"
#include "world/game.h"
#include "world/object.h"
#include "world/tick.h"

namespace {

using Clock = std::chrono::steady_clock;

bool StartStreet() {
  static int state = 0;
  if (state) return state == 1;
  state = -1;
  char folder[] = "/tmp/bench_ai_XXXXXX";
  if (!mkdtemp(folder) || !BenchStreet_Start(folder, "Tarnwick AI bench")) return false;
  File_Init();
  state = 1;
  return true;
}

GameObject* Make(int classNum, const vec3& at) {
  GameObject* o = Obj_Alloc();
  o->classNum = classNum;
  Load_ObjectX(o);
  o->flags |= OBJ_ACTIVE;
  o->origin = at;
  o->mins = vec3{-16, -16, 0};
  o->maxs = vec3{16, 16, 64};
  o->person.state = 1;
  o->person.health = 100;
  return o;
}

struct Walker {
  GameObject* o;
  vec3 start;
};

// The street, the player in the middle of the road and the 200 walkers, all named so that none
// is released while the run lasts.
std::vector<Walker> BuildWorld() {
  Obj_ClearAll();
  Math_RandInit();
  std::string nav = NavWriter_Text(NavWriter_SampleStreet());
  Nav_ReadText(nav.data(), nav.size(), "street.nav");
  for (int32_t& cap : Nav_Level.caps) cap = 0;  // the same 200 throughout
  GameObject* level = Make(WORLD, vec3{0, 0, 0});
  level->drawModel = level->clipModel = BenchStreet_Scene.street;
  level->prop.solid = 1;
  Obj_Player = Make(MACHINEPLAYER, kSampleStreet.start);
  std::snprintf(Obj_Player->person.name, sizeof Obj_Player->person.name, "player");
  Game_Running = 1;
  std::vector<Walker> walkers;
  for (int i = 0; i < 200; i++) {
    const bool car = i % 4 == 3;
    float x = -2000 + 4000 * Math_RandNext();
    float y = car ? (i % 8 == 3 ? 360.0f : -360.0f) : (i % 2 ? 700.0f : -700.0f);
    vec3 at{x, y, car ? 0.0f : 8.0f};
    GameObject* o = Make(NPC, at);
    std::snprintf(o->person.name, sizeof o->person.name, "walker%d", i);
    o->person.vehicleState = car;
    bot_Setup(o, "*");
    bot_SetWalk(o, car ? BOT_WALK_CAR : BOT_WALK_CIVILIAN);
    walkers.push_back(Walker{o, at});
  }
  return walkers;
}

void BM_AiStepAgainstStreetFrame(benchmark::State& state) {
  if (!StartStreet()) {
    state.SkipWithError("no OpenGL display or no street");
    return;
  }
  std::vector<Walker> walkers = BuildWorld();
  auto params = std::make_unique<ModelDrawParams>();
  params->scale = {1, 1, 1};
  ViewParams v = BenchStreet_View();
  double ai = 0, frame = 0, moved = 0;
  for (auto _ : state) {
    // The tick's lists and grid for this step (it steps the AI too, untimed).
    for (Walker& w : walkers) {
      float dx = w.o->origin.x - Obj_Player->origin.x, dy = w.o->origin.y - Obj_Player->origin.y;
      if (dx * dx + dy * dy > 2300.0f * 2300.0f) w.o->origin = w.start;
    }
    Game_TickFrame = DemoFrame{0.02f, 0, 0, 0};
    Game_Tick();
    const vec3 before = walkers[0].o->origin;
    Clock::time_point t0 = Clock::now();
    ai_Tick();
    Clock::time_point t1 = Clock::now();
    BenchStreet_DrawFrame(v, params.get());
    Clock::time_point t2 = Clock::now();
    moved += std::hypot(walkers[0].o->origin.x - before.x, walkers[0].o->origin.y - before.y);
    ai += std::chrono::duration<double>(t1 - t0).count();
    frame += std::chrono::duration<double>(t2 - t1).count();
  }
  const double n = double(state.iterations());
  state.counters["ai_ms"] = n > 0 ? 1000 * ai / n : 0;
  state.counters["frame_ms"] = n > 0 ? 1000 * frame / n : 0;
  state.counters["ai_over_frame"] = frame > 0 ? ai / frame : 0;
  state.counters["goal"] = 0.25;
  state.counters["walked_per_step"] = n > 0 ? moved / n : 0;
  Obj_ClearAll();
  ai_FreeAreas();
  ai_Invalidate();
}
BENCHMARK(BM_AiStepAgainstStreetFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
