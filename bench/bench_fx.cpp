// Effects: Fx_Update over 2,048 live records against a std::vector of the same records updated
// and pruned with erase-remove (goal: at least as fast, ratio >= 1, and no allocation); the
// lightning bolt's 2,000-point rebuild and draw against the same triangles sent one by one
// (goal: ratio >= 1.5). Each reports its ratio beside its goal; the draw needs a display.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "bench/bench_window.h"
#include "platform/window.h"
#include "render/render.h"
#include "world/beam.h"
#include "world/fx.h"
#include "world/game.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct PlainFx {
  bool live;
  float life, start, duration;
  vec3 position, velocity, acceleration;
};

void Fill() {
  Fx_Reset();
  for (int i = 0; i < kFxRecords; i++) {
    FxRecord* fx = Fx_Alloc();
    fx->active = 1;
    fx->duration = 1e6f;  // live for the whole run; a few finish each round below
    fx->velocity = {1, 2, 3};
    fx->acceleration = {0, 0, -9.8f};
  }
}

void BM_FxUpdateAgainstVector(benchmark::State& state) {
  Fill();
  std::vector<PlainFx> plain(kFxRecords, PlainFx{true, 0, 0, 1e6f, {}, {1, 2, 3}, {0, 0, -9.8f}});
  Game_Step = 0.01;
  Game_Time = 0;
  double pool = 0, vec = 0;
  for (auto _ : state) {
    Game_Time += Game_Step;
    Clock::time_point t0 = Clock::now();
    Fx_Update();
    Clock::time_point t1 = Clock::now();
    const float dt = float(Game_Step);
    for (PlainFx& f : plain) {
      f.position.x += dt * f.velocity.x;
      f.velocity.x += dt * f.acceleration.x;
      f.position.y += dt * f.velocity.y;
      f.velocity.y += dt * f.acceleration.y;
      f.position.z += dt * f.velocity.z;
      f.velocity.z += dt * f.acceleration.z;
      f.life = float((Game_Time - f.start) / f.duration);
      if (f.life > 1) f.live = false;
    }
    plain.erase(std::remove_if(plain.begin(), plain.end(), [](const PlainFx& f) { return !f.live; }), plain.end());
    Clock::time_point t2 = Clock::now();
    pool += Seconds(t1 - t0);
    vec += Seconds(t2 - t1);
    benchmark::DoNotOptimize(plain.data());
  }
  state.counters["ratio"] = pool > 0 ? vec / pool : 0;
  state.counters["goal"] = 1.0;
  Fx_Reset();
}
BENCHMARK(BM_FxUpdateAgainstVector)->Unit(benchmark::kMicrosecond);

void BM_BoltRebuildAndDraw(benchmark::State& state) {
  if (!BenchWindow_Open("Tarnwick effects bench")) {
    state.SkipWithError("no OpenGL display");
    return;
  }
  auto* bolt = new LightningRecord{};
  const vec3 start{0, 50, 0}, end{0, 8050, 0}, up{0, 0, 1};
  Ltn_SetEnds(bolt, &start, &end, &up);
  Ltn_Start(bolt, 1.0f);
  static ImmVertex triangles[kLtnPoints * kLtnRibbons * 6];
  const float angles[3] = {0, 0, 0}, origin[3] = {0, 0, 0};
  float time = 2.0f;
  double arrays = 0, single = 0;
  for (auto _ : state) {
    Render_BeginFrame(0, 0, Plat_WindowWidth(), Plat_WindowHeight());
    Render_Clear(1, 0, 0, 0);
    Render_SetPerspective(90, 32000, 1);
    Render_SetCamera(angles, origin);
    time += 0.02f;
    Clock::time_point t0 = Clock::now();
    Ltn_Update(bolt, time);
    Ltn_Render(bolt);
    Render_EndFrame(1, 0);
    Clock::time_point t1 = Clock::now();
    bolt->stepBuilt = 0;  // the same rebuild, then the triangles one by one
    Ltn_Update(bolt, time);
    int n = Ltn_FillTriangles(bolt, triangles);
    FxDraw_Begin();
    for (int i = 0; i + 2 < n; i += 3) Render_DrawTriangle(&triangles[i], &triangles[i + 1], &triangles[i + 2]);
    FxDraw_End();
    Render_EndFrame(1, 0);
    Clock::time_point t2 = Clock::now();
    arrays += Seconds(t1 - t0);
    single += Seconds(t2 - t1);
  }
  state.counters["segments"] = Ltn_DrawnSegments(bolt);
  state.counters["ratio"] = arrays > 0 ? single / arrays : 0;
  state.counters["goal"] = 1.5;
  delete bolt;
}
BENCHMARK(BM_BoltRebuildAndDraw)->Unit(benchmark::kMillisecond);

}  // namespace
