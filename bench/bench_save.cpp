// Saving and loading a game of 1,000 objects against writing and reading the same bytes with
// plain write/read in the same folder, both synced to the disk (goal: the save and load within 2
// times, ratio at least 0.5; the load's Physics_Settle is timed apart and left out).
//   build/bin/bench_save
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "physics/physics.h"
#include "tools/save_maker.h"
#include "world/object.h"
#include "world/save.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void MakeGame(int objects) {
  Tool_MakeSmallGame(0);
  while (Obj_Count() < objects) {
    GameObject* o = Obj_Alloc();
    o->classNum = WORLD;
    Load_ObjectX(o);
    o->origin = vec3{float(Obj_Count()), 3, 0};
  }
}

void RawWriteRead(const std::vector<uint8_t>& bytes) {
  int fd = open("save/raw.tmp", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::abort();
  fsync(fd);
  close(fd);
  rename("save/raw.tmp", "save/raw.sav");
  int dir = open("save", O_RDONLY | O_DIRECTORY);
  fsync(dir);
  close(dir);
  std::vector<uint8_t> back(bytes.size());
  fd = open("save/raw.sav", O_RDONLY);
  if (read(fd, back.data(), back.size()) != ssize_t(back.size())) std::abort();
  close(fd);
  benchmark::DoNotOptimize(back.data());
}

void BM_SaveAndLoadAgainstWriteAndRead(benchmark::State& state) {
  char dir[] = "/tmp/tw_bench_save_XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) return;
  Tool_WriteSmallLevel();
  MakeGame(int(state.range(0)));
  Save("bench");
  const std::vector<uint8_t> bytes = Save_SnapshotBytes();
  double game = 0, raw = 0, settle = 0;
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    Save("bench");
    Save_LoadSlot("bench");
    Clock::time_point t1 = Clock::now();
    Physics_Settle();
    Clock::time_point t2 = Clock::now();
    RawWriteRead(bytes);
    Clock::time_point t3 = Clock::now();
    game += Seconds(t1 - t0);
    settle += Seconds(t2 - t1);
    raw += Seconds(t3 - t2);
  }
  double gameWithoutSettle = game - settle;
  state.counters["ratio"] = gameWithoutSettle > 0 ? raw / gameWithoutSettle : 0;
  state.counters["goal"] = 0.5;
  state.counters["settle_ms"] = settle / double(state.iterations()) * 1000.0;
  Obj_ClearAll();
  std::system((std::string("rm -rf ") + dir).c_str());
}
BENCHMARK(BM_SaveAndLoadAgainstWriteAndRead)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
