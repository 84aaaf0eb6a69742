// Videos in step with their sound, rendered through the loopback output device: the WMV clock
// follows the played bytes (and the time scale through the playback frequency), the AVI picture
// follows its looping sound and pauses with it.
#include <gtest/gtest.h>

// Test video specs name only the fields they change.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <cmath>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/sound_ds.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/audio_openal.h"
#include "render/render.h"
#include "render/video.h"
#include "support/test_support.h"
#include "tools/media_writer.h"
#include "tools/sound_files.h"
#include "world/game.h"

namespace {

constexpr int kFrameSamples = 735;  // one 60 Hz frame at 44100 Hz

class VideoSync : public ::testing::Test {
 protected:
  void SetUp() override {
    RenderApi = RENDER_API_NONE;
    TimeScale = 1.0f;
    Timer_FrameDelta = 0;
    Sound_WmaDecoderSlot = Movie_WmaLoader;
    Audio_UseLoopback(1);
    DSInit(0);
    Sound_Init(0);
    DSInit(1);
    Sound_Init(1);
    if (!DS_IsUp()) GTEST_SKIP() << "no loopback output device";
  }
  void TearDown() override {
    Movie_PlayAvi("", 0, 0, nullptr);
    Sound_Shutdown();
    DS_Shutdown();
    Audio_UseLoopback(0);
    Var_ResetTable();
    TimeScale = 1.0f;
  }
  // Game frames of sound output; returns the seconds rendered.
  double Frames(int count) {
    double rms = 0;
    for (int i = 0; i < count; i++) {
      const float pos[3] = {0, 0, 0}, ang[3] = {0, 0, 0};
      Sound_Update();
      Sound_UpdateListener(pos, ang);
      std::vector<float> buf(kFrameSamples * 2);
      Audio_RenderLoopback(buf.data(), kFrameSamples);
      for (float s : buf) rms += double(s) * s;
      samples_ += kFrameSamples;
    }
    lastRms_ = std::sqrt(rms / (double(count) * kFrameSamples * 2));
    return double(count) * kFrameSamples / kAudioOutputRate;
  }
  static void WriteTone(const std::string& name, double seconds) {
    auto s = Tool_Sine(1, 22050, int(22050 * seconds), 440, 0.5);
    ASSERT_TRUE(Tool_WriteBytes(name + ".wav", Tool_WavBytes(1, 22050, 16, s)));
  }
  static int ShownFrame(const uint8_t* px, uint32_t w, uint32_t h) {
    const uint8_t* p = px + (size_t(h / 2) * w + w / 2 + w / 8) * 4;
    uint8_t rgb[3] = {p[2], p[1], p[0]};
    return Tools_MatchTestFrame(rgb);
  }
  double lastRms_ = 0;
  size_t samples_ = 0;
  tw_test::TempDir dir_;
};

}  // namespace

TEST_F(VideoSync, WmvClockFollowsItsSound) {
  ASSERT_TRUE(Tools_WriteTestVideo("intro.wmv", {.container = "asf", .codec = "wmv2", .frames = 48, .gop = 12}));
  WriteTone("intro", 2.0);
  MovieWmv* m = Movie_OpenWmv("intro");
  ASSERT_NE(m, nullptr);
  ASSERT_NE(m->sound, 0u);
  Timer_FrameDelta = 10.0;  // the frame step is not used while the sound tells the time
  double t = Frames(30);
  ASSERT_EQ(Movie_UpdateWmv(m), 1);
  EXPECT_NEAR(m->clock, t, 0.041);
  // At most five frames a call: two more calls catch up with the clock.
  Movie_UpdateWmv(m);
  Movie_UpdateWmv(m);
  int shown = ShownFrame(m->sampleBuffer, m->frameWidth, m->frameHeight);
  EXPECT_NEAR(shown, int(m->clock * 24) + 1, 1);
  // At half the time scale the sound plays at half its rate, and the pictures follow.
  TimeScale = 0.5f;
  Movie_UpdateWmv(m);  // sets the frequency
  float before = m->clock;
  double more = Frames(30);
  Movie_UpdateWmv(m);
  EXPECT_NEAR(m->clock - before, more * 0.5, 0.05);
  Movie_CloseWmv(&m);
}

TEST_F(VideoSync, AviFollowsItsLoopingSoundAndPauses) {
  ASSERT_TRUE(Tools_WriteTestVideo("menu.avi", {.frames = 24}));
  WriteTone("menu", 1.0);
  Movie_PlayAvi("menu", 0.0f, 0, nullptr);
  const MovieAviState* a = Movie_GetAviState();
  ASSERT_NE(a->sound, 0u);
  double t = Frames(24);  // about 0.4 s
  Movie_PlayAvi("menu", 0.0f, 0, nullptr);  // the caller's time is not used while the sound tells it
  EXPECT_NEAR(double(a->currentFrame), std::floor(t * 24), 1.0);
  // Paused: the sound stops and the picture follows the caller's time.
  Movie_SetAviPaused("menu", 0.2f, 1);
  EXPECT_EQ(a->paused, 1);
  Frames(5);
  EXPECT_LT(lastRms_, 1e-4);
  Movie_PlayAvi("menu", 0.75f, 0, nullptr);
  EXPECT_EQ(a->currentFrame, 18);
  // Resumed at 0.5 s: the sound is moved there and plays again.
  Movie_SetAviPaused("menu", 0.5f, 0);
  EXPECT_EQ(a->paused, 0);
  Frames(5);
  EXPECT_GT(lastRms_, 0.05);
}
