// Models and levels: loading a 500,000-vertex ".may" level from an archive against reading and
// inflating the same member (goal: within 3 times); phase-two skinning of 10,000 vertices with 4
// influences against a plain reference loop (goal: no slower; copying the output bytes is the
// ceiling); traces through the triangle tree against the set walk (goal: at least 50 times
// faster); the sample street drawn at the window's size on the test display against an empty
// frame's clear and swap (goal: within 8 times; frames a second shown, 60 as context). The
// ratios are printed beside their goals after the runs.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_street.h"
#include "foundation/file.h"
#include "foundation/mem.h"
#include "platform/gl_context_sdl.h"
#include "platform/gl_dispatch.h"
#include "platform/window.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/mp.h"
#include "scene/view.h"
#include "tools/model_writer.h"
#include "tools/sample_assets.h"
#include "tools/zipwriter.h"
#include "world/trace.h"

namespace fs = std::filesystem;

namespace {

const std::string& Folder() { return Bench_Folder("bench_level"); }

// A grid of quads: `cells` x `cells` per surface, one set per row, `surfaces` surfaces.
MayToolLevel GridLevel(int surfaces, int cells, float size) {
  MayToolLevel l;
  MayToolShader sh;
  sh.name = "ground";
  l.shaders.push_back(sh);
  l.objects.push_back({"ground"});
  for (int s = 0; s < surfaces; s++) {
    for (int row = 0; row < cells; row++) {
      std::vector<MayToolVertex> v;
      std::vector<uint16_t> t;
      for (int col = 0; col < cells; col++) {
        float x = col * size, y = (s * cells + row) * size;
        auto h = [](float a, float b) { return 20.0f * std::sin(a * 0.013f) * std::cos(b * 0.011f); };
        MayTool_Quad({x, y, h(x, y)}, {x + size, y, h(x + size, y)}, {x + size, y + size, h(x + size, y + size)},
                     {x, y + size, h(x, y + size)}, 1, 1, v, t);
      }
      MayTool_AddTriangles(l, 0, 0, v, t);
    }
  }
  MayTool_GroupSets(l);
  return l;
}

bool g_archiveReady;

void PrepareArchive() {
  if (g_archiveReady) return;
  Folder();
  // 8 surfaces of 125 x 125 quads of 4 vertices: 500,000 vertices.
  auto bytes = MayTool_Write(GridLevel(8, 125, 16));
  fs::create_directories("main");
  ZipWriter* w = ZipWriter_Create();
  ZipWriter_AddMember(w, "maps/big.may", bytes.data(), bytes.size(), ZIPW_DEFLATED);
  ZipWriter_FinishToFile(w, "main/data00.twk");
  File_Init();
  g_archiveReady = true;
}

void BM_LevelLoadFromArchive(benchmark::State& state) {
  PrepareArchive();
  for (auto _ : state) {
    MaylLevel* l = mayb_Load("maps\\big");
    if (!l) {
      state.SkipWithError("the level does not load");
      return;
    }
    mayb_FreeLevel(l);
  }
}
BENCHMARK(BM_LevelLoadFromArchive)->Unit(benchmark::kMillisecond);

void BM_LevelMemberInflate(benchmark::State& state) {
  PrepareArchive();
  for (auto _ : state) {
    uint32_t size = 0;
    void* p = File_LoadWhole("maps\\big.may", &size, "bench");
    benchmark::DoNotOptimize(p);
    Global_Free(p);
  }
}
BENCHMARK(BM_LevelMemberInflate)->Unit(benchmark::kMillisecond);

// ---- Skinning --------------------------------------------------------------------------------------

struct SkinData {
  std::vector<MpWeightedVertex> vertices;
  std::vector<MpFrame> frames;
  std::vector<uint8_t> out;
};

SkinData& Skin() {
  static SkinData d;
  if (!d.vertices.empty()) return d;
  d.frames.resize(32);
  for (size_t i = 0; i < d.frames.size(); i++) {
    vec3 a{0.1f * i, 0.05f * i, -0.03f * i};
    Mat_FromAngles(&d.frames[i].rot, &a);
    d.frames[i].pos = {float(i), 2.0f * i, -1.0f * i};
  }
  d.vertices.resize(10000);
  for (size_t i = 0; i < d.vertices.size(); i++) {
    MpWeightedVertex& v = d.vertices[i];
    v = MpWeightedVertex{};
    v.pos = {float(i % 100), float(i / 100), float(i % 7)};
    v.normal = {0, 0, 1};
    v.influenceCount = 4;
    for (int k = 0; k < 4; k++) v.influences[k] = {int32_t((i + 7 * k) % 32), 0.25f};
  }
  d.out.resize(d.vertices.size() * kMpDrawVertexSize);
  return d;
}

void BM_SkinPhaseTwo(benchmark::State& state) {
  SkinData& d = Skin();
  for (auto _ : state) {
    Model_SkinVertices(d.vertices.data(), int(d.vertices.size()), d.frames.data(), d.out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(d.vertices.size()));
}
BENCHMARK(BM_SkinPhaseTwo)->Unit(benchmark::kMicrosecond);

// The plain loop: the math library's transform per influence, summed.
void BM_SkinReference(benchmark::State& state) {
  SkinData& d = Skin();
  for (auto _ : state) {
    float* o = reinterpret_cast<float*>(d.out.data());
    for (const MpWeightedVertex& v : d.vertices) {
      vec3 p{0, 0, 0}, n{0, 0, 0};
      for (int k = 0; k < v.influenceCount; k++) {
        const MpFrame& f = d.frames[size_t(v.influences[k].frame)];
        vec3 tp, tn;
        Vec_Transform(&v.pos, &f.rot, &f.pos, &tp);
        Vec_Rotate(&v.normal, &f.rot, &tn);
        Vec_Scale(&tp, v.influences[k].weight, &tp);
        Vec_Scale(&tn, v.influences[k].weight, &tn);
        Vec_Add(&p, &tp, &p);
        Vec_Add(&n, &tn, &n);
      }
      float vtx[8] = {p.x, p.y, p.z, n.x, n.y, n.z, v.u, v.v};
      std::memcpy(o, vtx, sizeof vtx);
      o += 8;
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(d.vertices.size()));
}
BENCHMARK(BM_SkinReference)->Unit(benchmark::kMicrosecond);

void BM_SkinCopyCeiling(benchmark::State& state) {
  SkinData& d = Skin();
  std::vector<uint8_t> copy(d.out.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), d.out.data(), d.out.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SkinCopyCeiling)->Unit(benchmark::kMicrosecond);

// ---- Traces ----------------------------------------------------------------------------------------

struct TraceLevels {
  MaylLevel* tree = nullptr;
  MaylLevel* walk = nullptr;
  std::unique_ptr<ModelDrawParams> params;
};

TraceLevels& Traces() {
  static TraceLevels t;
  if (t.tree) return t;
  Folder();
  MayToolLevel l = GridLevel(2, 100, 24);  // 40,000 triangles in 200 sets
  auto bytes = MayTool_Write(l);
  FILE* f = std::fopen("traces.hmp", "wb");
  std::string hmp = MayTool_HmpText(128, 16);
  std::fwrite(hmp.data(), 1, hmp.size(), f);
  std::fclose(f);
  t.tree = mayb_LoadBytes(bytes.data(), bytes.size(), "traces", 1);
  t.walk = mayb_LoadBytes(bytes.data(), bytes.size(), "traces", 0);
  t.params = std::make_unique<ModelDrawParams>();
  return t;
}

void RunTraces(benchmark::State& state, MaylLevel* level) {
  TraceLevels& t = Traces();
  ModelObject model{mayb_Query, mayb_Draw, mayb_Trace, mayb_Free, level};
  uint32_t seed = 1;
  auto rnd = [&seed](float lo, float hi) {
    seed = seed * 1664525u + 1013904223u;
    return lo + (hi - lo) * float(seed >> 8) / float(1 << 24);
  };
  int hits = 0;
  for (auto _ : state) {
    TraceRequest rq{};
    rq.start = {rnd(0, 2400), rnd(0, 4800), 80};
    rq.end = {rq.start.x + rnd(-300, 300), rq.start.y + rnd(-300, 300), -40};
    rq.fraction = 1.0f;
    mayb_Trace(&model, t.params.get(), &rq);
    hits += rq.fraction < 1.0f;
  }
  state.counters["hits"] = double(hits) / double(state.iterations());
}

void BM_TraceTree(benchmark::State& state) { RunTraces(state, Traces().tree); }
BENCHMARK(BM_TraceTree)->Unit(benchmark::kMicrosecond);
void BM_TraceSetWalk(benchmark::State& state) { RunTraces(state, Traces().walk); }
BENCHMARK(BM_TraceSetWalk)->Unit(benchmark::kMicrosecond);

// ---- The sample street on the display ---------------------------------------------------------------

bool StartStreet() { return BenchStreet_Start(Folder(), "Tarnwick level bench"); }

void BM_StreetFrame(benchmark::State& state) {
  if (!StartStreet()) {
    state.SkipWithError("no OpenGL display or no street");
    return;
  }
  auto params = std::make_unique<ModelDrawParams>();
  params->scale = {1, 1, 1};
  ViewParams v = BenchStreet_View();
  for (auto _ : state) BenchStreet_DrawFrame(v, params.get());
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StreetFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EmptyClearAndSwap(benchmark::State& state) {
  if (!StartStreet()) {
    state.SkipWithError("no OpenGL display or no street");
    return;
  }
  for (auto _ : state) {
    gl.glClearColor(0.2f, 0.3f, 0.4f, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl.glFlush();
    Plat_Gl.swapWindow();
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EmptyClearAndSwap)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps each run's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (!r.error_occurred && r.iterations > 0) times[r.run_name.function_name] = r.real_accumulated_time / double(r.iterations);
  }
  std::map<std::string, double> times;
};

void PrintRatio(const RatioReporter& rep, const char* what, const char* a, const char* b, const char* goal) {
  auto ia = rep.times.find(a), ib = rep.times.find(b);
  if (ia == rep.times.end() || ib == rep.times.end() || ib->second <= 0) {
    std::printf("%-52s not measured (goal: %s)\n", what, goal);
    return;
  }
  std::printf("%-52s %8.2f   goal: %s\n", what, ia->second / ib->second, goal);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter rep;
  benchmark::RunSpecifiedBenchmarks(&rep);
  std::printf("\n");
  PrintRatio(rep, "level load / member read and inflate", "BM_LevelLoadFromArchive", "BM_LevelMemberInflate",
             "at most 3");
  PrintRatio(rep, "phase-two skinning / reference loop", "BM_SkinPhaseTwo", "BM_SkinReference", "at most 1");
  PrintRatio(rep, "phase-two skinning / copy of its output (ceiling)", "BM_SkinPhaseTwo", "BM_SkinCopyCeiling",
             "context only");
  PrintRatio(rep, "set walk / tree (trace speed-up)", "BM_TraceSetWalk", "BM_TraceTree", "at least 50");
  PrintRatio(rep, "street frame / empty clear and swap", "BM_StreetFrame", "BM_EmptyClearAndSwap", "at most 8");
  auto s = rep.times.find("BM_StreetFrame");
  if (s != rep.times.end() && s->second > 0)
    std::printf("%-52s %8.1f   context: 60\n", "street frames a second", 1.0 / s->second);
  benchmark::Shutdown();
  std::fflush(stdout);
  std::_Exit(0);
}
