// Video speed: decoding, conversion and upload of a 640 x 480 WMV2 frame against decoding alone,
// and capture of 1024 x 768 frames (read-back and Motion JPEG encoding; goal: under 41 ms a frame,
// so that 24 frames a second hold). With a display the upload and read-back are real OpenGL.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_window.h"
#include "foundation/log.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/media_ffmpeg.h"
#include "platform/window.h"
#include "render/render.h"
#include "render/video.h"
#include "tools/media_writer.h"
#include "world/game.h"

namespace {

const std::string& BenchWmv() {
  static std::string path;
  if (path.empty()) {
    path = "/tmp/tw_bench_video_" + std::to_string(::getpid()) + ".wmv";
    TestVideoSpec s;
    s.container = "asf";
    s.codec = "wmv2";
    s.width = 640;
    s.height = 480;
    s.frames = 48;
    s.gop = 12;
    Tools_WriteTestVideo(path, s);
    std::atexit([] { std::remove(BenchWmv().c_str()); });
  }
  return path;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fseek(f, 0, SEEK_END);
    bytes.resize(size_t(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    std::fclose(f);
  }
  return bytes;
}

}  // namespace

static void BM_WmvDecodeOnly(benchmark::State& state) {
  std::vector<uint8_t> bytes = ReadAll(BenchWmv());
  MediaVideo* v = MediaVideo_Open(bytes.data(), uint32_t(bytes.size()), 0, 0);
  if (!v) {
    state.SkipWithError("no video");
    return;
  }
  for (auto _ : state) {
    if (MediaVideo_DecodeNext(v, nullptr, nullptr) != 1) {
      MediaVideo_Rewind(v);
      MediaVideo_DecodeNext(v, nullptr, nullptr);
    }
  }
  MediaVideo_Close(v);
}
BENCHMARK(BM_WmvDecodeOnly)->Unit(benchmark::kMillisecond);

static void BM_WmvDecodeConvertUpload(benchmark::State& state) {
  BenchWindow_Open("Tarnwick video bench");  // else the players run without a renderer
  std::string base = BenchWmv();
  base.resize(base.size() - 4);
  MovieWmv* m = Movie_OpenWmv(base.c_str());
  if (!m || !m->sampleBuffer) {
    state.SkipWithError("no movie");
    return;
  }
  TimeScale = 1.0f;
  Timer_FrameDelta = 1.0 / 24;  // one new frame every update
  for (auto _ : state) {
    if (!Movie_UpdateWmv(m)) Movie_UpdateWmv(m);
  }
  state.SetLabel(RenderApi == 1 ? "OpenGL upload" : "no renderer");
  Movie_CloseWmv(&m);
}
BENCHMARK(BM_WmvDecodeConvertUpload)->Unit(benchmark::kMillisecond);

static void BM_Capture1024x768(benchmark::State& state) {
  BenchWindow_Open("Tarnwick video bench");  // else the players run without a renderer
  int savedW = Render_ScreenWidth, savedH = Render_ScreenHeight;
  Render_SetScreenSize(1024, 768);  // read-back beyond the window gives undefined pixels: the cost is what counts
  std::string dir = "/tmp/tw_bench_capture_" + std::to_string(::getpid());
  std::string cwd(4096, '\0');
  if (!::getcwd(cwd.data(), cwd.size()) || ::mkdir(dir.c_str(), 0755) != 0 || ::chdir(dir.c_str()) != 0) {
    state.SkipWithError("no temporary folder");
    return;
  }
  Movie_StartCapture();
  for (auto _ : state) Movie_CaptureFrame();
  Movie_StopCapture();
  std::remove("demo.avi");
  if (::chdir(cwd.c_str()) != 0) state.SkipWithError("chdir");
  ::rmdir(dir.c_str());
  Render_SetScreenSize(savedW, savedH);
}
BENCHMARK(BM_Capture1024x768)->Unit(benchmark::kMillisecond);
