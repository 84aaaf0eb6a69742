// Voices rendered through the loopback output device: placement, gain law, voice limits,
// one-shots, loops, streams, pauses across frames and the reverb environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/sound_ds.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "platform/audio_openal.h"
#include "platform/window.h"
#include "support/test_support.h"
#include "tools/sound_files.h"

namespace {

constexpr int kFrameSamples = 735;  // one 60 Hz frame at 44100 Hz

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
    // The settings records outlive the table: put them back for the next test.
    for (const char* name : {"sound_globalvolume", "sound_fxvolume"}) Var_Find(name)->value = 1.0f;
    for (const char* name : {"sound_eax", "sound_eax_effects"}) Var_Find(name)->value = 0.0f;
    Sound_Shutdown();
    DS_Shutdown();
    Audio_UseLoopback(0);
    Var_ResetTable();
  }

  // One game frame: refill, listener (starts pending voices), then a frame of output.
  void Frame(int count = 1) {
    std::vector<float> buf(kFrameSamples * 2);
    for (int i = 0; i < count; i++) {
      Sound_Update();
      Sound_UpdateListener(listenerPos, listenerAngles);
      Audio_RenderLoopback(buf.data(), kFrameSamples);
      for (int s = 0; s < kFrameSamples; s++) {
        left.push_back(buf[size_t(s) * 2]);
        right.push_back(buf[size_t(s) * 2 + 1]);
      }
    }
  }
  size_t Now() const { return left.size(); }
  static double Rms(const std::vector<float>& ch, size_t from, size_t to) {
    double s = 0;
    to = std::min(to, ch.size());
    for (size_t i = from; i < to; i++) s += double(ch[i]) * ch[i];
    return from < to ? std::sqrt(s / double(to - from)) : 0;
  }
  double RmsBoth(size_t from, size_t to = SIZE_MAX) const {
    double l = Rms(left, from, to), r = Rms(right, from, to);
    return std::sqrt((l * l + r * r) / 2);
  }
  double LevelOfFrames(int frames) {
    size_t from = Now();
    Frame(frames);
    return RmsBoth(from);
  }
  // Frames in [from, to) quieter than `level`.
  size_t QuietFrames(size_t from, size_t to, double level) const {
    size_t quiet = 0;
    for (size_t f = from; f < to; f++)
      if (RmsBoth(f * kFrameSamples, (f + 1) * kFrameSamples) < level) quiet++;
    return quiet;
  }
  int FramesUntilReleased(uint32_t h, int limit) {
    int frames = 0;
    for (; Sound_CheckHandle(h) && frames < limit; frames++) Frame(1);
    return frames;
  }
  uint32_t Play(const char* name, uint32_t loop, uint32_t category, float volume = 1.0f, const float* pos = nullptr) {
    uint32_t h = Sound_Play(name, volume, 100.0f, pos, loop, category);
    EXPECT_NE(h, 0u) << name;
    return h;
  }

  static void WriteTone(const char* name, double seconds, double hz = 1000) {
    auto s = Tool_Sine(1, 44100, int(44100 * seconds), hz, 0.5);
    ASSERT_TRUE(Tool_WriteBytes(std::string(name) + ".wav", Tool_WavBytes(1, 44100, 16, s)));
  }
  static void WriteOgg(const char* name, int channels, double seconds) {
    auto s = Tool_Sine(channels, 44100, int(44100 * seconds), 440, 0.5);
    ASSERT_TRUE(Tool_WriteBytes(std::string(name) + ".ogg", Tool_OggBytes(channels, 44100, s, 0.3f, 17)));
  }

  // Level of a looping tone played with the given parameters, measured after it settles.
  double LevelOf(const char* name, float volume, uint32_t category, const float* pos, double* l = nullptr,
                 double* r = nullptr) {
    uint32_t h = Play(name, 1, category, volume, pos);
    Frame(3);
    size_t from = Now();
    Frame(10);
    if (l) *l = Rms(left, from, Now());
    if (r) *r = Rms(right, from, Now());
    double level = RmsBoth(from);
    Sound_Stop(h);
    Frame(1);
    return level;
  }

  tw_test::TempDir dir;
  std::vector<float> left, right;
  float listenerPos[3] = {0, 0, 0};
  float listenerAngles[3] = {0, 0, 0};
};

}  // namespace

TEST_F(SoundVoices, PositionalToneIsLouderOnItsSideAndVolumesFollowTheGainLaw) {
  WriteTone("tone", 1.0);
  double l, r;
  const float west[3] = {-64, 0, 0}, ahead[3] = {0, 64, 0};
  LevelOf("tone", 1.0f, 0, west, &l, &r);
  EXPECT_GT(l, 2 * r) << "left " << l << " right " << r;
  LevelOf("tone", 1.0f, 0, nullptr, &l, &r);  // not placed: centred
  EXPECT_GT(l, 0.01);
  EXPECT_NEAR(l / r, 1.0, 0.02);
  // Turned a quarter to the right (yaw +90 degrees: facing +X), +Y is on the left.
  listenerAngles[0] = float(M_PI / 2);
  LevelOf("tone", 1.0f, 0, ahead, &l, &r);
  EXPECT_GT(l, 2 * r) << "left " << l << " right " << r;
  // Centred, the volumes follow the gain law.
  double full = LevelOf("tone", 1.0f, 0, nullptr);
  ASSERT_GT(full, 0.01);
  EXPECT_NEAR(LevelOf("tone", 0.5f, 0, nullptr) / full, 0.31623, 0.31623 * 0.02);  // -10 dB
  Var_Find("sound_globalvolume")->value = 0.5f;
  Var_Find("sound_fxvolume")->value = 0.5f;
  Frame(1);
  EXPECT_NEAR(LevelOf("tone", 1.0f, 0, nullptr) / full, 0.1, 0.1 * 0.02);
  // Mute lasts until the next listener update sets the master volume again.
  Sound_Mute();
  EXPECT_EQ(DS_GetMasterVolume(), 0.0f);
  Sound_Unmute();
  EXPECT_EQ(DS_GetMasterVolume(), 0.5f);
}

TEST_F(SoundVoices, ThirtyTwoVoicesAndTheThirtyThird) {
  WriteTone("tone", 0.5);
  std::vector<uint32_t> handles;
  for (int i = 0; i < 32; i++) {
    uint32_t h = Sound_Play("tone", 1.0f, 100.0f, nullptr, 1, 0);
    ASSERT_GT(h, handles.empty() ? 0u : handles.back()) << i;
    handles.push_back(h);
  }
  EXPECT_EQ(Sound_Play("tone", 1.0f, 100.0f, nullptr, 1, 0), 0u);
  Frame(2);
  Sound_Stop(handles[5]);
  EXPECT_EQ(Sound_CheckHandle(handles[5]), 0u);
  uint32_t h = Play("tone", 1, 0);
  EXPECT_GT(h, handles.back());
  EXPECT_EQ(Sound_HandleAt(5), h);
}

TEST_F(SoundVoices, OneShotFreesItsVoiceLoopDoesNotEmptyEnds) {
  WriteTone("short", 0.1);
  uint32_t once = Play("short", 0, 0), loop = Play("short", 1, 0);
  EXPECT_GT(LevelOfFrames(1), 0.05);
  EXPECT_GE(FramesUntilReleased(once, 60), 5);  // 0.1 s is six frames
  Frame(30);
  EXPECT_EQ(Sound_CheckHandle(loop), loop);
  EXPECT_GT(LevelOfFrames(5), 0.05);
  // Empty sounds end at once, looping or not.
  ASSERT_TRUE(Tool_WriteBytes("nowav.wav", Tool_WavBytes(1, 44100, 16, {})));
  ASSERT_TRUE(Tool_WriteBytes("noogg.ogg", Tool_OggBytes(1, 44100, {}, 0.3f, 1)));
  for (const char* name : {"nowav", "noogg"})
    for (uint32_t loops = 0; loops <= 1; loops++) {
      uint32_t h = Play(name, loops, 2);
      Frame(2);
      EXPECT_EQ(Sound_CheckHandle(h), 0u) << name << " loop " << loops;
    }
}

TEST_F(SoundVoices, LongStreamPlaysWithoutGapsAndEnds) {
  WriteOgg("long", 2, 8.0);  // more than the 1 MB ring
  uint32_t h = Play("long", 0, 2);
  int frames = FramesUntilReleased(h, 800);
  EXPECT_EQ(Sound_CheckHandle(h), 0u);
  // 8 s is 480 frames; released soon after the last samples.
  EXPECT_GE(frames, 478);
  EXPECT_LE(frames, 490);
  EXPECT_EQ(QuietFrames(2, 478, 0.05), 0u);  // every frame of the 8 seconds carried sound
  EXPECT_LT(LevelOfFrames(5), 1e-4);
}

TEST_F(SoundVoices, VoicesStandStillWhileTheWindowIsInactive) {
  WriteTone("hum", 0.5);
  WriteTone("held", 0.5, 500);
  uint32_t loop = Play("hum", 1, 0), held = Play("held", 1, 0);
  Frame(2);
  Sound_StopVoice(held);  // paused by the game before the focus goes
  std::string unattended = getenv("TW_UNATTENDED") ? getenv("TW_UNATTENDED") : "";
  unsetenv("TW_UNATTENDED");  // a person's run: the window really goes inactive
  PlatEvent ev{};
  ev.kind = PLATEV_FOCUS_LOST;
  Sys_WndProc(&ev);
  SoundVoice* v = DS_FindVoice(loop);
  ASSERT_NE(v, nullptr);
  Frame(1);
  const int64_t played = v->playedTotal;
  EXPECT_LT(LevelOfFrames(60), 1e-4);  // a second in the background: the loop is silent
  EXPECT_EQ(v->playedTotal, played);
  ev.kind = PLATEV_FOCUS_GAINED;
  Sys_WndProc(&ev);
  if (!unattended.empty()) setenv("TW_UNATTENDED", unattended.c_str(), 1);
  EXPECT_EQ(Sys_AppInactive, 0);
  EXPECT_GT(LevelOfFrames(10), 0.05);  // the loop goes on ...
  EXPECT_GT(v->playedTotal, played);
  EXPECT_NE(DS_FindVoice(held)->flags & SOUND_PAUSED, 0u);  // ... the game's own pause holds
}

TEST_F(SoundVoices, TotalsPastTwoToTheThirtyOneKeepTheStreamGoing) {
  WriteOgg("music", 2, 3.0);
  uint32_t h = Play("music", 1, 2);
  Frame(10);
  SoundVoice* v = DS_FindVoice(h);
  ASSERT_NE(v, nullptr);
  v->writtenTotal += 3000000000LL;  // as after hours of looping music
  v->playedTotal += 3000000000LL;
  int64_t played = v->playedTotal;
  size_t from = Now();
  Frame(400);  // several loops of the file and the ring
  EXPECT_EQ(Sound_CheckHandle(h), h);
  EXPECT_GT(v->playedTotal, played + 44100 * 4 * 5);
  EXPECT_LE(v->writtenTotal - v->playedTotal, int64_t(kSoundRingBytes));
  EXPECT_LE(QuietFrames(from / kFrameSamples, Now() / kFrameSamples, 0.02), 2u);  // the loop's joins
}

TEST_F(SoundVoices, StreamThatRanDryWhileNoFramesRanGoesOn) {
  WriteOgg("music", 2, 12.0);
  uint32_t h = Play("music", 0, 2);
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
  Frame(1);
  EXPECT_GT(LevelOfFrames(19), 0.05);
}

// A pause over frames (a menu): silence, the stream's position held; after it the stream goes on
// from there and a one-shot that was cut finishes its rest.
TEST_F(SoundVoices, PauseAcrossFramesKeepsTheStreamWhereItWas) {
  WriteOgg("music", 2, 10.0);
  WriteTone("fx", 0.3);
  uint32_t music = Play("music", 1, 2), fx = Play("fx", 0, 0);
  Frame(4);
  Sound_PauseAll();
  SoundVoice* v = DS_FindVoice(music);
  ASSERT_NE(v, nullptr);
  Frame(1);
  int64_t played = v->playedTotal;
  EXPECT_LT(LevelOfFrames(120), 1e-4);  // two seconds of menu
  EXPECT_EQ(v->playedTotal, played);
  EXPECT_EQ(Sound_CheckHandle(fx), fx);  // the cut one-shot waits too
  Sound_ResumeAll();
  Frame(2);
  EXPECT_GT(LevelOfFrames(28), 0.05);
  EXPECT_LT(v->playedTotal, played + 44100 * 4 * 2);
  Frame(30);
  EXPECT_EQ(Sound_CheckHandle(fx), 0u);  // the one-shot finished its remaining part
}

// A frequency sets the playback rate; 0 gives the sound its own rate back.
TEST_F(SoundVoices, FrequencyZeroIsTheOwnRate) {
  WriteTone("tone", 1.0, 441);
  uint32_t h = Play("tone", 1, 0);
  auto crossingsAt = [&](uint32_t frequency) {
    Sound_SetFrequency(h, frequency);
    Frame(2);
    size_t from = Now();
    Frame(10);
    int n = 0;
    for (size_t i = from + 1; i < Now(); i++) n += (left[i - 1] < 0) != (left[i] < 0);
    return n;
  };
  int slow = crossingsAt(22050);  // an octave down
  int own = crossingsAt(0);
  EXPECT_NEAR(double(own) / slow, 2.0, 0.1);
  EXPECT_NEAR(own, 2 * 441 * 10 * kFrameSamples / 44100.0, 4);
}

namespace {
class SoundReverb : public SoundVoices {
  void Prepare() override {
    Var_Find("sound_eax")->value = 1;
    Var_Find("sound_eax_effects")->value = 1;  // bathroom from the start
  }
};
TEST_F(SoundVoices, SeekRewindsStreamsAndStaticVoices) {
  WriteOgg("music", 1, 1.0);
  WriteTone("tone", 1.0);
  uint32_t h = Play("music", 0, 2), tone = Play("tone", 1, 0);
  SoundVoice* v = DS_FindVoice(h);
  Frame(30);
  ASSERT_TRUE(v->flags & SOUND_ENDED);  // the whole second is in the ring
  int64_t written, played;
  uint32_t length, bits, channels, rate;
  ASSERT_EQ(Sound_GetPlayPosition(tone, &written, &played, &length, &bits, &channels, &rate), 1);
  EXPECT_EQ(length, 88200u);
  EXPECT_GT(played, 40000);
  Sound_Seek(h, 0);
  Sound_Seek(tone, 0);
  EXPECT_LT(v->playedTotal, 4096);  // the stream is fed again from the start
  Frame(1);
  ASSERT_EQ(Sound_GetPlayPosition(tone, &written, &played, &length, &bits, &channels, &rate), 1);
  EXPECT_LE(played, int64_t(kFrameSamples * 2 * 2));
  EXPECT_GE(FramesUntilReleased(h, 200), 57);  // a whole second again
  EXPECT_EQ(Sound_CheckHandle(h), 0u);
}

}  // namespace

TEST_F(SoundReverb, EnvironmentLeavesATailAfterAPositionalSound) {
  if (!DS_IsEaxLoaded()) GTEST_SKIP() << "the output device has no reverb";
  WriteTone("blip", 0.1);
  const float pos[3] = {0, 64, 0};
  auto tailAfter = [&](int environment) {
    Var_Find("sound_eax_effects")->value = float(environment);
    Frame(2);
    Play("blip", 0, 0, 1.0f, pos);
    Frame(7);  // the blip is over
    double tail = LevelOfFrames(6);
    Frame(120);  // let it die away
    return tail;
  };
  double none = tailAfter(5);
  double bathroom = tailAfter(1);
  EXPECT_LT(none, 1e-4);
  EXPECT_GT(bathroom, 10 * none + 1e-4);
}

TEST(SoundStartup, DisabledSoundStaysDownAndTheStartIsLogged) {
  tw_test::TempDir dir;
  Log_Open();
  Audio_UseLoopback(1);
  DSInit(0);
  Sound_Init(0);
  Var_Find("sound_disable")->value = 1;
  DSInit(1);
  Sound_Init(1);
  EXPECT_EQ(DS_IsUp(), 0);
  EXPECT_EQ(Sound_IsUp(), 0);
  Sound_Shutdown();
  Var_Find("sound_disable")->value = 0;
  Var_Find("sound_eax")->value = 1;
  DSInit(1);
  DS_Shutdown();
  Audio_UseLoopback(0);
  Log_Close();
  Var_ResetTable();
  std::string log = tw_test::ReadFile("log");
  EXPECT_EQ(tw_test::CountOccurrences(log, "DSInit: OK.\n"), 1) << log;
  bool eax = log.find("DSError: DS_OK: Success load EAX.DLL. [0]\n") != std::string::npos;
  bool plain = log.find("DSError: DS_OK: Unable load EAX.DLL. [0]\n") != std::string::npos;
  EXPECT_TRUE(eax != plain) << log;
  EXPECT_EQ(tw_test::CountOccurrences(log, "\n"), 2) << log;  // nothing logged for the disabled start
}
