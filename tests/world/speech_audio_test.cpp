// A voiced line on the sound clock: a two-second voice rendered frame by frame through the
// loopback output device drives the lips and the expression, and its end releases both tracks.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/sound_ds.h"
#include "foundation/var.h"
#include "platform/audio_openal.h"
#include "support/test_support.h"
#include "tools/sound_files.h"
#include "tools/speech_writer.h"
#include "world/game.h"
#include "world/object.h"
#include "world/speech.h"

namespace {

constexpr int kFrameSamples = 735;  // one 60 Hz frame at the device's 44100 Hz
constexpr double kFrame = kFrameSamples / 44100.0;

// The sound module on the loopback device for one test, shut down however the test ends.
struct LoopbackSound {
  LoopbackSound() {
    Log_Open();
    Audio_UseLoopback(1);
    for (int stage : {0, 1}) DSInit(stage), Sound_Init(stage);
  }
  ~LoopbackSound() {
    Obj_ClearAll();
    Sound_Shutdown();
    DS_Shutdown();
    Audio_UseLoopback(0);
    Var_ResetTable();
    Log_Close();
  }
  tw_test::TempDir dir;
};

TEST(SpeechOnTheSoundClock, LipsAndExpressionFollowTheRenderedVoice) {
  LoopbackSound sound;
  if (!DS_IsUp()) GTEST_SKIP() << "no loopback output device";
  // Two seconds of voice at 22050 Hz; record k of the speech track has lip value k, so the first
  // lip value reads the line time in tenths of a second.
  ASSERT_TRUE(Tool_WriteBytes("line.wav", Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 44100, 300, 0.3))));
  std::vector<std::array<float, 8>> speech;
  for (int k = 0; k < 20; k++) speech.push_back({float(k), 1, 0, 0, 0, 0, 0, float(-k)});
  ASSERT_TRUE(Tool_WriteSpeechTracks("line", 0.1f, speech, {{0.8f, 1, 1, 1, 1, 1}, {1.9f, 3, 3, 3, 3, 3}}));

  GameObject* o = Obj_Alloc();
  Game_Time = 5.0;  // the game clock stands still: only the voice moves the line
  Speech_Load(o, "line");
  ASSERT_EQ(o->speech.clockKind, SPEECH_BY_VOICE);
  const uint32_t voice = o->person.voices[0];
  float buf[kFrameSamples * 2];
  const float pos[3] = {0, 0, 0};
  int checked = 0;
  for (int frame = 1; frame <= 100; frame++) {
    Sound_Update();
    Sound_UpdateListener(pos, pos);
    Audio_RenderLoopback(buf, kFrameSamples);
    Sound_Update();  // takes the voice's played count
    const double rendered = frame * kFrame;
    const float t = Speech_GetLineTime(o);
    ASSERT_NEAR(t, rendered, kFrame) << frame;
    Speech_Find(o, o->drawValues);
    if (t < 1.85f) {
      EXPECT_NEAR(o->drawValues[1], t / 0.1f, 0.01f) << frame;
      EXPECT_NEAR(o->drawValues[8], -t / 0.1f, 0.01f) << frame;
      float envelope = t < 0.5f ? 2 * t : 1.0f;
      if (t > 1.4f) envelope *= 2 * (1.9f - t);
      EXPECT_NEAR(o->drawValues[10], (t <= 0.8f ? 1.0f : 3.0f) * envelope, 0.01f) << frame;
      checked++;
    }
  }
  EXPECT_GT(checked, 100 - 30);
  // The voice plays out: the next sample finds the line over and frees both tracks.
  for (int frame = 0; frame < 30 && Sound_CheckHandle(voice); frame++) {
    Sound_Update();
    Sound_UpdateListener(pos, pos);
    Audio_RenderLoopback(buf, kFrameSamples);
  }
  EXPECT_EQ(Sound_CheckHandle(voice), 0u);
  EXPECT_FLOAT_EQ(Speech_GetLineTime(o), 1e10f);
  Speech_Find(o, o->drawValues);
  EXPECT_EQ(o->speech.speech, nullptr);
  EXPECT_EQ(o->speech.emotion, nullptr);
  Speech_Free(o);
}

}  // namespace
