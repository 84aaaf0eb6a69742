// What the lit-frame benchmarks share: the OpenGL window, the files the lighting passes read, and
// the timed frames.
#pragma once
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "bench/bench_window.h"
#include "render/vertexarray.h"
#include "support/lit_scene.h"
#include "tools/image_writer.h"
#include "tools/lighting_textures.h"

// Opens the window once per run, then writes the sample's scripts, the lighting textures and
// "textures\b\white" to the working folder. False, with the benchmark skipped, when there is no
// OpenGL window.
inline bool LitBench_Start(benchmark::State& state, const char* title) {
  if (!BenchWindow_Open(title)) {
    state.SkipWithError("no OpenGL window");
    return false;
  }
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::copy(fs::path(TW_SOURCE_DIR) / "sample" / "data" / "scripts", "scripts",
           fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  fs::create_directories("textures/b", ec);
  LightingTool_WriteTextures(".");
  ImageTool_Save("textures/b/white.tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, 255, 255, 255, 255), 24));
  OPENGL_AllocVar();
  return true;
}

// Draws the scene once per iteration at 320 x 240 and reports "frames_per_second".
inline void LitBench_DrawFrames(benchmark::State& state, tw_test::LitScene* scene) {
  int64_t frames = 0;
  auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    tw_test::LitScene_Draw(scene, 320, 240);
    ++frames;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  state.counters["frames_per_second"] = seconds > 0 ? double(frames) / seconds : 0;
}
