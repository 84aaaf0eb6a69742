// A demo played with "render_drawavi" 1 is captured into "demo.avi" at 24 frames a simulated
// second, decoded back; the setting is 0 afterwards and the capture ends with the demo, however
// the playback ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "foundation/log.h"
#include "foundation/sys.h"
#include "foundation/var.h"
#include "platform/media_ffmpeg.h"
#include "render/render.h"
#include "render/video.h"
#include "support/render_support.h"
#include "support/test_support.h"
#include "tools/save_maker.h"
#include "world/demo.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/save.h"

namespace {

TEST(DemoCapture, PlaybackWritesTwentyFourFramesASimulatedSecond) {
  if (!tw_test::HaveDisplay()) GTEST_SKIP() << "no display";
  tw_test::TempDir dir;
  Sys_Debug.openLog = 1;
  Log_Open();
  tw_test::StartGlWindow("Tarnwick demo capture test");
  ASSERT_EQ(RenderApi, 1u) << "the renderer did not start";
  GameVars_Init(0);
  // One simulated second of records; an empty name slot: the demo stops at its end.
  std::vector<DemoFrame> frames(20, DemoFrame{0.05f, 0, 0, 0});
  tw_test::WriteBytes("demo/cap.dem", Tool_SmallDemo(frames, ""));
  Tool_MakeSmallGame(0);
  Var_SetValue(&render_drawavi, 1);
  ASSERT_EQ(Demo_StartPlayback("cap"), 1);
  EXPECT_EQ(render_drawavi.value, 0.0f);
  EXPECT_EQ(Game_DemoFlags & DEMO_CAPTURE, DEMO_CAPTURE);
  EXPECT_EQ(Movie_IsCapturing(), 1);
  Game_SettleFrames = 0;
  for (int i = 0; i < 200 && Game_Running; i++) Game_Frame();
  EXPECT_FALSE(Game_Running);
  EXPECT_EQ(Movie_IsCapturing(), 0);
  std::vector<uint8_t> bytes = tw_test::ReadBytes("demo.avi");
  MediaVideo* v = MediaVideo_Open(bytes.data(), uint32_t(bytes.size()), 0, 0);
  ASSERT_NE(v, nullptr);
  MediaVideoInfo info;
  MediaVideo_GetInfo(v, &info);
  EXPECT_DOUBLE_EQ(info.frameRate, 24.0);
  EXPECT_NEAR(double(info.frameCount), 24.0, 1.0);
  int decoded = 0;
  while (MediaVideo_DecodeNext(v, nullptr, nullptr) == 1) decoded++;
  EXPECT_EQ(decoded, info.frameCount);
  MediaVideo_Close(v);

  // Every other end of a playback ends its capture too, and "demo.avi" is written whole.
  ASSERT_TRUE(Tool_WriteSmallLevel());
  Tool_MakeSmallGame(0);
  ASSERT_EQ(Save("slot"), 1);
  const struct {
    const char* name;
    void (*end)();
  } ends[] = {
      {"End game", [] { std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", "endgame"); Game_Frame(); }},
      {"Load game", [] { Save_LoadSlot("slot"); }},
      {"New game", [] { Level_Load("yard"); }},
  };
  for (const auto& e : ends) {
    std::remove("demo.avi");
    Tool_MakeSmallGame(0);
    Var_SetValue(&render_drawavi, 1);
    ASSERT_EQ(Demo_StartPlayback("cap"), 1) << e.name;
    for (int i = 0; i < 3; i++) Game_Frame();
    ASSERT_EQ(Movie_IsCapturing(), 1) << e.name;
    e.end();
    EXPECT_EQ(Movie_IsCapturing(), 0) << e.name;
    EXPECT_EQ(Game_DemoFlags & (DEMO_PLAYBACK | DEMO_CAPTURE), 0u) << e.name;
    EXPECT_TRUE(tw_test::FileExists("demo.avi")) << e.name;
    EXPECT_FALSE(tw_test::FileExists("demo.avi.tmp")) << e.name;
  }
  Level_Free();
  tw_test::StopGlWindow();
  Log_Close();
}

}  // namespace
