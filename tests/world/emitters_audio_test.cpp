// A loaded game's sound emitters start again: ids naming music ("music_ambient", "music_weapon",
// "music_combat", any case) take their music channel, the others play as effects.
#include <gtest/gtest.h>

#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/sound_ds.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/audio_openal.h"
#include "support/test_support.h"
#include "tools/sound_files.h"
#include "world/entity.h"
#include "world/level.h"
#include "world/save.h"

namespace {

TEST(EmittersRestart, MusicIdsTakeTheirChannelsWithTheirTimes) {
  tw_test::TempDir dir;
  Log_Open();
  Audio_UseLoopback(1);
  for (int stage : {0, 1}) DSInit(stage), Sound_Init(stage);
  const bool up = DS_IsUp() != 0;
  if (up) {
    ASSERT_TRUE(Tool_WriteBytes("tune.wav", Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 22050, 300, 0.3))));
    Level_EmitterCount = 3;
    Level_Emitters[0] = SoundEmitter{"tune", 1.0f, 0.0f, vec3{}, "MUSIC_COMBAT"};
    Level_Emitters[1] = SoundEmitter{"tune", 1.0f, 0.0f, vec3{}, "music_ambient"};
    Level_Emitters[2] = SoundEmitter{"tune", 1.0f, 40.0f, vec3{1, 2, 3}, "music_weapon"};  // placed: an effect
    for (MusicChannel& m : Game_MusicChannels) m = MusicChannel{};
    Emitters_Restart();
    const float now = float(Timer_FrameTime);
    EXPECT_NE(Sound_CheckHandle(Game_MusicChannels[3].voice), 0u);
    EXPECT_FLOAT_EQ(Game_MusicChannels[3].firstTime, now + 1000000.0f);
    EXPECT_FLOAT_EQ(Game_MusicChannels[3].secondTime, now + 1100000.0f);
    EXPECT_NE(Sound_CheckHandle(Game_MusicChannels[1].voice), 0u);
    EXPECT_FLOAT_EQ(Game_MusicChannels[1].firstTime, now + 5.0f);
    EXPECT_FLOAT_EQ(Game_MusicChannels[1].secondTime, now + 10.0f);
    EXPECT_EQ(Game_MusicChannels[2].voice, 0u);
    Level_EmitterCount = 0;
  }
  Sound_Shutdown();
  DS_Shutdown();
  Audio_UseLoopback(0);
  Var_ResetTable();
  Log_Close();
  if (!up) GTEST_SKIP() << "no loopback output device";
}

// A new game's level starts its looping emitters as a loaded game does.
TEST(EmittersRestart, ALevelLoadStartsItsLoopingSounds) {
  tw_test::TempDir dir;
  Log_Open();
  Audio_UseLoopback(1);
  for (int stage : {0, 1}) DSInit(stage), Sound_Init(stage);
  const bool up = DS_IsUp() != 0;
  auto live = [] {
    int n = 0;
    for (int i = 0; i < Sound_MaxVoices(); i++)
      if (uint32_t h = Sound_HandleAt(i); h && Sound_CheckHandle(h)) n++;
    return n;
  };
  if (up) {
    ASSERT_TRUE(Tool_WriteBytes("hum.wav", Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 22050, 90, 0.3))));
    tw_test::WriteFile("scenes/yard.scn",
                       "{\"classname\" \"sound\" \"id\" \"hum\" \"name\" \"hum\" \"volume\" \"0.5\" "
                       "\"mindist\" \"200\" \"origin\" \"0 0 0\"}\n");
    ASSERT_EQ(Level_Load("yard"), 1);
    EXPECT_EQ(Level_EmitterCount, 1);
    EXPECT_EQ(live(), 1) << "the level's hum is silent";
    Level_Free();
    EXPECT_EQ(live(), 0);
  }
  Sound_Shutdown();
  DS_Shutdown();
  Audio_UseLoopback(0);
  Var_ResetTable();
  Log_Close();
  if (!up) GTEST_SKIP() << "no loopback output device";
}

}  // namespace
