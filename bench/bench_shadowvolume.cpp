// The shadow-volume mesh of a 5,000-triangle closed model: the hashed build against the
// exhaustive scans. Goal: at least 50 times faster, with the same output.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "bench/bench_models.h"
#include "scene/bu.h"
#include "tools/bu_writer.h"

namespace {

// A torus of 50 x 50 quads: closed, every edge shared by two triangles.
BuModel* LoadTorus() {
  BuToolModel model;
  model.shaders.push_back({"torus", {}});
  model.objects.push_back(BenchModel_Torus(50, 50));
  if (!BuTool_Save("torus.bu", model)) return nullptr;
  return bu_Load("torus");
}

struct VolumeCopy {
  std::vector<int32_t> neighbours;
  std::vector<uint16_t> indices;
  std::vector<int32_t> edges;
};

VolumeCopy Copy(const BuVolume* v) {
  VolumeCopy c;
  c.neighbours.assign(v->neighbours, v->neighbours + 4 * v->triangleCount);
  c.indices.assign(v->indices, v->indices + 24 * v->triangleCount);
  for (int i = 0; i < v->edgeCount; ++i) c.edges.insert(c.edges.end(), {v->edges[i].triangle, v->edges[i].neighbour});
  return c;
}

bool Same(const VolumeCopy& a, const VolumeCopy& b) {
  return a.neighbours == b.neighbours && a.indices == b.indices && a.edges == b.edges;
}

void BM_ShadowVolume_HashedAgainstQuadratic_goal50x(benchmark::State& state) {
  BuModel* model = LoadTorus();
  if (!model || !model->header->volume || model->header->volume->triangleCount != 5000) {
    state.SkipWithError("no torus model");
    return;
  }
  using Clock = std::chrono::steady_clock;
  auto t0 = Clock::now();
  bu_BuildShadowVolumeQuadratic(model);
  double quadratic = std::chrono::duration<double>(Clock::now() - t0).count();
  VolumeCopy reference = Copy(model->header->volume);
  double hashed = 0;
  int64_t runs = 0;
  for (auto _ : state) {
    auto t = Clock::now();
    bu_BuildShadowVolume(model);
    hashed += std::chrono::duration<double>(Clock::now() - t).count();
    ++runs;
  }
  if (!Same(reference, Copy(model->header->volume))) state.SkipWithError("the two builds differ");
  state.counters["quadratic_ms"] = quadratic * 1e3;
  state.counters["hashed_ms"] = runs ? hashed / double(runs) * 1e3 : 0;
  state.counters["ratio"] = runs && hashed > 0 ? quadratic / (hashed / double(runs)) : 0;
  bu_FreeModel(model);
}
BENCHMARK(BM_ShadowVolume_HashedAgainstQuadratic_goal50x)->Unit(benchmark::kMillisecond);

}  // namespace
