// The frame: one input handler by mode, a bounded network drain, sound fades, the day's fog,
// demo playback that cannot hold the frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "foundation/var.h"
#include "quests/dialog.h"
#include "render/render.h"
#include "platform/clock.h"
#include "world/demo.h"
#include "world/gamevars.h"
#include "world/screenshot.h"
#include "world/level.h"
#include "world/net.h"
#include "world_fixture.h"

namespace {

using tw_test::WorldTest;
using FrameTest = WorldTest;

std::vector<std::string> g_steps;
void Record(const char* step) { g_steps.push_back(step); }

std::vector<std::string> RunFrame() {
  g_steps.clear();
  Game_FrameTraceHook = Record;
  Game_Frame();
  Game_FrameTraceHook = nullptr;
  return g_steps;
}

TEST_F(FrameTest, ExactlyOneInputHandlerByMode) {
  const struct {
    uint32_t menu;
    int32_t fullScreen;
    uint32_t panel, dialog;
    const char* handler;
  } rows[] = {
      {0, FULLSCREEN_MOVIE, 0, 0, "FullScreenInput"}, {1, FULLSCREEN_MOVIE, 1, 1, "Menu_Input"},
      {0, 0, 1, 1, "Panel_Input"},                    {0, 0, 0, 1, "Dialog_Input"},
      {0, 0, 0, 0, "Game_PlayInput"},
  };
  const char* handlers[] = {"FullScreenInput", "Menu_Input", "Panel_Input", "Dialog_Input", "Game_PlayInput"};
  StartGame();
  for (const auto& r : rows) {
    Game_MenuOpen = r.menu;
    Game_FullScreenMode = r.fullScreen;
    Game_PanelOpen = r.panel;
    Dialog_Open = r.dialog;
    std::vector<std::string> steps = RunFrame();
    int count = 0;
    for (const std::string& s : steps)
      for (const char* h : handlers) count += s == h;
    EXPECT_EQ(count, 1) << r.handler;
    EXPECT_NE(std::find(steps.begin(), steps.end(), r.handler), steps.end()) << r.handler;
  }
  Dialog_Open = 0;
}

int g_received;
int Flood(void* buffer, int, uint32_t* sender) {
  g_received++;
  static_cast<uint8_t*>(buffer)[0] = 0;
  *sender = 0x0100007F;
  return 1;
}

TEST_F(FrameTest, AFloodOfDatagramsIsCutAtTheCapEachFrame) {
  NET_Up = 1;
  NET_ReceiveSource = Flood;
  g_received = 0;
  Game_Frame();
  EXPECT_EQ(g_received, kNetPacketsPerFrame);
  NET_ReceiveSource = nullptr;
  NET_Up = 0;
}

TEST(FadesAndFog, SoundVolumesRunFromStartToEndAndTheFogWeightFollowsTheDay) {
  SoundFade fade{7, 10.0, 0.2f, 20.0, 1.0f};
  EXPECT_FLOAT_EQ(Game_FadeVolume(&fade, 15.0), 0.6f);
  EXPECT_FLOAT_EQ(Game_FadeVolume(&fade, 25.0), 1.0f);
  SoundFade instant{7, 10.0, 0.2f, 10.0, 1.0f};
  EXPECT_FLOAT_EQ(Game_FadeVolume(&instant, 10.0), 0.2f);
  EXPECT_FLOAT_EQ(Game_FadeVolume(&instant, 10.5), 1.0f);
  // The day fog's weight follows the day; a day of no length counts as a minute.
  EXPECT_DOUBLE_EQ(Game_DayFogWeight(15.0, 60.0), 1.0);  // noon
  EXPECT_DOUBLE_EQ(Game_DayFogWeight(45.0, 60.0), 0.0);  // night
  for (double day : {0.0, -5.0, std::nan("")}) {
    EXPECT_DOUBLE_EQ(Game_DayFogWeight(15.0, day), 1.0);
    EXPECT_DOUBLE_EQ(Game_DayFogWeight(0.1, day), Game_DayFogWeight(0.1, 60.0));
  }
}

uint64_t g_clockNow;
uint64_t SteadyClock() { return g_clockNow += 20000000; }  // 20 ms a read
int g_records;
void EmptyRecords(DemoFrame* frame) {
  g_records++;
  *frame = DemoFrame{};
}
void EndingRecords(DemoFrame* frame) {
  g_records++;
  *frame = DemoFrame{0.01f, 0, 0, g_records >= 3 ? DEMO_CMD_END : 0u};
}

TEST_F(FrameTest, DemoOfEmptyRecordsCannotHoldTheFrameAndAnEndRestartsItOnce) {
  PlatClock_SetSource(SteadyClock);
  Timer_Start();
  StartGame();
  Game_DemoFlags = DEMO_PLAYBACK;
  Demo_ReadSource = EmptyRecords;
  g_records = 0;
  Game_Frame();
  EXPECT_EQ(g_records, kMaxTicksPerFrame);  // the accumulator keeps the rest
  EXPECT_GT(Game_Accumulator, 0);
  // A demo that ends: the level is released and the frame starts again, once.
  Demo_ReadSource = EndingRecords;
  g_records = 0;
  Game_Accumulator = 0;
  std::vector<std::string> steps = RunFrame();
  EXPECT_EQ(std::count(steps.begin(), steps.end(), "Timer_UpdateFrame"), 2);
  EXPECT_EQ(std::count(steps.begin(), steps.end(), "Game_Tick"), 2);
  EXPECT_EQ(Game_Running, 0u);
  Demo_ReadSource = nullptr;
  PlatClock_SetSource(nullptr);
}

// The frame presents the previous picture before it begins the next; a menu draws no world.
TEST_F(FrameTest, StepsRunInOrderPresentingThePreviousFrameBeforeDrawing) {
  // No game: the front end's menu over a black screen.
  const std::vector<std::string> idle = {
      "Timer_UpdateFrame", "Game_FrameInput", "Menu_Input",        "NET_Receive",           "Sound_Update",
      "Sound_UpdateListener", "Render_EndFrame", "Render_BeginFrame", "View_ResetRenderState", "Game_Draw2D",
      "Movie_CaptureFrame"};
  EXPECT_EQ(RunFrame(), idle);
  EXPECT_TRUE(Game_MenuOpen);
  Game_MenuOpen = 0;
  StartGame();
  const std::vector<std::string> playing = {
      "Timer_UpdateFrame", "Game_FrameInput",   "Game_PlayInput",  "NET_Receive",
      "Game_Tick",         "Sound_Update",      "Sound_UpdateListener", "Render_EndFrame",
      "Render_BeginFrame", "View_RenderWorld",  "View_ResetRenderState", "Game_Draw2D",
      "Movie_CaptureFrame"};
  EXPECT_EQ(RunFrame(), playing);
  // A menu: a black screen and no world pass.
  Game_MenuOpen = 1;
  const std::vector<std::string> menu = {
      "Timer_UpdateFrame",    "Game_FrameInput", "Menu_Input",        "NET_Receive",
      "Game_Tick",            "Sound_Update",    "Sound_UpdateListener", "Render_EndFrame",
      "Render_BeginFrame",    "View_ResetRenderState", "Game_Draw2D", "Movie_CaptureFrame"};
  EXPECT_EQ(RunFrame(), menu);
}

// "render_fog" alone decides whether the scene wants fog; a level's own fog sets give the range,
// the colour and the level's flag that the world pass reads, never the wish itself.
TEST_F(FrameTest, FogIsWantedExactlyWhileTheSettingIsOn) {
  Var_SetValue(&render_fog, 1);
  Game_Frame();
  EXPECT_EQ(RenderFogWanted, 1u);
  Var_SetValue(&render_fog, 0);
  Game_Frame();
  EXPECT_EQ(RenderFogWanted, 0u);
  const LevelFogSet kept[2] = {Level_FogSets[0], Level_FogSets[1]};
  Level_FogSets[0] = LevelFogSet{{0.5f, 0.5f, 0.5f, 1.0f}, 10.0f, 500.0f};
  Level_FogSets[1] = Level_FogSets[0];
  Level_FogFlag = 0;
  Game_Frame();
  EXPECT_EQ(RenderFogWanted, 0u);
  Level_FogSets[0] = kept[0];
  Level_FogSets[1] = kept[1];
  Level_FogFlag = 0;
}

}  // namespace

namespace {

// While the camera sequence flag is on with "render_drawavi", each frame of play is exactly 1/24 s
// and captures itself; without the setting, or under a menu, nothing is captured.
TEST_F(FrameTest, TheCameraSequenceCapturesEachFrameOfPlayWithDrawAvi) {
  StartGame();
  Game_SpecialFlag = 1;
  const int32_t start = Capture_Counter;
  Var_SetValue(&render_drawavi, 0);
  Game_Frame();
  EXPECT_EQ(Capture_Counter, start);
  Var_SetValue(&render_drawavi, 1);
  Game_Frame();
  Game_Frame();
  EXPECT_EQ(Capture_Counter, start + 2);
  EXPECT_DOUBLE_EQ(Timer_FrameDelta, 1.0 / 24);
  Game_MenuOpen = 1;
  Game_Frame();
  EXPECT_EQ(Capture_Counter, start + 2);
  Game_MenuOpen = 0;
  Game_SpecialFlag = 0;
  Game_Frame();
  EXPECT_EQ(Capture_Counter, start + 2);
  Var_SetValue(&render_drawavi, 0);
}

}  // namespace
