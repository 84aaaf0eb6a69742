// Sound: decoding a long Ogg Vorbis file through the engine's decoder against libvorbisfile read
// directly from memory (goal: at least 0.95 of its throughput), and the cost of one frame's
// Sound_Update and Sound_UpdateListener with 32 active streamed voices, and the first frame of a
// streamed Ogg Vorbis sound (Sound_Play and the refill that fills its ring).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/mem.h"
#include "foundation/oggdec.h"
#include "foundation/sound.h"
#include "foundation/sound_ds.h"
#include "foundation/var.h"
#include "platform/audio_openal.h"
#include "tools/sound_files.h"

namespace {

const std::vector<uint8_t>& LongOgg() {
  // 60 seconds of 44.1 kHz stereo.
  static const std::vector<uint8_t> bytes = [] {
    std::vector<int16_t> s = Tool_Sine(2, 44100, 44100 * 60, 440, 0.4);
    for (size_t i = 0; i < s.size(); i++) s[i] = int16_t(s[i] + int16_t((i * 7919) % 2001) - 1000);
    return Tool_OggBytes(2, 44100, s, 0.4f, 1);
  }();
  return bytes;
}

struct Mem {
  const uint8_t* data;
  size_t size, pos;
};
size_t MemRead(void* out, size_t item, size_t count, void* src) {
  auto* m = static_cast<Mem*>(src);
  if (!item || m->pos >= m->size) return 0;
  size_t n = (m->size - m->pos) / item;
  if (n > count) n = count;
  std::memcpy(out, m->data + m->pos, n * item);
  m->pos += n * item;
  return n;
}
int MemSeek(void* src, ogg_int64_t off, int whence) {
  auto* m = static_cast<Mem*>(src);
  int64_t to = whence == SEEK_SET ? off : whence == SEEK_CUR ? int64_t(m->pos) + off : int64_t(m->size) + off;
  if (to < 0 || to > int64_t(m->size)) return -1;
  m->pos = size_t(to);
  return 0;
}
long MemTell(void* src) { return long(static_cast<Mem*>(src)->pos); }

}  // namespace

static void BM_OggDecodeDirect(benchmark::State& state) {
  const auto& ogg = LongOgg();
  int64_t bytes = 0;
  std::vector<char> buf(kOggReadBlock);
  for (auto _ : state) {
    Mem m{ogg.data(), ogg.size(), 0};
    OggVorbis_File vf;
    ov_open_callbacks(&m, &vf, nullptr, 0, ov_callbacks{MemRead, MemSeek, nullptr, MemTell});
    int link;
    long n;
    while ((n = ov_read(&vf, buf.data(), kOggReadBlock, 0, 2, 1, &link)) > 0) bytes += n;
    ov_clear(&vf);
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_OggDecodeDirect)->Unit(benchmark::kMillisecond);

static void BM_OggDecodeEngine(benchmark::State& state) {
  const auto& ogg = LongOgg();
  int64_t bytes = 0;
  for (auto _ : state) {
    auto* block = static_cast<uint8_t*>(Global_Malloc(ogg.size(), "bench"));
    std::memcpy(block, ogg.data(), ogg.size());
    SoundDecoder* d = OGG_OpenMemory("bench", block, uint32_t(ogg.size()), 0);
    const uint8_t* p;
    int n;
    while ((n = Sound_DecoderRead(d, &p, kOggReadBlock)) >= 0) bytes += n;
    Sound_DecoderFree(&d);
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_OggDecodeEngine)->Unit(benchmark::kMillisecond);

namespace {
// A private folder with the test sounds and a started loopback sound module for one benchmark.
struct SoundBench {
  std::string previous, dir;
  bool ok = false;
  SoundBench() {
    char templ[] = "/tmp/tarnwick_bench_XXXXXX";
    const char* made = mkdtemp(templ);
    previous = std::filesystem::current_path().string();
    if (!made || chdir(made) != 0) return;
    dir = made;
    Tool_WriteBytes("music.ogg", Tool_OggBytes(2, 44100, Tool_Sine(2, 44100, 44100 * 8, 440, 0.4), 0.3f, 1));
    Tool_WriteBytes("fx.wav", Tool_WavBytes(1, 44100, 16, Tool_Sine(1, 44100, 44100, 880, 0.4)));
    Audio_UseLoopback(1);
    DSInit(0);
    Sound_Init(0);
    DSInit(1);
    Sound_Init(1);
    ok = DS_IsUp();
  }
  ~SoundBench() {
    Sound_Shutdown();
    DS_Shutdown();
    Audio_UseLoopback(0);
    Var_ResetTable();
    if (!dir.empty() && chdir(previous.c_str()) == 0) std::filesystem::remove_all(dir);
  }
};
}  // namespace

static void BM_StreamFirstFrame(benchmark::State& state) {
  SoundBench b;
  if (!b.ok) {
    state.SkipWithError("no loopback output device");
    return;
  }
  for (auto _ : state) {
    uint32_t h = Sound_Play("music", 1.0f, 100, nullptr, 0, 2);
    Sound_Update();
    state.PauseTiming();
    Sound_Stop(h);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StreamFirstFrame)->Unit(benchmark::kMillisecond);

static void BM_SoundUpdate32Voices(benchmark::State& state) {
  SoundBench b;
  if (!b.ok) {
    state.SkipWithError("no loopback output device");
  } else {
    for (int i = 0; i < 32; i++) {
      float pos[3] = {float(i * 10 - 160), 100, 0};
      if (i < 16)
        Sound_Play("music", 0.5f, 100, pos, 1, 2);
      else
        Sound_Play("fx", 0.5f, 100, pos, 1, 0);
    }
    const float zero[3] = {0, 0, 0};
    std::vector<float> out(735 * 2);
    // Fill every ring first.
    for (int i = 0; i < 4; i++) {
      Sound_Update();
      Sound_UpdateListener(zero, zero);
      Audio_RenderLoopback(out.data(), 735);
    }
    for (auto _ : state) {
      state.PauseTiming();
      Audio_RenderLoopback(out.data(), 735);
      state.ResumeTiming();
      Sound_Update();
      Sound_UpdateListener(zero, zero);
    }
  }
}
BENCHMARK(BM_SoundUpdate32Voices)->Unit(benchmark::kMicrosecond);
