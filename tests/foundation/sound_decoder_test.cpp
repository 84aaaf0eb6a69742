// The WAV reader and stream, the Ogg Vorbis decoder, the decoder registry and the volume law.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/oggdec.h"
#include "foundation/sound.h"
#include "foundation/sound_ds.h"
#include "foundation/var.h"
#include "foundation/wav.h"
#include "support/test_support.h"
#include "tools/sound_files.h"

namespace {

using Bytes = std::vector<uint8_t>;
struct DecoderFree {
  void operator()(SoundDecoder* d) const { Sound_DecoderFree(&d); }
};
using Decoder = std::unique_ptr<SoundDecoder, DecoderFree>;

class SoundFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    DSInit(0);
    Sound_Init(0);
    Sound_StreamInit(1);
    Sound_DecoderInit(1);
  }
  void TearDown() override {
    Sound_Shutdown();
    Sound_WmaDecoderSlot = nullptr;
    Var_ResetTable();
  }
  // Writes `file` (name with extension) and opens the sound by its name without the extension.
  static Decoder Open(const std::string& file, const Bytes& bytes, int loop = 0) {
    EXPECT_TRUE(Tool_WriteBytes(file, bytes));
    return Decoder(Sound_OpenDecoder(file.substr(0, file.find('.')).c_str(), loop));
  }
  tw_test::TempDir dir;
};

Bytes Wav(int channels, int rate, int bits, int frames) {
  return Tool_WavBytes(channels, rate, bits, Tool_Sine(channels, rate, frames, 440, 0.5));
}

// Decodes everything a one-shot decoder gives.
std::vector<int16_t> DecodeAll(SoundDecoder* d) {
  std::vector<int16_t> out;
  for (int guard = 0; guard < 1000000; guard++) {
    const uint8_t* p = nullptr;
    int n = Sound_DecoderRead(d, &p, 65536);
    if (n < 0) break;
    out.insert(out.end(), reinterpret_cast<const int16_t*>(p), reinterpret_cast<const int16_t*>(p) + n / 2);
  }
  return out;
}

double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); i++) {
    ab += double(a[i]) * b[i];
    aa += double(a[i]) * a[i];
    bb += double(b[i]) * b[i];
  }
  return (aa > 0 && bb > 0) ? ab / std::sqrt(aa * bb) : 0;
}

}  // namespace

TEST_F(SoundFiles, WavVariantsOpenHostileOnesAreRefusedAndStreamSeeksAreClamped) {
  struct Case {
    int channels, rate, bits;
  } cases[] = {{1, 22050, 16}, {2, 44100, 16}, {2, 11025, 8}};
  for (const auto& c : cases) {
    Bytes bytes = Wav(c.channels, c.rate, c.bits, 1000);
    Decoder d = Open("tone.wav", bytes);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(std::vector<int>({d->format->channels, int(d->format->samplesPerSec), d->format->bitsPerSample}),
              std::vector<int>({c.channels, c.rate, c.bits}));
    ASSERT_EQ(d->dataSize, uint32_t(1000 * c.channels * c.bits / 8));
    EXPECT_EQ(std::memcmp(d->data, bytes.data() + 44, d->dataSize), 0);
    // The read slot delivers the same data and then reports the end.
    const uint8_t* p = nullptr;
    EXPECT_EQ(Sound_DecoderRead(d.get(), &p, 1 << 20), int(d->dataSize));
    EXPECT_LT(Sound_DecoderRead(d.get(), &p, 1 << 20), 0);
  }
  // Cut in the middle of a sample frame: only whole frames present are played.
  Bytes good = Wav(2, 22050, 16, 1000);
  Decoder d = Open("cut.wav", Bytes(good.begin(), good.begin() + 44 + 1001));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->dataSize, 1000u);
  // Stream seeks are clamped; looping streams start again.
  ASSERT_TRUE(Tool_WriteBytes("s.wav", Wav(1, 8000, 16, 50)));
  SoundStream* s = Sound_OpenStream("s", 1, 1);
  ASSERT_NE(s, nullptr);
  Sound_StreamSeek(s, -40);
  EXPECT_EQ(Sound_StreamTell(s), 0);
  Sound_StreamSeek(s, 1000000);
  EXPECT_EQ(Sound_StreamTell(s), 100);
  const uint8_t* p = nullptr;
  EXPECT_EQ(Sound_StreamRead(s, &p, 64), 0);
  // Looping: the read at the end starts again from the first byte.
  EXPECT_EQ(Sound_StreamReadLoop(s, &p, 64), 64);
  EXPECT_EQ(p, s->data);
  Sound_StreamFree(&s);
  // Only kind 1 is served; names that do not fit are refused.
  EXPECT_EQ(Stream_Load("s", 2), nullptr);
  const std::string longName(300, 'a');
  for (const char* name : {longName.c_str(), "", (const char*)nullptr}) EXPECT_EQ(Sound_OpenDecoder(name, 0), nullptr);
  // Hostile WAV files are refused.
  const Bytes valid = Wav(1, 22050, 16, 100);
  auto patched = [&](size_t at, uint32_t value, int width) {
    Bytes v = valid;
    for (int b = 0; b < width; b++) v[at + b] = uint8_t(value >> (8 * b));
    return v;
  };
  Bytes list = valid;  // a chunk between "fmt " and "data"
  const uint8_t chunk[] = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'};
  list.insert(list.begin() + 36, chunk, chunk + sizeof chunk);
  const Bytes bad[] = {
      list,
      patched(20, 3, 1),           // format tag: float
      patched(16, 0x7FFFFFF0, 4),  // a huge format size
      patched(16, 14, 4),          // format shorter than PCM's 16 bytes
      patched(3, 'X', 1),          // "RIFX"
      patched(22, 6, 1),           // six channels
      patched(34, 12, 1),          // 12 bits
      patched(24, 0, 4),           // rate 0
      patched(32, 7, 1),           // block align
      Bytes(valid.begin(), valid.begin() + 40),  // no data header
  };
  for (size_t i = 0; i < std::size(bad); i++) {
    EXPECT_EQ(Open("bad.wav", bad[i]), nullptr) << "case " << i;
    SoundStream* s = Stream_Load("bad", 1);
    EXPECT_EQ(s, nullptr) << "case " << i;
    Sound_StreamFree(&s);
  }
}

TEST_F(SoundFiles, OggRoundTripsChainsAndLoops) {
  for (int channels = 1; channels <= 2; channels++) {
    auto src = Tool_Sine(channels, 44100, 44100, 440, 0.5);
    Decoder d = Open("music.ogg", Tool_OggBytes(channels, 44100, src, 0.4f, 7));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->data, nullptr);  // streamed
    EXPECT_EQ(d->format->avgBytesPerSec, uint32_t(channels * 2 * 44100));
    auto out = DecodeAll(d.get());
    EXPECT_EQ(out.size(), src.size());
    EXPECT_GT(Correlation(src, out), 0.95);
  }
  // More than two channels is refused.
  EXPECT_EQ(Open("three.ogg", Tool_OggBytes(3, 22050, Tool_Sine(3, 22050, 2000, 440, 0.5), 0.4f, 1)), nullptr);
  // A chained Ogg file ends where the format changes.
  auto a = Tool_Sine(1, 44100, 22050, 440, 0.5);
  Bytes oa = Tool_OggBytes(1, 44100, a, 0.4f, 100);
  Bytes ob = Tool_OggBytes(1, 22050, Tool_Sine(1, 22050, 22050, 440, 0.5), 0.4f, 200);
  Bytes same = Tool_OggBytes(1, 44100, a, 0.4f, 300);
  Bytes chain = oa;
  chain.insert(chain.end(), ob.begin(), ob.end());
  Decoder d = Open("chain.ogg", chain);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(DecodeAll(d.get()).size(), a.size());
  chain.resize(oa.size());
  chain.insert(chain.end(), same.begin(), same.end());
  d = Open("chain2.ogg", chain);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(DecodeAll(d.get()).size(), a.size() * 2);
  // A looping Ogg loops once at the end; a one-shot keeps reporting it.
  auto src = Tool_Sine(1, 22050, 22050 / 2, 300, 0.5);
  d = Open("loop.ogg", Tool_OggBytes(1, 22050, src, 0.4f, 3), 1);
  ASSERT_NE(d, nullptr);
  const uint8_t* p = nullptr;
  std::vector<int16_t> first;
  size_t total = 0;
  int n;
  for (int i = 0; i < 10000 && (n = Sound_DecoderRead(d.get(), &p, kOggReadBlock)) > 0; i++) {
    if (first.empty()) first.assign(reinterpret_cast<const int16_t*>(p), reinterpret_cast<const int16_t*>(p) + n / 2);
    total += size_t(n);
  }
  EXPECT_EQ(n, 0);  // one empty read at the end
  EXPECT_EQ(total, src.size() * 2);
  // It goes on with the first samples again.
  n = Sound_DecoderRead(d.get(), &p, kOggReadBlock);
  ASSERT_EQ(size_t(n) / 2, first.size());
  EXPECT_EQ(std::memcmp(p, first.data(), size_t(n)), 0);

  d.reset(Sound_OpenDecoder("loop", 0));
  ASSERT_NE(d, nullptr);
  DecodeAll(d.get());
  EXPECT_LT(Sound_DecoderRead(d.get(), &p, kOggReadBlock), 0);  // again after the end
}

TEST_F(SoundFiles, WavIsTriedBeforeOggTheThirdSlotLastAndVolumesBecomeHundredthsOfADecibel) {
  ASSERT_TRUE(Tool_WriteBytes("both.ogg", Tool_OggBytes(1, 8000, Tool_Sine(1, 8000, 1000, 440, 0.5), 0.4f, 2)));
  Decoder d = Open("both.wav", Wav(1, 8000, 16, 10));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->dataSize, 20u);  // the WAV: a static sound
  static int calls;
  calls = 0;
  Sound_WmaDecoderSlot = [](const char*, int) -> SoundDecoder* { return calls++, nullptr; };
  EXPECT_EQ(Sound_DecoderInit(1), 3);
  EXPECT_EQ(Sound_OpenDecoder("missing", 0), nullptr);
  EXPECT_EQ(calls, 1);
  // A volume becomes hundredths of a decibel.
  struct Case {
    float fx, music;
    uint32_t category;
    float volume;
    int expected;
  } cases[] = {{1, 1, 0, 0.5f, -1000},    {1, 1, 0, -1.0f, -10000},  {1, 1, 0, 4.0f, 0},
               {1, 1, 0, 1e-6f, -10000},   {0.5f, 1, 1, 1.0f, 0},     {0.5f, 0, 2, 1.0f, -10000},
               {0.5f, 0, 7, 0.5f, -1000}};  // 7 bypasses the settings
  for (const Case& c : cases) {
    Var_Find("sound_fxvolume")->value = c.fx;
    Var_Find("sound_musicvolume")->value = c.music;
    EXPECT_EQ(DS_VolumeToAttenuation(c.category, c.volume), c.expected) << c.category << " " << c.volume;
  }
  Var_Find("sound_fxvolume")->value = 1.0f;  // the records outlive the table
  Var_Find("sound_musicvolume")->value = 1.0f;
}

// With no device ever started, playing (even a sound that is there), stopping, updating and
// queries do nothing and answer nothing; shutting down twice is harmless.
TEST_F(SoundFiles, EverythingIsSafeWhenSoundNeverStarted) {
  ASSERT_TRUE(Tool_WriteBytes("beep.wav", Wav(1, 22050, 16, 2205)));
  EXPECT_EQ(Sound_Play("beep", 1, 1, nullptr, 0, 0), 0u);
  EXPECT_EQ(Sound_Play("nothing", 1, 1, nullptr, 0, 0), 0u);
  Sound_StopAll();
  Sound_Update();
  const float z[3] = {0, 0, 0};
  Sound_UpdateListener(z, z);
  EXPECT_EQ(Sound_CheckHandle(1), 0u);
  EXPECT_EQ(Sound_GetPlayPosition(1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  Sound_Shutdown();
  DS_Shutdown();
  DS_Shutdown();
}
