// Voices rendered through the loopback output device: placement, gain law, voice limits,
// one-shots, loops, streams, pauses across frames, seeks and the reverb environment.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/sound_ds.h"
#include "foundation/var.h"
#include "platform/audio_openal.h"
#include "support/test_support.h"
#include "tools/sound_files.h"

namespace {

constexpr int kFrameSamples = 735;  // one 60 Hz frame at 44100 Hz

struct Rendered {
  std::vector<float> left, right;
  double Rms(const std::vector<float>& ch, size_t from, size_t to) const {
    double s = 0;
    if (to > ch.size()) to = ch.size();
    if (from >= to) return 0;
    for (size_t i = from; i < to; i++) s += double(ch[i]) * ch[i];
    return std::sqrt(s / double(to - from));
  }
  double RmsL(size_t from, size_t to) const { return Rms(left, from, to); }
  double RmsR(size_t from, size_t to) const { return Rms(right, from, to); }
  double RmsBoth(size_t from, size_t to) const {
    double l = RmsL(from, to), r = RmsR(from, to);
    return std::sqrt((l * l + r * r) / 2);
  }
};

class SoundVoices : public ::testing::Test {
 protected:
  void SetUp() override {
    Audio_UseLoopback(1);
    DSInit(0);
    Sound_Init(0);
    Prepare();
    DSInit(1);
    Sound_Init(1);
    if (!DS_IsUp()) GTEST_SKIP() << "no loopback output device";
  }
  // Settings changed before the device starts.
  virtual void Prepare() {}
  void TearDown() override {
    Sound_Shutdown();
    DS_Shutdown();
    Audio_UseLoopback(0);
    Var_ResetTable();
  }

  // One game frame: refill, listener (starts pending voices), then a frame of output.
  void Frame(int count = 1) {
    for (int i = 0; i < count; i++) {
      Sound_Update();
      Sound_UpdateListener(listenerPos, listenerAngles);
      std::vector<float> buf(kFrameSamples * 2);
      Audio_RenderLoopback(buf.data(), kFrameSamples);
      for (int s = 0; s < kFrameSamples; s++) {
        out.left.push_back(buf[size_t(s) * 2]);
        out.right.push_back(buf[size_t(s) * 2 + 1]);
      }
    }
  }
  size_t Now() const { return out.left.size(); }

  void WriteTone(const char* name, int channels, int rate, double seconds, double hz = 1000) {
    auto s = Tool_Sine(channels, rate, int(rate * seconds), hz, 0.5);
    ASSERT_TRUE(Tool_WriteBytes(std::string(name) + ".wav", Tool_WavBytes(channels, rate, 16, s)));
  }
  void WriteOgg(const char* name, int channels, int rate, double seconds, double hz = 440) {
    auto s = Tool_Sine(channels, rate, int(rate * seconds), hz, 0.5);
    ASSERT_TRUE(Tool_WriteBytes(std::string(name) + ".ogg", Tool_OggBytes(channels, rate, s, 0.3f, 17)));
  }

  // Level of a looping tone played with the given parameters, measured after it settles.
  double LevelOf(const char* name, float volume, uint32_t category, const float* pos, double* left = nullptr,
                 double* right = nullptr) {
    uint32_t h = Sound_Play(name, volume, 100.0f, pos, 1, category);
    EXPECT_NE(h, 0u);
    Frame(3);
    size_t from = Now();
    Frame(10);
    double l = out.RmsL(from, Now()), r = out.RmsR(from, Now());
    if (left) *left = l;
    if (right) *right = r;
    Sound_Stop(h);
    Frame(1);
    return std::sqrt((l * l + r * r) / 2);
  }

  tw_test::TempDir dir;
  Rendered out;
  float listenerPos[3] = {0, 0, 0};
  float listenerAngles[3] = {0, 0, 0};
};

}  // namespace

TEST_F(SoundVoices, PositionalToneIsLouderOnItsSide) {
  WriteTone("tone", 1, 44100, 1.0);
  double l, r;
  const float left[3] = {-64, 0, 0}, right[3] = {64, 0, 0}, ahead[3] = {0, 64, 0};
  LevelOf("tone", 1.0f, 0, left, &l, &r);
  EXPECT_GT(l, 2 * r) << "left " << l << " right " << r;
  LevelOf("tone", 1.0f, 0, right, &l, &r);
  EXPECT_GT(r, 2 * l) << "left " << l << " right " << r;
  LevelOf("tone", 1.0f, 0, ahead, &l, &r);
  EXPECT_NEAR(l / r, 1.0, 0.05);
  // Without a position the sound is not placed: centred.
  LevelOf("tone", 1.0f, 0, nullptr, &l, &r);
  EXPECT_GT(l, 0.01);
  EXPECT_NEAR(l / r, 1.0, 0.02);
  // Turned a quarter to the right (yaw +90 degrees: facing +X), +Y is on the left.
  listenerAngles[0] = float(M_PI / 2);
  LevelOf("tone", 1.0f, 0, ahead, &l, &r);
  EXPECT_GT(l, 2 * r) << "left " << l << " right " << r;
}

TEST_F(SoundVoices, VolumesFollowTheGainLaw) {
  WriteTone("tone", 1, 44100, 1.0);
  double full = LevelOf("tone", 1.0f, 0, nullptr);
  ASSERT_GT(full, 0.01);
  EXPECT_NEAR(LevelOf("tone", 0.5f, 0, nullptr) / full, 0.31623, 0.31623 * 0.02);
  Var_Find("sound_fxvolume")->value = 0.5f;
  EXPECT_NEAR(LevelOf("tone", 1.0f, 0, nullptr) / full, 0.31623, 0.31623 * 0.02);
  // Category 7 ignores the category and master volumes.
  Var_Find("sound_globalvolume")->value = 0.25f;
  Frame(1);
  EXPECT_NEAR(LevelOf("tone", 0.5f, 7, nullptr) / full, 0.31623, 0.31623 * 0.02);
  Var_Find("sound_fxvolume")->value = 1.0f;
  EXPECT_NEAR(LevelOf("tone", 1.0f, 0, nullptr) / full, 0.1, 0.1 * 0.02);
  Var_Find("sound_globalvolume")->value = 0.0f;
  Frame(1);
  EXPECT_LT(LevelOf("tone", 1.0f, 0, nullptr), 1e-4);
  // Mute lasts until the next listener update sets the master volume again.
  Var_Find("sound_globalvolume")->value = 1.0f;
  Frame(1);
  Sound_Mute();
  EXPECT_EQ(DS_GetMasterVolume(), 0.0f);
  Sound_Unmute();
  EXPECT_EQ(DS_GetMasterVolume(), 1.0f);
}

TEST_F(SoundVoices, ThirtyTwoVoicesAndTheThirtyThird) {
  WriteTone("tone", 1, 44100, 0.5);
  std::vector<uint32_t> handles;
  for (int i = 0; i < 32; i++) {
    uint32_t h = Sound_Play("tone", 1.0f, 100.0f, nullptr, 1, 0);
    ASSERT_NE(h, 0u) << i;
    for (uint32_t old : handles) EXPECT_GT(h, old);
    handles.push_back(h);
  }
  EXPECT_EQ(Sound_Play("tone", 1.0f, 100.0f, nullptr, 1, 0), 0u);
  Frame(2);
  for (int i = 0; i < 32; i++) EXPECT_EQ(Sound_HandleAt(i), handles[size_t(i)]);
  Sound_Stop(handles[5]);
  EXPECT_EQ(Sound_CheckHandle(handles[5]), 0u);
  uint32_t h = Sound_Play("tone", 1.0f, 100.0f, nullptr, 1, 0);
  EXPECT_GT(h, handles.back());
  EXPECT_EQ(Sound_HandleAt(5), h);
  Sound_StopAll();
  for (int i = 0; i < 32; i++) EXPECT_EQ(Sound_HandleAt(i), 0u);
  EXPECT_EQ(Sound_Play("missing", 1.0f, 100.0f, nullptr, 0, 0), 0u);
}

TEST_F(SoundVoices, OneShotFreesItsVoiceAndLoopDoesNot) {
  WriteTone("short", 1, 44100, 0.1);
  uint32_t once = Sound_Play("short", 1.0f, 100.0f, nullptr, 0, 0);
  uint32_t loop = Sound_Play("short", 1.0f, 100.0f, nullptr, 1, 0);
  ASSERT_NE(once, 0u);
  ASSERT_NE(loop, 0u);
  SoundVoice* v = DS_FindVoice(once);
  ASSERT_NE(v, nullptr);
  EXPECT_TRUE(v->flags & SOUND_STATIC);
  Frame(1);
  EXPECT_GT(out.RmsBoth(0, Now()), 0.05);
  int frames = 0;
  while (Sound_CheckHandle(once) && frames < 60) {
    Frame(1);
    frames++;
  }
  EXPECT_EQ(Sound_CheckHandle(once), 0u);
  EXPECT_GE(frames, 5);  // 0.1 s is six frames
  Frame(30);
  EXPECT_EQ(Sound_CheckHandle(loop), loop);
  int64_t written, played;
  uint32_t length, bits, channels, rate;
  ASSERT_EQ(Sound_GetPlayPosition(loop, &written, &played, &length, &bits, &channels, &rate), 1);
  EXPECT_EQ(length, 8820u);
  EXPECT_LT(played, int64_t(length));
  EXPECT_EQ(bits, 16u);
  EXPECT_EQ(channels, 1u);
  EXPECT_EQ(rate, 44100u);
  size_t from = Now();
  Frame(5);
  EXPECT_GT(out.RmsBoth(from, Now()), 0.05);
}

TEST_F(SoundVoices, EmptySoundsEndAndFreeTheirVoice) {
  ASSERT_TRUE(Tool_WriteBytes("nowav.wav", Tool_WavBytes(1, 44100, 16, {})));
  ASSERT_TRUE(Tool_WriteBytes("noogg.ogg", Tool_OggBytes(1, 44100, {}, 0.3f, 1)));
  for (const char* name : {"nowav", "noogg"}) {
    for (uint32_t loop = 0; loop <= 1; loop++) {
      uint32_t h = Sound_Play(name, 1.0f, 100.0f, nullptr, loop, 2);
      ASSERT_NE(h, 0u) << name;
      Frame(2);
      EXPECT_EQ(Sound_CheckHandle(h), 0u) << name << " loop " << loop;
    }
  }
}

TEST_F(SoundVoices, LongStreamPlaysWithoutGapsAndEnds) {
  // 8 seconds of stereo: more than the 1 MB ring.
  WriteOgg("long", 2, 44100, 8.0);
  uint32_t h = Sound_Play("long", 1.0f, 100.0f, nullptr, 0, 2);
  ASSERT_NE(h, 0u);
  SoundVoice* v = DS_FindVoice(h);
  ASSERT_NE(v, nullptr);
  EXPECT_FALSE(v->flags & SOUND_STATIC);
  int frames = 0;
  int64_t lastPlayed = 0;
  while (Sound_CheckHandle(h) && frames < 800) {
    Frame(1);
    frames++;
    if ((v = DS_FindVoice(h))) {
      EXPECT_GE(v->playedTotal, lastPlayed);
      EXPECT_LE(v->writtenTotal - v->playedTotal, int64_t(kSoundRingBytes));
      lastPlayed = v->playedTotal;
    }
  }
  EXPECT_EQ(Sound_CheckHandle(h), 0u);
  // 8 s is 480 frames; released soon after the last samples.
  EXPECT_GE(frames, 478);
  EXPECT_LE(frames, 490);
  // Every frame of the 8 seconds carried sound.
  size_t quiet = 0;
  for (size_t f = 2; f < 478; f++)
    if (out.RmsBoth(f * kFrameSamples, (f + 1) * kFrameSamples) < 0.05) quiet++;
  EXPECT_EQ(quiet, 0u);
  size_t from = Now();
  Frame(5);
  EXPECT_LT(out.RmsBoth(from, Now()), 1e-4);
}

TEST_F(SoundVoices, PauseAcrossFramesKeepsTheStreamWhereItWas) {
  WriteOgg("music", 2, 44100, 10.0);
  WriteTone("fx", 1, 44100, 0.3);
  uint32_t music = Sound_Play("music", 1.0f, 100.0f, nullptr, 1, 2);
  uint32_t fx = Sound_Play("fx", 1.0f, 100.0f, nullptr, 0, 0);
  ASSERT_NE(music, 0u);
  ASSERT_NE(fx, 0u);
  Frame(4);
  Sound_PauseAll();
  SoundVoice* v = DS_FindVoice(music);
  ASSERT_NE(v, nullptr);
  Frame(1);
  int64_t played = v->playedTotal, written = v->writtenTotal;
  EXPECT_GT(played, 0);
  size_t from = Now();
  Frame(120);  // two seconds of menu
  EXPECT_LT(out.RmsBoth(from, Now()), 1e-4);
  EXPECT_EQ(v->playedTotal, played);
  EXPECT_EQ(v->writtenTotal, written);
  EXPECT_EQ(Sound_CheckHandle(fx), fx);  // paused, not finished
  Sound_ResumeAll();
  from = Now();
  Frame(30);
  EXPECT_GT(out.RmsBoth(from + kFrameSamples * 2, Now()), 0.05);
  EXPECT_GT(v->playedTotal, played);
  EXPECT_LT(v->playedTotal, played + 44100 * 4 * 2);
  // The one-shot finishes its remaining part and goes.
  Frame(30);
  EXPECT_EQ(Sound_CheckHandle(fx), 0u);
  // Stop and play of one voice behave the same.
  Sound_StopVoice(music);
  Frame(10);
  played = v->playedTotal;
  Frame(10);
  EXPECT_EQ(v->playedTotal, played);
  Sound_PlayVoice(music);
  Frame(10);
  EXPECT_GT(v->playedTotal, played);
}

TEST_F(SoundVoices, TotalsPastTwoToTheThirtyOneKeepTheStreamGoing) {
  WriteOgg("music", 2, 44100, 3.0);
  uint32_t h = Sound_Play("music", 1.0f, 100.0f, nullptr, 1, 2);
  ASSERT_NE(h, 0u);
  Frame(10);
  SoundVoice* v = DS_FindVoice(h);
  ASSERT_NE(v, nullptr);
  // As after hours of looping music.
  const int64_t kHours = 3000000000LL;
  v->writtenTotal += kHours;
  v->playedTotal += kHours;
  int64_t played = v->playedTotal;
  size_t from = Now();
  Frame(400);  // several loops of the file and the ring
  EXPECT_EQ(Sound_CheckHandle(h), h);
  EXPECT_GT(v->playedTotal, played + 44100 * 4 * 5);
  EXPECT_LE(v->writtenTotal - v->playedTotal, int64_t(kSoundRingBytes));
  size_t quiet = 0;
  for (size_t f = from / kFrameSamples; f < Now() / kFrameSamples; f++)
    if (out.RmsBoth(f * kFrameSamples, (f + 1) * kFrameSamples) < 0.02) quiet++;
  EXPECT_LE(quiet, 2u);  // at most the joins of the loop
}

TEST_F(SoundVoices, SeekRewindsAStreamAndFeedsItAgain) {
  WriteOgg("music", 1, 44100, 1.0);
  uint32_t h = Sound_Play("music", 1.0f, 100.0f, nullptr, 0, 2);
  ASSERT_NE(h, 0u);
  SoundVoice* v = DS_FindVoice(h);
  Frame(10);
  ASSERT_TRUE(v->flags & SOUND_ENDED);  // the whole second is in the ring
  Sound_Seek(h, 0);
  // Fed again from the start: the whole second is written anew.
  EXPECT_GE(v->writtenTotal, 88200);
  EXPECT_LT(v->playedTotal, 4096);
  int frames = 0;
  while (Sound_CheckHandle(h) && frames < 200) {
    Frame(1);
    frames++;
  }
  EXPECT_GE(frames, 58);  // a whole second again
  EXPECT_EQ(Sound_CheckHandle(h), 0u);
}

TEST_F(SoundVoices, FrequencyZeroIsTheOwnRate) {
  WriteTone("tone", 1, 22050, 1.0, 441);
  uint32_t h = Sound_Play("tone", 1.0f, 100.0f, nullptr, 1, 0);
  Frame(2);
  Sound_SetFrequency(h, 44100);  // an octave up
  Frame(2);
  size_t from = Now();
  Frame(10);
  auto crossings = [&](size_t a, size_t b) {
    int n = 0;
    for (size_t i = a + 1; i < b; i++)
      if ((out.left[i - 1] < 0) != (out.left[i] < 0)) n++;
    return n;
  };
  int fast = crossings(from, Now());
  Sound_SetFrequency(h, 0);
  Frame(2);
  from = Now();
  Frame(10);
  int own = crossings(from, Now());
  EXPECT_NEAR(double(fast) / own, 2.0, 0.1);
  EXPECT_NEAR(own, 2 * 441 * 10 * kFrameSamples / 44100.0, 4);
}

namespace {
class SoundReverb : public SoundVoices {
  void Prepare() override {
    Var_Find("sound_eax")->value = 1;
    Var_Find("sound_eax_effects")->value = 1;  // bathroom from the start
  }
};
}  // namespace

TEST_F(SoundReverb, EnvironmentLeavesATailAfterAPositionalSound) {
  if (!DS_IsEaxLoaded()) GTEST_SKIP() << "the output device has no reverb";
  WriteTone("blip", 1, 44100, 0.1);
  const float pos[3] = {0, 64, 0};
  auto tailAfter = [&](int environment) {
    Var_Find("sound_eax_effects")->value = float(environment);
    Frame(2);
    uint32_t h = Sound_Play("blip", 1.0f, 100.0f, pos, 0, 0);
    EXPECT_NE(h, 0u);
    Frame(7);  // the blip is over
    size_t from = Now();
    Frame(6);
    double tail = out.RmsBoth(from, Now());
    Frame(120);  // let it die away
    return tail;
  };
  // A voice made before the first listener update of the environment is sent to it too.
  uint32_t early = Sound_Play("blip", 1.0f, 100.0f, pos, 1, 0);
  ASSERT_NE(early, 0u);
  Frame(10);
  Sound_Stop(early);
  size_t from = Now();
  Frame(6);
  EXPECT_GT(out.RmsBoth(from, Now()), 1e-3);
  Frame(120);
  double none = tailAfter(5);
  double bathroom = tailAfter(1);
  EXPECT_LT(none, 1e-4);
  EXPECT_GT(bathroom, 10 * none + 1e-4);
}

TEST(SoundDisabled, DisabledSoundStaysDownAndPlaysNothing) {
  tw_test::TempDir dir;
  Audio_UseLoopback(1);
  DSInit(0);
  Sound_Init(0);
  Var_Find("sound_disable")->value = 1;
  DSInit(1);
  Sound_Init(1);
  EXPECT_EQ(DS_IsUp(), 0);
  EXPECT_EQ(Sound_IsUp(), 0);
  ASSERT_TRUE(Tool_WriteBytes("tone.wav", Tool_WavBytes(1, 8000, 16, Tool_Sine(1, 8000, 100, 440, 0.5))));
  EXPECT_EQ(Sound_Play("tone", 1.0f, 1.0f, nullptr, 0, 0), 0u);
  Sound_Update();
  Sound_StopAll();
  Sound_Shutdown();
  DS_Shutdown();
  Audio_UseLoopback(0);
  Var_ResetTable();
}

TEST(SoundStartup, LogLinesOfTheStartWithAndWithoutTheEnvironment) {
  tw_test::TempDir dir;
  Log_Open();
  Audio_UseLoopback(1);
  DSInit(0);
  Var_Find("sound_disable")->value = 1;
  DSInit(1);
  EXPECT_EQ(DS_IsUp(), 0);
  Var_Find("sound_disable")->value = 0;
  Var_Find("sound_eax")->value = 1;
  DSInit(1);
  EXPECT_EQ(DS_IsUp(), 1);
  DS_Shutdown();
  Audio_UseLoopback(0);
  Log_Close();
  Var_ResetTable();
  std::string log = tw_test::ReadFile("log");
  EXPECT_EQ(tw_test::CountOccurrences(log, "DSInit: OK.\n"), 1) << log;
  bool eax = log.find("DSError: DS_OK: Success load EAX.DLL. [0]\n") != std::string::npos;
  bool plain = log.find("DSError: DS_OK: Unable load EAX.DLL. [0]\n") != std::string::npos;
  EXPECT_TRUE(eax != plain) << log;
  // Nothing was logged for the disabled start: two lines in all.
  EXPECT_EQ(tw_test::CountOccurrences(log, "\n"), 2) << log;
}

TEST_F(SoundVoices, StreamThatRanDryWhileNoFramesRanGoesOn) {
  WriteOgg("music", 2, 44100, 12.0);
  uint32_t h = Sound_Play("music", 1.0f, 100.0f, nullptr, 0, 2);
  ASSERT_NE(h, 0u);
  Frame(3);
  SoundVoice* v = DS_FindVoice(h);
  ASSERT_NE(v, nullptr);
  int64_t written = v->writtenTotal;
  // No frames for ten seconds (a long load, an inactive window): the output plays what it has.
  std::vector<float> buf(44100 * 2);
  for (int i = 0; i < 10; i++) Audio_RenderLoopback(buf.data(), 44100);
  EXPECT_LT(std::fabs(buf[buf.size() - 1]), 1e-4);
  // Paused before the next frame: the refill queues new data, none of which counts as played.
  Sound_PauseAll();
  Frame(5);
  EXPECT_EQ(v->playedTotal, written);  // exactly what was there, nothing counted twice
  EXPECT_GT(v->writtenTotal, written);
  Sound_ResumeAll();
  size_t from = Now();
  Frame(20);
  EXPECT_GT(out.RmsBoth(from + kFrameSamples, Now()), 0.05);
  EXPECT_GT(v->playedTotal, written);
  EXPECT_EQ(Sound_CheckHandle(h), h);
}

TEST_F(SoundVoices, DecoderInfoPlayPositionAndStaticSeek) {
  WriteOgg("music", 2, 44100, 2.0);
  WriteTone("tone", 1, 44100, 1.0);
  uint32_t music = Sound_Play("music", 1.0f, 100.0f, nullptr, 1, 2);
  uint32_t tone = Sound_Play("tone", 1.0f, 100.0f, nullptr, 1, 0);
  Frame(30);
  uint32_t a = 0, b = 0, c = 0, d = 0;
  EXPECT_EQ(Sound_GetDecoderInfo(music, &a, &b, &c, &d), 1);
  EXPECT_EQ(b, uint32_t(tw_test::ReadBytes("music.ogg").size()));
  EXPECT_EQ(c, uint32_t(b / 2.0));
  EXPECT_EQ(Sound_GetDecoderInfo(tone, &a, &b, &c, &d), 0);  // the WAV decoder fills nothing
  EXPECT_EQ(Sound_GetDecoderInfo(12345, &a, &b, &c, &d), 0);
  int64_t written, played;
  uint32_t length, bits, channels, rate;
  ASSERT_EQ(Sound_GetPlayPosition(music, &written, &played, &length, &bits, &channels, &rate), 1);
  EXPECT_EQ(length, 0u);  // streamed: totals as they are
  EXPECT_GE(played, 30 * kFrameSamples * 4 - 2 * kFrameSamples * 4);
  EXPECT_LE(played, 30 * kFrameSamples * 4);
  EXPECT_EQ(channels, 2u);
  // A static voice seeks back to its start.
  ASSERT_EQ(Sound_GetPlayPosition(tone, &written, &played, &length, &bits, &channels, &rate), 1);
  EXPECT_EQ(length, 88200u);
  EXPECT_GT(played, 40000);
  Sound_Seek(tone, 0);
  Frame(1);
  ASSERT_EQ(Sound_GetPlayPosition(tone, &written, &played, &length, &bits, &channels, &rate), 1);
  EXPECT_LE(played, int64_t(kFrameSamples * 2 * 2));
  EXPECT_EQ(Sound_CheckHandle(tone), tone);
}
