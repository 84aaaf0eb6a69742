// The level triangle tree on a 100,000-triangle city block: rays of game length (and long ones),
// box collection, swept boxes, the build and the cache load, each beside what it is measured
// against (Embree 3 when installed, testing every triangle, reading the cache's bytes). After the
// runs, each ratio is printed beside its goal.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/mem.h"
#include "scene/du.h"
#include "scene/may.h"
#include "scene/tritree.h"
#include "tools/scene_writer.h"
#include "world/trace.h"

#include <fstream>

#ifdef TW_HAVE_EMBREE
#include <embree3/rtcore.h>
#endif

namespace {

struct Rng {
  uint32_t s;
  float Next() {
    s = s * 1664525u + 1013904223u;
    return float(s >> 8) / float(1u << 24);
  }
  float Range(float lo, float hi) { return lo + (hi - lo) * Next(); }
};

struct Segment {
  vec3 start, end;
};

std::string g_folder;  // private working folder, removed at the end

struct World {
  std::vector<TriTreeTriangle> tris = SceneTool_CityBlock();
  TriTree tree{};
  std::vector<Segment> shortRays, longRays, sweeps;
  std::vector<std::pair<vec3, vec3>> boxes;
  World() {
    char dir[] = "/tmp/bench_tritree_XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
    g_folder = dir;
    tree.triangleCount = int32_t(tris.size());
    tree.triangles = tris.data();
    TriTree_BuildOrLoad(&tree, "city", 0, 0);
    Rng rng{17};
    auto segments = [&](std::vector<Segment>& out, float minLen, float maxLen) {
      for (int i = 0; i < 4096; ++i) {
        vec3 s{rng.Range(0, 4000), rng.Range(0, 4000), rng.Range(0, 600)};
        vec3 d{rng.Range(-1, 1), rng.Range(-1, 1), rng.Range(-0.6f, 0.3f)};
        Vec_Normalize(&d);
        float len = rng.Range(minLen, maxLen);
        out.push_back({s, {s.x + d.x * len, s.y + d.y * len, s.z + d.z * len}});
      }
    };
    segments(shortRays, 16, 512);
    segments(longRays, 2000, 6000);
    segments(sweeps, 16, 512);
    for (int i = 0; i < 4096; ++i) {
      vec3 c{rng.Range(0, 4000), rng.Range(0, 4000), rng.Range(0, 400)};
      float r = rng.Range(16, 96);
      boxes.push_back({{c.x - r, c.y - r, c.z - r}, {c.x + r, c.y + r, c.z + r}});
    }
  }
};

World& TheWorld() {
  static World w;
  return w;
}

TraceRequest Request(const Segment& s, float box) {
  TraceRequest r{};
  r.start = r.localStart = s.start;
  r.end = r.localEnd = s.end;
  Vec_Subtract(&s.end, &s.start, &r.localDelta);
  Vec_Cross(&s.start, &s.end, &r.localMoment);
  r.localMins = {-box, -box, -box};
  r.localMaxs = {box, box, box};
  r.fraction = 1;
  return r;
}

void TreeRays(benchmark::State& state, const std::vector<Segment>& rays) {
  World& w = TheWorld();
  size_t i = 0, hits = 0;
  for (auto _ : state) {
    TraceRequest r = Request(rays[i++ & 4095], 0);
    TriTree_Trace(&w.tree, &r);
    hits += r.fraction < 1;
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  state.counters["hit share"] = double(hits) / double(state.iterations());
}
void BM_TreeRays(benchmark::State& state) { TreeRays(state, TheWorld().shortRays); }
void BM_TreeLongRays(benchmark::State& state) { TreeRays(state, TheWorld().longRays); }
BENCHMARK(BM_TreeRays);
BENCHMARK(BM_TreeLongRays);

void BM_TreeSweptBoxes(benchmark::State& state) {
  World& w = TheWorld();
  size_t i = 0;
  for (auto _ : state) {
    TraceRequest r = Request(w.sweeps[i++ & 4095], 16);
    TriTree_Trace(&w.tree, &r);
    benchmark::DoNotOptimize(r.fraction);
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_TreeSweptBoxes);

void BM_EveryTriangleSweptBoxes(benchmark::State& state) {
  World& w = TheWorld();
  size_t i = 0;
  for (auto _ : state) {
    TraceRequest r = Request(w.sweeps[i++ & 4095], 16);
    for (TriTreeTriangle& t : w.tris)
      TriTree_BoxTriangle(&w.tree, 0, t.v[0], t.v[1], t.v[2], &r, &t, t.surface);
    benchmark::DoNotOptimize(r.fraction);
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_EveryTriangleSweptBoxes)->Iterations(200);

void BM_TreeCollectBox(benchmark::State& state) {
  World& w = TheWorld();
  std::vector<int32_t> out(w.tris.size());
  size_t i = 0, found = 0;
  for (auto _ : state) {
    const auto& b = w.boxes[i++ & 4095];
    int count = 0;
    TriTree_CollectBox(&w.tree, &b.first.x, &b.second.x, 0, out.data(), &count, int(out.size()));
    found += size_t(count);
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  state.counters["triangles"] = double(found) / double(state.iterations());
}
BENCHMARK(BM_TreeCollectBox);

void BM_TreeBuild(benchmark::State& state) {
  World& w = TheWorld();
  for (auto _ : state) {
    std::remove("build.hmp_cache");
    TriTree t{};
    t.triangleCount = w.tree.triangleCount;
    t.triangles = w.tris.data();
    TriTree_BuildOrLoad(&t, "build", 0, 0);
    TriTree_FreeNodes(&t);
  }
}
BENCHMARK(BM_TreeBuild)->Unit(benchmark::kMillisecond)->Iterations(5);

// The worst cases a review found: 2,000 overlapping triangles in a 13 KB ".du" with ".hmp"
// "0.001 1", and 2,100 stacked 4,000-unit ".may" triangles with "1 1". Each load builds the tree
// (the cache is removed first); the counters give the cache's size and its bytes per triangle.
void HostileLoad(benchmark::State& state, const char* name, const std::vector<uint8_t>& bytes, const char* hmp,
                 int triangles, bool du) {
  TheWorld();  // the private folder
  std::ofstream(std::string(name) + ".hmp") << hmp;
  std::ofstream(std::string(name) + ".du", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  for (auto _ : state) {
    std::remove((std::string(name) + ".hmp_cache").c_str());
    if (du) {
      DuLevel* level = du_Load(name);
      if (!level) state.SkipWithError("the level did not load");
      du_FreeLevel(level);
    } else {
      MaylLevel* level = mayb_LoadBytes(bytes.data(), bytes.size(), name, 1);
      if (!level) state.SkipWithError("the level did not load");
      mayb_FreeLevel(level);
    }
  }
  std::error_code ec;
  double cache = double(std::filesystem::file_size(std::string(name) + ".hmp_cache", ec));
  state.counters["cache_bytes"] = cache;
  state.counters["cache_bytes_per_triangle"] = cache / triangles;
}
void BM_HostileDuLoad(benchmark::State& state) { HostileLoad(state, "overlap", SceneTool_OverlappingDu(2000), "0.001 1", 2000, true); }
BENCHMARK(BM_HostileDuLoad)->Unit(benchmark::kMillisecond);
void BM_HostileMayLoad(benchmark::State& state) { HostileLoad(state, "stacked", SceneTool_StackedMay(2100), "1 1", 2100, false); }
BENCHMARK(BM_HostileMayLoad)->Unit(benchmark::kMillisecond);

void BM_TreeCacheLoad(benchmark::State& state) {
  World& w = TheWorld();
  for (auto _ : state) {
    TriTree t{};
    t.triangleCount = w.tree.triangleCount;
    t.triangles = w.tris.data();
    TriTree_BuildOrLoad(&t, "city", 0, 0);
    TriTree_FreeNodes(&t);
  }
}
BENCHMARK(BM_TreeCacheLoad)->Unit(benchmark::kMillisecond);

void BM_CacheBytesRead(benchmark::State& state) {
  TheWorld();
  for (auto _ : state) {
    uint32_t size = 0;
    void* bytes = File_LoadWhole("city.hmp_cache", &size, "bench");
    benchmark::DoNotOptimize(bytes);
    Global_Free(bytes);
  }
}
BENCHMARK(BM_CacheBytesRead)->Unit(benchmark::kMillisecond);

#ifdef TW_HAVE_EMBREE
struct EmbreeScene {
  RTCDevice device = rtcNewDevice("threads=1");
  RTCScene scene = nullptr;
  void Build(const std::vector<TriTreeTriangle>& tris) {
    scene = rtcNewScene(device);
    RTCGeometry g = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
    auto* v = static_cast<float*>(rtcSetNewGeometryBuffer(g, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                          3 * sizeof(float), tris.size() * 3));
    auto* idx = static_cast<unsigned*>(rtcSetNewGeometryBuffer(g, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                               3 * sizeof(unsigned), tris.size()));
    for (size_t t = 0; t < tris.size(); ++t)
      for (int k = 0; k < 3; ++k) {
        for (int c = 0; c < 3; ++c) v[(t * 3 + size_t(k)) * 3 + size_t(c)] = tris[t].v[k][c];
        idx[t * 3 + size_t(k)] = unsigned(t * 3 + size_t(k));
      }
    rtcCommitGeometry(g);
    rtcAttachGeometry(scene, g);
    rtcReleaseGeometry(g);
    rtcCommitScene(scene);
  }
  void Release() {
    if (scene) rtcReleaseScene(scene);
    scene = nullptr;
  }
};

EmbreeScene& TheEmbree() {
  static EmbreeScene e = [] {
    EmbreeScene s;
    s.Build(TheWorld().tris);
    return s;
  }();
  return e;
}

void EmbreeRays(benchmark::State& state, const std::vector<Segment>& rays) {
  EmbreeScene& e = TheEmbree();
  RTCIntersectContext ctx;
  rtcInitIntersectContext(&ctx);
  size_t i = 0, hits = 0;
  for (auto _ : state) {
    const Segment& s = rays[i++ & 4095];
    RTCRayHit rh{};
    rh.ray.org_x = s.start.x, rh.ray.org_y = s.start.y, rh.ray.org_z = s.start.z;
    rh.ray.dir_x = s.end.x - s.start.x, rh.ray.dir_y = s.end.y - s.start.y, rh.ray.dir_z = s.end.z - s.start.z;
    rh.ray.tnear = 0;
    rh.ray.tfar = 1;
    rh.ray.mask = ~0u;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(e.scene, &ctx, &rh);
    hits += rh.hit.geomID != RTC_INVALID_GEOMETRY_ID;
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  state.counters["hit share"] = double(hits) / double(state.iterations());
}
void BM_EmbreeRays(benchmark::State& state) { EmbreeRays(state, TheWorld().shortRays); }
void BM_EmbreeLongRays(benchmark::State& state) { EmbreeRays(state, TheWorld().longRays); }
BENCHMARK(BM_EmbreeRays);
BENCHMARK(BM_EmbreeLongRays);

struct Gather {
  const std::vector<TriTreeTriangle>* tris;
  const float* lo;
  const float* hi;
  std::vector<int32_t>* out;
};

bool GatherTriangle(RTCPointQueryFunctionArguments* args) {
  auto* g = static_cast<Gather*>(args->userPtr);
  const TriTreeTriangle& t = (*g->tris)[args->primID];
  for (int k = 0; k < 3; ++k)
    if (std::fmin(t.v[0][k], std::fmin(t.v[1][k], t.v[2][k])) > g->hi[k] ||
        std::fmax(t.v[0][k], std::fmax(t.v[1][k], t.v[2][k])) < g->lo[k])
      return false;
  g->out->push_back(int32_t(args->primID));
  return false;
}

void BM_EmbreePointQueryBox(benchmark::State& state) {
  EmbreeScene& e = TheEmbree();
  World& w = TheWorld();
  std::vector<int32_t> out;
  out.reserve(w.tris.size());
  size_t i = 0, found = 0;
  for (auto _ : state) {
    const auto& b = w.boxes[i++ & 4095];
    out.clear();
    Gather g{&w.tris, &b.first.x, &b.second.x, &out};
    RTCPointQuery q;
    q.x = (b.first.x + b.second.x) / 2, q.y = (b.first.y + b.second.y) / 2, q.z = (b.first.z + b.second.z) / 2;
    q.time = 0;
    q.radius = std::sqrt(3.0f) * (b.second.x - b.first.x) / 2;
    RTCPointQueryContext ctx;
    rtcInitPointQueryContext(&ctx);
    rtcPointQuery(e.scene, &q, &ctx, GatherTriangle, &g);
    found += out.size();
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
  state.counters["triangles"] = double(found) / double(state.iterations());
}
BENCHMARK(BM_EmbreePointQueryBox);

void BM_EmbreeCommitScene(benchmark::State& state) {
  World& w = TheWorld();
  EmbreeScene& e = TheEmbree();
  for (auto _ : state) {
    EmbreeScene s;
    s.device = e.device;
    s.Build(w.tris);
    s.Release();
  }
}
BENCHMARK(BM_EmbreeCommitScene)->Unit(benchmark::kMillisecond)->Iterations(5);
#endif

// Keeps each benchmark's real time per iteration for the ratio lines.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.iterations > 0) seconds[r.benchmark_name()] = r.real_accumulated_time / double(r.iterations);
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& s = reporter.seconds;
  // ours / theirs as "how many times their speed" for rates, or time ratio for one-off costs.
  auto line = [&](const char* what, const char* ours, const char* theirs, bool rate, const char* goal) {
    if (!s.count(ours) || !s.count(theirs)) return;
    double r = rate ? s[theirs] / s[ours] : s[ours] / s[theirs];
    std::printf("%-48s %8.3f   goal %s\n", what, r, goal);
  };
  std::printf("\nratios\n");
  line("rays <= 512 units: tree / Embree rays a second", "BM_TreeRays", "BM_EmbreeRays", true, ">= 0.25");
  line("long rays: tree / Embree rays a second", "BM_TreeLongRays", "BM_EmbreeLongRays", true, "(reported)");
  line("box collection: tree / Embree point query", "BM_TreeCollectBox", "BM_EmbreePointQueryBox", true, ">= 0.5");
  line("swept boxes: tree / every triangle", "BM_TreeSweptBoxes", "BM_EveryTriangleSweptBoxes/iterations:200", true, ">= 50");
  line("build: tree time / rtcCommitScene time", "BM_TreeBuild/iterations:5", "BM_EmbreeCommitScene/iterations:5", false, "<= 20");
  line("cache load time / reading its bytes", "BM_TreeCacheLoad", "BM_CacheBytesRead", false, "<= 2");
  if (!g_folder.empty()) std::filesystem::remove_all(g_folder);
  return 0;
}
