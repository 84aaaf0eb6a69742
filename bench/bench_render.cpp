// Renderer speed on the test display (Mesa llvmpipe): an empty frame (begin, clear, present)
// against a bare clear and swap (goal: overhead under 10 %), and 10,000 textured, blended
// immediate triangles a frame against the same triangles in one vertex-array draw (goal: within
// three times). The same scene of 1,000 textured, blended quads through the OpenGL back end and the
// Direct3D 8 back end; the second reports "d3d8_over_gl", its frame time over the first's (goal:
// at most 1.5). Without a display the benchmarks report an error and measure nothing.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "bench/bench_window.h"
#include "foundation/var.h"
#include "platform/gl_context_sdl.h"
#include "platform/gl_dispatch.h"
#include "platform/window.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"

namespace {

int g_w, g_h;

bool StartRenderer() {
  if (!BenchWindow_Open("Tarnwick render bench")) return false;
  g_w = Plat_WindowWidth();
  g_h = Plat_WindowHeight();
  return true;
}

std::vector<ImmVertex> Triangles(int count) {
  std::vector<ImmVertex> v;
  v.reserve(size_t(count) * 3);
  for (int i = 0; i < count; ++i) {
    float x = float((i * 37) % 760), y = float((i * 53) % 560);
    v.push_back({x, y, 0, 255, 128, 64, 128, 0, 0});
    v.push_back({x + 40, y, 0, 255, 128, 64, 128, 1, 0});
    v.push_back({x, y + 40, 0, 255, 128, 64, 128, 0, 1});
  }
  return v;
}

void Begin2D() {
  Render_BeginFrame(0, 0, g_w, g_h);
  Render_Clear(1, 0, 0, 0);
  gl.glMatrixMode(GL_PROJECTION);
  gl.glLoadIdentity();
  gl.glOrtho(0, g_w, 0, g_h, -1, 1);
  gl.glMatrixMode(GL_MODELVIEW);
  gl.glLoadIdentity();
  Render_SetDepthTest(0);
  Render_SetBlend(5);
}

}  // namespace

static void BM_EmptyFrame(benchmark::State& state) {
  if (!StartRenderer()) {
    state.SkipWithError("no OpenGL display");
    return;
  }
  for (auto _ : state) {
    Render_EndFrame(1, 1);
    Render_BeginFrame(0, 0, g_w, g_h);
    Render_Clear(1, 0.6f, 0.6f, 0.65f);
  }
}
BENCHMARK(BM_EmptyFrame);

static void BM_BareClearAndSwap(benchmark::State& state) {
  if (!StartRenderer()) {
    state.SkipWithError("no OpenGL display");
    return;
  }
  for (auto _ : state) {
    gl.glFlush();
    Plat_Gl.swapWindow();
    gl.glClearColor(0.6f, 0.6f, 0.65f, 0.5f);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
}
BENCHMARK(BM_BareClearAndSwap);

static void BM_ImmediateTriangles10k(benchmark::State& state) {
  if (!StartRenderer()) {
    state.SkipWithError("no OpenGL display");
    return;
  }
  std::vector<ImmVertex> v = Triangles(10000);
  for (auto _ : state) {
    Begin2D();
    for (size_t i = 0; i < v.size(); i += 3) Render_DrawTriangle(&v[i], &v[i + 1], &v[i + 2]);
    gl.glFinish();
  }
}
BENCHMARK(BM_ImmediateTriangles10k)->Unit(benchmark::kMillisecond);

static void BM_ArrayTriangles10k(benchmark::State& state) {
  if (!StartRenderer()) {
    state.SkipWithError("no OpenGL display");
    return;
  }
  std::vector<ImmVertex> v = Triangles(10000);
  for (auto _ : state) {
    Begin2D();
    gl.glEnableClientState(GL_VERTEX_ARRAY);
    gl.glEnableClientState(GL_COLOR_ARRAY);
    gl.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    gl.glVertexPointer(3, GL_FLOAT, sizeof(ImmVertex), &v[0].x);
    gl.glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(ImmVertex), &v[0].r);
    gl.glTexCoordPointer(2, GL_FLOAT, sizeof(ImmVertex), &v[0].u);
    gl.glDrawArrays(GL_TRIANGLES, 0, GLsizei(v.size()));
    gl.glDisableClientState(GL_VERTEX_ARRAY);
    gl.glDisableClientState(GL_COLOR_ARRAY);
    gl.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    gl.glFinish();
  }
}
BENCHMARK(BM_ArrayTriangles10k)->Unit(benchmark::kMillisecond);

namespace {

// Stops the running back end and starts the one named ("OPENGL" or "D3D8") on the same window.
bool UseApi(const char* api) {
  if (!StartRenderer()) return false;
  Tex_FreeAll();
  Render_Stop();
  Var_SetText(&render_api, api);
  Render_Start();
  Tex_FreeAll();
  return RenderApi != RENDER_API_NONE;
}

// One frame of 1,000 quads (two triangles each) at depth 10, each with one of four textures,
// alpha-blended, and presented.
double SceneFrames(benchmark::State& state) {
  std::vector<uint8_t> texels(32 * 32 * 4);
  int materials[4];
  for (int m = 0; m < 4; ++m) {
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = uint8_t(i * (m + 3));
    char name[16];
    std::snprintf(name, sizeof name, "bench%d", m);
    materials[m] = Material_CreateFromPixels(name, 32, 32, 32, texels.data(), 1, 0, 0);
  }
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    Render_BeginFrame(0, 0, g_w, g_h);
    Render_Clear(1, 0, 0, 0);
    Render_SetDepthTest(0);
    for (int i = 0; i < 1000; ++i) {
      float x = float((i * 37) % 19) - 9.5f, z = float((i * 53) % 14) - 7.0f;
      ImmVertex a = {x, 10, z, 255, 200, 160, 128, 0, 0}, b = {x + 1, 10, z, 255, 200, 160, 128, 1, 0};
      ImmVertex c = {x + 1, 10, z + 1, 255, 200, 160, 128, 1, 1}, d = {x, 10, z + 1, 255, 200, 160, 128, 0, 1};
      Material_Bind(0, materials[i % 4], 0.0, 1);
      Render_SetBlend(5);
      Render_DrawTriangle(&a, &b, &c);
      Render_DrawTriangle(&a, &c, &d);
    }
    Render_EndFrame(1, 1);
  }
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return state.iterations() ? took.count() / double(state.iterations()) : 0.0;
}

double g_openGlFrame;

}  // namespace

static void BM_Scene1000Quads_OpenGL(benchmark::State& state) {
  if (!UseApi("OPENGL")) {
    state.SkipWithError("no OpenGL display");
    return;
  }
  g_openGlFrame = SceneFrames(state);
}
BENCHMARK(BM_Scene1000Quads_OpenGL)->Unit(benchmark::kMillisecond);

static void BM_Scene1000Quads_D3D8(benchmark::State& state) {
  if (!UseApi("D3D8")) {
    state.SkipWithError("no Direct3D 8 device");
    return;
  }
  double frame = SceneFrames(state);
  if (g_openGlFrame > 0) state.counters["d3d8_over_gl"] = frame / g_openGlFrame;
}
BENCHMARK(BM_Scene1000Quads_D3D8)->Unit(benchmark::kMillisecond);
