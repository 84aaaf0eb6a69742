// One think of a player running along a wall of the sample level against one swept-box trace of
// the same level, in one run (goal: the think costs at most 8 traces; the ratio reports the
// think's cost in traces).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "characters/actions.h"
#include "characters/player.h"
#include "scene/model.h"
#include "tools/model_writer.h"
#include "world/game.h"
#include "world/object.h"
#include "world/tick.h"

namespace {

using Clock = std::chrono::steady_clock;

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void BM_PlayerThinkAgainstOneTrace(benchmark::State& state) {
  char folder[] = "/tmp/bench_charactersXXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) {
    state.SkipWithError("no temporary folder");
    return;
  }
  WriteBytes("street.may", MayTool_Write(MayTool_SampleLevel()));
  std::string hmp = MayTool_HmpText(64, 8);
  WriteBytes("street.hmp", std::vector<uint8_t>(hmp.begin(), hmp.end()));
  Obj_ClearAll();
  Model_Reset();
  Model_AddLoader(mayb_CreateModel);
  GameObject* level = Obj_Alloc();
  level->classNum = WORLD;
  Load_ObjectX(level);
  level->flags = OBJ_ACTIVE;
  level->clipModel = Model_Get("street");
  GameObject* p = Obj_Alloc();
  p->classNum = MACHINEPLAYER;
  Load_ObjectX(p);
  p->flags = OBJ_ACTIVE;
  Obj_Player = p;
  Game_Running = 1;
  // Facing +X along the wall at y = 50, pressing into it while running.
  p->angles = vec3{kMathPi / 2, 0, 0};
  Game_TickFrame = DemoFrame{0.01f, 0, 0, CMD_FORWARD | CMD_STRAFE_LEFT};
  const vec3 mins{-16, -16, 0}, maxs{16, 16, 64};
  double think = 0, trace = 0;
  TraceResult r;
  for (auto _ : state) {
    if (p->origin.x > 70 || p->origin.x < -90) p->origin = vec3{-80, 30, 0};
    vec3 start{p->origin.x, p->origin.y, p->origin.z + 1}, end{start.x + 3.2f, start.y + 1.0f, start.z};
    Clock::time_point t0 = Clock::now();
    Player_Think(p);
    Clock::time_point t1 = Clock::now();
    Player_TraceMove(&start, &end, &mins, &maxs, p, &r);
    Clock::time_point t2 = Clock::now();
    benchmark::DoNotOptimize(r.fraction);
    think += std::chrono::duration<double>(t1 - t0).count();
    trace += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["traces_per_think"] = trace > 0 ? think / trace : 0;
  state.counters["goal"] = 8;
  Obj_ClearAll();
  Model_Reset();
  std::remove("street.may");
  std::remove("street.hmp");
  std::remove("street.hmp_cache");
  if (chdir("/tmp") == 0) rmdir(folder);
}
BENCHMARK(BM_PlayerThinkAgainstOneTrace)->Unit(benchmark::kMicrosecond);

}  // namespace
