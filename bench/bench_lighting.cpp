// Facing masks and volume lists of a 10,000-triangle model for 8 lights, against a per-light
// silhouette search that tests both triangle planes of every edge. Goal: at least 2 times faster,
// with the same lists. Lit frames a second on the running driver are printed as context.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "bench/bench_models.h"
#include "bench/lit_bench.h"
#include "foundation/var.h"
#include "render/render.h"
#include "scene/bu_lighting.h"
#include "support/lit_scene.h"
#include "tools/bu_writer.h"

namespace {

// A torus of 50 x 100 quads: 10,000 triangles, closed.
BuToolModel Torus() {
  BuToolModel model;
  model.shaders.push_back({"torus", {"white", "", "", ""}});
  model.textureFolder = "b\\";
  model.objects.push_back(BenchModel_Torus(50, 100));
  return model;
}

bool FacesAway(const float* posed, const uint32_t* tri, const vec3& light) {
  const float *p0 = posed + 4 * tri[0], *p1 = posed + 4 * tri[1], *p2 = posed + 4 * tri[2];
  vec3 a{p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]}, b{p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]}, nrm;
  Vec_Cross(&a, &b, &nrm);
  vec3 q{p0[0], p0[1], p0[2]};
  return Vec_Dot(&nrm, &light) - Vec_Dot(&nrm, &q) < 0;
}

// The search without shared masks: every triangle's and every edge's planes per light.
int PlaneSearch(const BuModel* m, const vec3& light, uint16_t* out) {
  const BuHeader* h = m->header;
  const BuVolume* vol = h->volume;
  const float* posed = bu_PosedVolumePoints(m);
  const BuObject& obj = h->objects[0];
  const int triangles = obj.indexCount / 3;
  int n = 0;
  for (int i = 0; i < triangles; ++i)
    if (FacesAway(posed, h->volumeIndices + 3 * i, light))
      for (int k = 0; k < 6; ++k) out[n++] = vol->indices[6 * i + k];
  for (int e = 0; e < obj.quadCount; ++e) {
    const BuEdge& edge = vol->edges[e];
    const uint16_t* q = vol->indices + 6 * triangles + 6 * e;
    bool a = FacesAway(posed, h->volumeIndices + 3 * edge.triangle, light);
    bool b = edge.neighbour >= 0 && FacesAway(posed, h->volumeIndices + 3 * edge.neighbour, light);
    if (edge.neighbour < 0 ? !a : a == b) continue;
    const uint16_t r[6] = {q[1], q[0], q[2], q[3], q[5], q[4]};
    for (int k = 0; k < 6; ++k) out[n++] = a ? q[k] : r[k];
  }
  return n;
}

void BM_Lighting_MasksAndListsAgainstPlaneSearch_goal2x(benchmark::State& state) {
  BuTool_Save("torus.bu", Torus());
  BuModel* m = bu_Load("torus");
  if (!m || !m->header->volume || m->header->volume->triangleCount != 10000) {
    state.SkipWithError("no torus model");
    bu_FreeModel(m);
    return;
  }
  ModelDrawParams* params = tw_test::LitScene_NewParams(0, 0, 0);
  BuInstanceState* s = bu_InstanceState(m, params);
  bu_PoseVolume(m, s->box);
  std::vector<ViewLight> lights(8);
  for (int i = 0; i < 8; ++i) {
    double a = 2 * M_PI * i / 8;
    lights[i].key = i + 1;
    lights[i].position = {float(160 * std::cos(a)), float(160 * std::sin(a)), float(40 + 10 * i)};
    lights[i].radius = 1000;
  }
  ViewParams view{};
  view.lights = lights.data();
  view.lightCount = 8;
  bu_GatherLights(m, params, &view, s);
  std::vector<uint16_t> ours(size_t(bu_VolumeListCapacity(m))), theirs(ours.size());
  using Clock = std::chrono::steady_clock;
  double fast = 0, slow = 0;
  int64_t runs = 0;
  bool same = true;
  for (auto _ : state) {
    auto t0 = Clock::now();
    bu_ComputeFacing(m, s);
    int64_t total = 0;
    for (int i = 0; i < s->litCount; ++i) total += bu_BuildVolumeList(m, 0, s->facing, 1 << i, 1, 1, ours.data());
    benchmark::DoNotOptimize(total);
    auto t1 = Clock::now();
    int64_t baseline = 0;
    for (int i = 0; i < s->litCount; ++i) baseline += PlaneSearch(m, s->litPosition[i], theirs.data());
    benchmark::DoNotOptimize(baseline);
    auto t2 = Clock::now();
    same &= total == baseline;
    fast += std::chrono::duration<double>(t1 - t0).count();
    slow += std::chrono::duration<double>(t2 - t1).count();
    ++runs;
  }
  int n = bu_BuildVolumeList(m, 0, s->facing, 1 << 7, 1, 1, ours.data());
  same &= n == PlaneSearch(m, s->litPosition[7], theirs.data()) &&
          std::equal(ours.begin(), ours.begin() + n, theirs.begin());
  if (!same) state.SkipWithError("the two searches give different lists");
  state.counters["masks_lists_ms"] = runs ? fast / double(runs) * 1e3 : 0;
  state.counters["plane_search_ms"] = runs ? slow / double(runs) * 1e3 : 0;
  state.counters["ratio"] = fast > 0 ? slow / fast : 0;
  tw_test::LitScene_FreeParams(params);
  bu_FreeModel(m);
}
BENCHMARK(BM_Lighting_MasksAndListsAgainstPlaneSearch_goal2x)->Unit(benchmark::kMillisecond);

// Context only: whole lit frames (depth pass, volume and light pass of one light) of the torus.
void BM_Lighting_LitFramesOnTheDriver(benchmark::State& state) {
  if (!LitBench_Start(state, "Tarnwick lighting bench")) return;
  tw_test::BumpSettings settings;
  Var_SetValue(&render_bump_shadows, 2);
  BuTool_Save("torus.bu", Torus());
  ModelObject* torus = bu_CreateModel("torus");
  if (!torus) {
    state.SkipWithError("no torus model");
    return;
  }
  ModelDrawParams* params = tw_test::LitScene_NewParams(0, 0, 0);
  tw_test::LitScene scene;
  scene.eye = {0, -400, 200};
  scene.angles = {0, -0.45f, 0};
  ViewLight light{};
  light.key = 1;
  light.position = {0, 0, 200};
  light.colour[0] = light.colour[1] = light.colour[2] = 1;
  light.radius = 600;
  scene.lights.push_back(light);
  scene.instances.push_back({torus, params});
  LitBench_DrawFrames(state, &scene);
  torus->Free(&torus);
  tw_test::LitScene_FreeParams(params);
}
BENCHMARK(BM_Lighting_LitFramesOnTheDriver)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
