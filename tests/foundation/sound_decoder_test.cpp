// The WAV reader and stream, the Ogg Vorbis decoder, the decoder registry and the volume law.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/mem.h"
#include "foundation/oggdec.h"
#include "foundation/sound.h"
#include "foundation/sound_ds.h"
#include "foundation/var.h"
#include "foundation/wav.h"
#include "support/test_support.h"
#include "tools/sound_files.h"
#include "tools/zipwriter.h"

namespace {

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
  tw_test::TempDir dir;
};

// Decodes everything a one-shot decoder gives; stops at the end or after `limit` bytes.
std::vector<int16_t> DecodeAll(SoundDecoder* d, size_t limit = 64u << 20) {
  std::vector<int16_t> out;
  for (int guard = 0; guard < 1000000 && out.size() * 2 < limit; guard++) {
    const uint8_t* p = nullptr;
    int n = Sound_DecoderRead(d, &p, 65536);
    if (n < 0) break;
    if (n == 0) continue;
    size_t at = out.size();
    out.resize(at + size_t(n) / 2);
    std::memcpy(out.data() + at, p, size_t(n) / 2 * 2);
  }
  return out;
}

double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  size_t n = std::min(a.size(), b.size());
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < n; i++) {
    ab += double(a[i]) * b[i];
    aa += double(a[i]) * a[i];
    bb += double(b[i]) * b[i];
  }
  return (aa > 0 && bb > 0) ? ab / std::sqrt(aa * bb) : 0;
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = uint8_t(v >> (8 * i));
}

// A canonical file with a chunk inserted at `at`.
std::vector<uint8_t> WithChunk(std::vector<uint8_t> wav, size_t at) {
  const uint8_t list[] = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'};
  wav.insert(wav.begin() + long(at), list, list + sizeof list);
  return wav;
}

}  // namespace

TEST_F(SoundFiles, WavVariantsOpenWithTheirFormatAndData) {
  struct Case {
    int channels, rate, bits;
  } cases[] = {{1, 22050, 16}, {2, 44100, 16}, {1, 44100, 8}, {2, 11025, 8}};
  for (const auto& c : cases) {
    auto samples = Tool_Sine(c.channels, c.rate, 1000, 440, 0.5);
    auto bytes = Tool_WavBytes(c.channels, c.rate, c.bits, samples);
    ASSERT_TRUE(Tool_WriteBytes("tone.wav", bytes));
    SoundDecoder* d = Sound_OpenDecoder("tone", 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->format->channels, c.channels);
    EXPECT_EQ(d->format->samplesPerSec, uint32_t(c.rate));
    EXPECT_EQ(d->format->bitsPerSample, c.bits);
    EXPECT_EQ(d->format->blockAlign, c.channels * c.bits / 8);
    ASSERT_EQ(d->dataSize, uint32_t(1000 * c.channels * c.bits / 8));
    EXPECT_EQ(std::memcmp(d->data, bytes.data() + 44, d->dataSize), 0);
    // The read slot delivers the same data and then reports the end.
    const uint8_t* p = nullptr;
    EXPECT_EQ(Sound_DecoderRead(d, &p, 1 << 20), int(d->dataSize));
    EXPECT_LT(Sound_DecoderRead(d, &p, 1 << 20), 0);
    Sound_DecoderFree(&d);
    EXPECT_EQ(d, nullptr);
  }
}

TEST_F(SoundFiles, HostileWavFilesAreRefused) {
  auto good = Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 100, 440, 0.5));
  std::vector<std::vector<uint8_t>> bad;
  bad.push_back(WithChunk(good, 12));  // a chunk between "WAVE" and "fmt "
  bad.push_back(WithChunk(good, 36));  // a chunk between "fmt " and "data"
  auto v = good;
  v[20] = 3;  // format tag: float
  bad.push_back(v);
  v = good;
  Put32(v, 16, 14);  // format shorter than PCM's 16 bytes
  bad.push_back(v);
  v = good;
  Put32(v, 16, 0x7FFFFFF0);  // a huge format size
  bad.push_back(v);
  v = good;
  v[22] = 0;  // no channels
  bad.push_back(v);
  v = good;
  v[22] = 6;  // six channels
  bad.push_back(v);
  v = good;
  v[34] = 12;  // 12 bits
  bad.push_back(v);
  v = good;
  Put32(v, 24, 0);  // rate 0
  bad.push_back(v);
  v = good;
  v[32] = 7;  // block align
  bad.push_back(v);
  v = good;
  std::memcpy(v.data(), "RIFX", 4);
  bad.push_back(v);
  bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 11));
  bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 40));  // no data header
  for (size_t i = 0; i < bad.size(); i++) {
    ASSERT_TRUE(Tool_WriteBytes("bad.wav", bad[i]));
    SoundStream* s = Stream_Load("bad", 1);
    EXPECT_EQ(s, nullptr) << "case " << i;
    Sound_StreamFree(&s);
    SoundDecoder* d = Sound_OpenDecoder("bad", 0);
    EXPECT_EQ(d, nullptr) << "case " << i;
    Sound_DecoderFree(&d);
  }
}

TEST_F(SoundFiles, TruncatedWavPlaysWhatIsThereAndZeroDataOpens) {
  auto good = Tool_WavBytes(2, 22050, 16, Tool_Sine(2, 22050, 1000, 440, 0.5));
  // Cut in the middle of a sample frame: only whole frames present are played.
  std::vector<uint8_t> cut(good.begin(), good.begin() + 44 + 1001);
  ASSERT_TRUE(Tool_WriteBytes("cut.wav", cut));
  SoundDecoder* d = Sound_OpenDecoder("cut", 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->dataSize, 1000u);
  EXPECT_EQ(std::memcmp(d->data, good.data() + 44, 1000), 0);
  Sound_DecoderFree(&d);

  auto empty = Tool_WavBytes(1, 22050, 16, {});
  ASSERT_TRUE(Tool_WriteBytes("empty.wav", empty));
  d = Sound_OpenDecoder("empty", 1);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->dataSize, 0u);
  const uint8_t* p = nullptr;
  // Even a looping empty sound reports its end at once.
  EXPECT_LT(Sound_DecoderRead(d, &p, 4096), 0);
  Sound_DecoderFree(&d);
}

TEST_F(SoundFiles, StreamSeeksAreClampedAndLoopingStreamsStartAgain) {
  ASSERT_TRUE(Tool_WriteBytes("s.wav", Tool_WavBytes(1, 8000, 16, Tool_Sine(1, 8000, 50, 440, 0.5))));
  SoundStream* s = Sound_OpenStream("s", 1, 1);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->loop, 1);
  EXPECT_EQ(s->kind, 1);
  Sound_StreamSeek(s, -40);
  EXPECT_EQ(Sound_StreamTell(s), 0);
  Sound_StreamSeek(s, 1000000);
  EXPECT_EQ(Sound_StreamTell(s), 100);
  const uint8_t* p = nullptr;
  EXPECT_EQ(Sound_StreamRead(s, &p, 64), 0);
  // Looping: the read at the end starts again from the first byte.
  EXPECT_EQ(Sound_StreamReadLoop(s, &p, 64), 64);
  EXPECT_EQ(p, s->data);
  EXPECT_EQ(Sound_StreamReadLoop(s, &p, 64), 36);
  EXPECT_EQ(Sound_StreamReadLoop(s, &p, 64), 64);
  Sound_StreamFree(&s);
  EXPECT_EQ(s, nullptr);
  // Only kind 1 is served; names that do not fit are refused.
  EXPECT_EQ(Stream_Load("s", 2), nullptr);
  EXPECT_EQ(Sound_OpenDecoder(std::string(300, 'a').c_str(), 0), nullptr);
  EXPECT_EQ(Sound_OpenDecoder("", 0), nullptr);
  EXPECT_EQ(Sound_OpenDecoder(nullptr, 0), nullptr);
}

TEST_F(SoundFiles, OggRoundTripKeepsSampleCountAndContent) {
  for (int channels = 1; channels <= 2; channels++) {
    auto src = Tool_Sine(channels, 44100, 44100, 440, 0.5);
    ASSERT_TRUE(Tool_WriteBytes("music.ogg", Tool_OggBytes(channels, 44100, src, 0.4f, 7)));
    SoundDecoder* d = Sound_OpenDecoder("music", 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->data, nullptr);
    EXPECT_EQ(d->dataSize, 0u);
    EXPECT_EQ(d->formatSize, 18u);
    EXPECT_EQ(d->format->formatTag, 1);
    EXPECT_EQ(d->format->channels, channels);
    EXPECT_EQ(d->format->blockAlign, channels * 2);
    EXPECT_EQ(d->format->bitsPerSample, 16);
    EXPECT_EQ(d->format->avgBytesPerSec, uint32_t(channels * 2 * 44100));
    auto out = DecodeAll(d);
    EXPECT_EQ(out.size(), src.size());
    EXPECT_GT(Correlation(src, out), 0.95);
    Sound_DecoderFree(&d);
  }
}

TEST_F(SoundFiles, OggLoopsOnceAtTheEndAndOneShotsKeepReportingIt) {
  auto src = Tool_Sine(1, 22050, 22050 / 2, 300, 0.5);
  ASSERT_TRUE(Tool_WriteBytes("loop.ogg", Tool_OggBytes(1, 22050, src, 0.4f, 3)));
  SoundDecoder* d = Sound_OpenDecoder("loop", 1);
  ASSERT_NE(d, nullptr);
  const uint8_t* p = nullptr;
  std::vector<int16_t> first;
  size_t total = 0;
  int zeros = 0;
  for (int i = 0; i < 10000; i++) {
    int n = Sound_DecoderRead(d, &p, kOggReadBlock);
    ASSERT_GE(n, 0);
    if (n == 0) {
      zeros++;
      break;
    }
    if (first.empty()) first.assign(reinterpret_cast<const int16_t*>(p), reinterpret_cast<const int16_t*>(p) + n / 2);
    total += size_t(n);
  }
  EXPECT_EQ(zeros, 1);
  EXPECT_EQ(total, src.size() * 2);
  // It goes on with the first samples again.
  int n = Sound_DecoderRead(d, &p, kOggReadBlock);
  ASSERT_GT(n, 0);
  ASSERT_EQ(size_t(n) / 2, first.size());
  EXPECT_EQ(std::memcmp(p, first.data(), size_t(n)), 0);
  Sound_DecoderFree(&d);

  d = Sound_OpenDecoder("loop", 0);
  ASSERT_NE(d, nullptr);
  DecodeAll(d);
  EXPECT_LT(Sound_DecoderRead(d, &p, kOggReadBlock), 0);
  EXPECT_LT(Sound_DecoderRead(d, &p, kOggReadBlock), 0);
  Sound_DecoderFree(&d);
}

TEST_F(SoundFiles, OggSmallReadsAndInfo) {
  auto src = Tool_Sine(2, 44100, 44100 * 2, 500, 0.5);
  auto bytes = Tool_OggBytes(2, 44100, src, 0.3f, 11);
  ASSERT_TRUE(Tool_WriteBytes("info.ogg", bytes));
  SoundDecoder* d = Sound_OpenDecoder("info", 0);
  ASSERT_NE(d, nullptr);
  uint32_t a = 9, b = 9, c = 9, e = 9;
  EXPECT_EQ(d->info(d, &a, &b, &c, &e), 1);
  EXPECT_EQ(b, bytes.size());
  EXPECT_EQ(c, uint32_t(double(bytes.size()) / 2.0));
  EXPECT_EQ(e, 1u);
  uint32_t before = a;
  const uint8_t* p = nullptr;
  EXPECT_EQ(Sound_DecoderRead(d, &p, kOggReadBlock - 1), 0);
  d->info(d, &a, &b, &c, &e);
  EXPECT_EQ(a, before);
  auto all = DecodeAll(d);
  EXPECT_EQ(all.size(), src.size());
  Sound_DecoderFree(&d);
}

TEST_F(SoundFiles, EmptyOggEndsAtOnceAndHasRateZero) {
  ASSERT_TRUE(Tool_WriteBytes("empty.ogg", Tool_OggBytes(1, 44100, {}, 0.4f, 5)));
  for (int loop = 0; loop <= 1; loop++) {
    SoundDecoder* d = Sound_OpenDecoder("empty", loop);
    ASSERT_NE(d, nullptr);
    uint32_t a, b, c = 77, e;
    d->info(d, &a, &b, &c, &e);
    EXPECT_EQ(c, 0u);
    const uint8_t* p = nullptr;
    int n = 0;
    for (int i = 0; i < 4 && n >= 0; i++) n = Sound_DecoderRead(d, &p, kOggReadBlock);
    EXPECT_LT(n, 0) << "loop " << loop;
    Sound_DecoderFree(&d);
  }
}

TEST_F(SoundFiles, ChainedOggEndsWhereTheFormatChanges) {
  auto a = Tool_Sine(1, 44100, 22050, 440, 0.5);
  auto b = Tool_Sine(1, 22050, 22050, 440, 0.5);
  auto oa = Tool_OggBytes(1, 44100, a, 0.4f, 100);
  auto ob = Tool_OggBytes(1, 22050, b, 0.4f, 200);
  auto same = Tool_OggBytes(1, 44100, a, 0.4f, 300);
  std::vector<uint8_t> chain = oa;
  chain.insert(chain.end(), ob.begin(), ob.end());
  ASSERT_TRUE(Tool_WriteBytes("chain.ogg", chain));
  SoundDecoder* d = Sound_OpenDecoder("chain", 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(DecodeAll(d).size(), a.size());
  Sound_DecoderFree(&d);

  chain = oa;
  chain.insert(chain.end(), same.begin(), same.end());
  ASSERT_TRUE(Tool_WriteBytes("chain2.ogg", chain));
  d = Sound_OpenDecoder("chain2", 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(DecodeAll(d).size(), a.size() * 2);
  Sound_DecoderFree(&d);
}

TEST_F(SoundFiles, OggWithMoreThanTwoChannelsOrDamageIsHandled) {
  auto src3 = Tool_Sine(3, 22050, 2000, 440, 0.5);
  ASSERT_TRUE(Tool_WriteBytes("three.ogg", Tool_OggBytes(3, 22050, src3, 0.4f, 1)));
  EXPECT_EQ(Sound_OpenDecoder("three", 0), nullptr);

  auto src = Tool_Sine(1, 44100, 44100, 440, 0.5);
  auto bytes = Tool_OggBytes(1, 44100, src, 0.4f, 9);
  for (size_t at = bytes.size() / 3; at < bytes.size() / 3 + 64; at++) bytes[at] ^= 0x5A;
  ASSERT_TRUE(Tool_WriteBytes("broken.ogg", bytes));
  SoundDecoder* d = Sound_OpenDecoder("broken", 0);
  if (d) {
    EXPECT_LE(DecodeAll(d).size(), src.size() + 4096);
    Sound_DecoderFree(&d);
  }
  bytes.resize(bytes.size() / 2);
  ASSERT_TRUE(Tool_WriteBytes("half.ogg", bytes));
  d = Sound_OpenDecoder("half", 0);
  if (d) {
    EXPECT_LE(DecodeAll(d).size(), src.size());
    Sound_DecoderFree(&d);
  }
}

TEST_F(SoundFiles, WavIsTriedBeforeOggAndTheThirdSlotLast) {
  ASSERT_TRUE(Tool_WriteBytes("both.wav", Tool_WavBytes(1, 8000, 16, Tool_Sine(1, 8000, 10, 440, 0.5))));
  ASSERT_TRUE(Tool_WriteBytes("both.ogg", Tool_OggBytes(1, 8000, Tool_Sine(1, 8000, 1000, 440, 0.5), 0.4f, 2)));
  SoundDecoder* d = Sound_OpenDecoder("both", 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->dataSize, 20u);  // the WAV: a static sound
  Sound_DecoderFree(&d);

  static int calls;
  calls = 0;
  Sound_WmaDecoderSlot = [](const char*, int) -> SoundDecoder* {
    calls++;
    return nullptr;
  };
  EXPECT_EQ(Sound_DecoderInit(1), 3);
  EXPECT_EQ(Sound_OpenDecoder("both", 0) != nullptr, true);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(Sound_OpenDecoder("missing", 0), nullptr);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(Sound_DecoderInit(0), -1);
}

TEST_F(SoundFiles, VolumeBecomesHundredthsOfADecibel) {
  EXPECT_EQ(DS_VolumeToAttenuation(0, 1.0f), 0);
  EXPECT_EQ(DS_VolumeToAttenuation(0, 0.5f), -1000);
  EXPECT_EQ(DS_VolumeToAttenuation(0, 0.25f), -2000);
  EXPECT_EQ(DS_VolumeToAttenuation(0, 0.0f), -10000);
  EXPECT_EQ(DS_VolumeToAttenuation(0, -1.0f), -10000);
  EXPECT_EQ(DS_VolumeToAttenuation(0, 4.0f), 0);
  EXPECT_EQ(DS_VolumeToAttenuation(0, 1e-6f), -10000);
  Var_Find("sound_fxvolume")->value = 0.5f;
  EXPECT_EQ(DS_VolumeToAttenuation(0, 1.0f), -1000);
  EXPECT_EQ(DS_VolumeToAttenuation(1, 1.0f), 0);
  Var_Find("sound_musicvolume")->value = 0.0f;
  EXPECT_EQ(DS_VolumeToAttenuation(2, 1.0f), -10000);
  // Other categories bypass the category and master volumes.
  EXPECT_EQ(DS_VolumeToAttenuation(7, 0.5f), -1000);
  Var_Find("sound_fxvolume")->value = 1.0f;
  Var_Find("sound_musicvolume")->value = 1.0f;
  // The gain law of the output: 10^(mB/2000).
  EXPECT_NEAR(DS_AttenuationToGain(-1000), 0.31623, 1e-4);
  EXPECT_NEAR(DS_AttenuationToGain(-2000), 0.1, 1e-6);
  EXPECT_EQ(DS_AttenuationToGain(-10000), 0.0f);
  EXPECT_EQ(DS_AttenuationToGain(0), 1.0f);
}

TEST_F(SoundFiles, SettingsAreRegisteredOnceWithTheirDefaults) {
  const char* names[] = {"sound_globalvolume", "sound_musicvolume", "sound_voicevolume", "sound_fxvolume",
                         "sound_revers", "sound_quality", "sound_disable", "sound_eax", "sound_eax_effects"};
  const float defaults[] = {1, 1, 1, 1, 0, 1, 0, 0, 0};
  for (int i = 0; i < 9; i++) {
    VarRecord* r = Var_Find(names[i]);
    ASSERT_NE(r, nullptr) << names[i];
    EXPECT_EQ(r->value, defaults[i]) << names[i];
    EXPECT_EQ(r->flags, i == 8 ? uint32_t(VAR_NUMERIC) : uint32_t(VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS));
  }
}

TEST_F(SoundFiles, EverythingIsSafeWhenSoundNeverStarted) {
  EXPECT_EQ(Sound_Play("nothing", 1, 1, nullptr, 0, 0), 0u);
  Sound_Stop(1);
  Sound_StopAll();
  Sound_PauseAll();
  Sound_ResumeAll();
  Sound_Update();
  const float z[3] = {0, 0, 0};
  Sound_UpdateListener(z, z);
  Sound_Seek(1, 0);
  Sound_Mute();
  Sound_Unmute();
  EXPECT_EQ(Sound_CheckHandle(1), 0u);
  EXPECT_EQ(Sound_GetPlayPosition(1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  Sound_Shutdown();
  DS_Shutdown();
  DS_Shutdown();
  EXPECT_EQ(Sound_MaxVoices(), 32);
}

TEST_F(SoundFiles, SoundsOpenFromTheDataArchives) {
  auto wav = Tool_WavBytes(1, 8000, 16, Tool_Sine(1, 8000, 400, 440, 0.5));
  auto ogg = Tool_OggBytes(2, 22050, Tool_Sine(2, 22050, 5000, 440, 0.5), 0.3f, 4);
  ZipWriter* z = ZipWriter_Create();
  ZipWriter_AddMember(z, "sounds/door.wav", wav.data(), wav.size(), ZIPW_DEFLATED);
  ZipWriter_AddMember(z, "sounds/Rain.ogg", ogg.data(), ogg.size(), ZIPW_STORED);
  ASSERT_EQ(ZipWriter_FinishToFile(z, "main/data00.twk"), 1);
  File_Init();
  SoundDecoder* d = Sound_OpenDecoder("Sounds\\DOOR", 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->dataSize, 800u);
  EXPECT_EQ(std::memcmp(d->data, wav.data() + 44, 800), 0);
  Sound_DecoderFree(&d);
  d = Sound_OpenDecoder("sounds\\rain", 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->format->channels, 2);
  EXPECT_EQ(DecodeAll(d).size(), 10000u);
  Sound_DecoderFree(&d);
  File_Shutdown();
}
