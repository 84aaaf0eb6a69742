// Allocation cost of 32-byte blocks: the engine allocator against raw malloc, with tracking off
// and with tracking on while 50,000 blocks are live.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "foundation/mem.h"

static void BM_RawMalloc(benchmark::State& state) {
  for (auto _ : state) {
    void* p = std::malloc(32);
    benchmark::DoNotOptimize(p);
    std::free(p);
  }
}
BENCHMARK(BM_RawMalloc);

static void BM_GlobalMallocUntracked(benchmark::State& state) {
  Sys_Debug.debugMem = 0;
  for (auto _ : state) {
    void* p = Global_Malloc(32, "bench");
    benchmark::DoNotOptimize(p);
    Global_Free(p);
  }
}
BENCHMARK(BM_GlobalMallocUntracked);

static void BM_GlobalMallocTracked50k(benchmark::State& state) {
  Sys_Debug.debugMem = 1;
  Sys_Debug.printMem = 0;
  std::vector<void*> live;
  for (int i = 0; i < 50000; i++) live.push_back(Global_Malloc(32, "live"));
  for (auto _ : state) {
    void* p = Global_Malloc(32, "bench");
    benchmark::DoNotOptimize(p);
    Global_Free(p);
  }
  for (void* p : live) Global_Free(p);
  Sys_Debug.debugMem = 0;
  Global_ResetTracking();
}
BENCHMARK(BM_GlobalMallocTracked50k);
