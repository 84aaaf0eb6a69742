// Demo playback against live play: ticks a second replayed from a demo file against the same
// ticks run live while recording them (goal: at least 0.9).
//   build/bin/bench_demo
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "tools/save_maker.h"
#include "world/demo.h"
#include "world/game.h"
#include "world/object.h"
#include "world/tick.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_ReplayAgainstLive(benchmark::State& state) {
  char dir[] = "/tmp/tw_bench_demo_XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) return;
  const int ticks = int(state.range(0));
  double live = 0, replay = 0;
  for (auto _ : state) {
    Tool_MakeSmallGame(0);
    for (int i = 0; i < 500; i++) {
      GameObject* o = Obj_Alloc();
      o->classNum = i % 10 ? WORLD : NPC;
      Load_ObjectX(o);
      o->flags |= OBJ_ACTIVE;
      o->origin = vec3{float(i % 40) * 50, float(i / 40) * 50, 0};
    }
    StartDemo("bench");
    Clock::time_point t0 = Clock::now();
    for (int t = 0; t < ticks; t++) {
      Game_TickFrame = DemoFrame{0.02f, 0.001f * float(t % 7), 0, uint32_t(t % 5)};
      Game_Tick();
      Demo_WriteFrame(&Game_TickFrame);
    }
    Clock::time_point t1 = Clock::now();
    StartRecord();
    Demo_StartPlayback("bench");
    Clock::time_point t2 = Clock::now();
    for (int t = 0; t < ticks; t++) {
      Demo_ReadFrame(&Game_TickFrame);
      Game_Tick();
    }
    Clock::time_point t3 = Clock::now();
    EndDemo();
    live += Seconds(t1 - t0);
    replay += Seconds(t3 - t2);
  }
  state.counters["ratio"] = replay > 0 ? live / replay : 0;
  state.counters["goal"] = 0.9;
  Obj_ClearAll();
  std::system((std::string("rm -rf ") + dir).c_str());
}
BENCHMARK(BM_ReplayAgainstLive)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
