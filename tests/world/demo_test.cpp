// Demos: the file's layout, playback's ends and restarts, damaged records, and a demo recorded by
// one process and replayed by another running the same ticks.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ai/bot.h"
#include "characters/actions.h"
#include "characters/defs.h"
#include "characters/player.h"
#include "foundation/file.h"
#include "foundation/input.h"
#include "foundation/random.h"
#include "foundation/text.h"
#include "hud/hud.h"
#include "platform/clock.h"
#include "scene/model.h"
#include "tools/save_maker.h"
#include "ui/ui.h"
#include "world/demo.h"
#include "world/gameinput.h"
#include "world/entity.h"
#include "world/image.h"
#include "world/level.h"
#include "world/personage.h"
#include "world/save.h"
#include "world/start.h"
#include "world_fixture.h"

namespace {

using tw_test::Get32;
using tw_test::Put32;
using tw_test::ReadBytes;
using tw_test::WorldTest;

uint64_t g_slowNow;
uint64_t HalfSecondClock() { return g_slowNow += 500000000; }

class DemoTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Math_RandInit();
    Tool_MakeSmallGame(0);  // the player and one object of each other class on "yard"
  }
  void TearDown() override {
    EndDemo();
    StartRecord();
    Level_EmitterCount = Game_PersonageCount = 0;
    WorldTest::TearDown();
  }
  // Frames half a second apart.
  static void FrameAfterHalfASecond() {
    static bool started;
    if (!started) {
      PlatClock_SetSource(HalfSecondClock);
      Timer_Start();
      Timer_ResetFrame();
      started = true;
    }
    Game_Frame();
  }
  // Past the settling frames of the recording's start.
  static void FramesUntilSettled() {
    for (int i = 0; i <= kSettleFrames; i++) FrameAfterHalfASecond();
  }
  // Records `ticks` ticks of the given steps through the ring and ends the recording.
  static void Record(const char* name, int ticks, float step) {
    ASSERT_EQ(StartDemo(name), 1);
    for (int t = 0; t < ticks; t++) {
      Game_TickFrame = DemoFrame{step, 0.01f * float(t), 0, uint32_t(t)};
      Game_Tick();
      Demo_WriteFrame(&Game_TickFrame);
    }
    ASSERT_EQ(StartRecord(), 1);
  }
};

TEST_F(DemoTest, ADemoEndedAtOnceIsTheSnapshotAndTheEndRecordAndItsPlaybackRestarts) {
  size_t snapshot = Save_SnapshotBytes().size();
  ASSERT_EQ(StartDemo("now.d"), 1);
  EXPECT_EQ(Game_DemoFlags & DEMO_RECORDING, DEMO_RECORDING);
  ASSERT_EQ(StartRecord(), 1);
  EXPECT_EQ(Game_DemoFlags & DEMO_RECORDING, 0u);
  EXPECT_EQ(StartRecord(), 0);  // nothing to end: the bit stays clear
  EXPECT_EQ(Game_DemoFlags & DEMO_RECORDING, 0u);
  std::vector<uint8_t> d = ReadBytes("demo/now.d.dem");
  ASSERT_EQ(d.size(), snapshot + 288);
  EXPECT_EQ(Get32(d, snapshot + 12), 0x40000000u);
  EXPECT_STREQ(reinterpret_cast<const char*>(&d[snapshot + 16]), "now.d");
  EXPECT_EQ(Get32(d, snapshot + 272 + 12), 0x80000000u);
  std::string log = Log();
  EXPECT_NE(log.find("StartDemo:started."), std::string::npos);
  EXPECT_NE(log.find("StartRecord:ended."), std::string::npos);
  // Refused: a network game, a name with "..".
  Game_NetMode = 1;
  EXPECT_EQ(StartDemo("net"), 0);
  Game_NetMode = 0;
  EXPECT_EQ(StartDemo("..\\up"), 0);
  EXPECT_FALSE(tw_test::FileExists("demo/net.dem"));
  // Playback replays, restarts at the end and keeps the same level's geometry.
  Nav_Level.sets[NAV_CIVILIAN].areas.resize(1);  // the loaded level's areas
  Record("loop", 3, 0.05f);
  Obj_Player->origin.x = 99;
  ASSERT_EQ(Demo_StartPlayback("loop"), 1);
  EXPECT_EQ(Nav_Level.sets[NAV_CIVILIAN].areas.size(), 1u);  // same level: no geometry load
  EXPECT_EQ(Tick_AiStarted, 1u);
  EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, DEMO_PLAYBACK);
  EXPECT_EQ(Obj_Count(), 9);
  for (int t = 0; t < 3; t++) {
    DemoFrame f;
    Demo_ReadFrame(&f);
    EXPECT_EQ(f.command, uint32_t(t));
    EXPECT_FLOAT_EQ(f.step, 0.05f);
  }
  // Through the frame from the start: the chaining record starts the demo again.
  ASSERT_EQ(Demo_StartPlayback("loop"), 1);
  FramesUntilSettled();
  EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, DEMO_PLAYBACK);
  EXPECT_EQ(Game_Running, 1u);
  EXPECT_GE(tw_test::CountOccurrences(Log(), "StartDemo:playdemo."), 3);
}

TEST_F(DemoTest, AnEmptyNameSlotStopsAndFreesTheLevel) {
  Record("stop", 2, 0.05f);
  std::vector<uint8_t> d = ReadBytes("demo/stop.dem");
  std::memset(&d[d.size() - 272], 0, 256);
  tw_test::WriteBytes("demo/stop.dem", d);
  ASSERT_EQ(Demo_StartPlayback("stop"), 1);
  FramesUntilSettled();
  EXPECT_EQ(Game_Running, 0u);
  EXPECT_EQ(Obj_Count(), 0);
}

TEST_F(DemoTest, DamagedDemosEndOrAreRefused) {
  Record("steps", 2, 0.05f);
  const std::vector<uint8_t> good = ReadBytes("demo/steps.dem");
  const size_t first = good.size() - 288 - 32;
  for (float bad : {-0.01f, 1.5f, std::nanf(""), INFINITY}) {
    std::vector<uint8_t> d = good;
    uint32_t u;
    std::memcpy(&u, &bad, 4);
    Put32(d, first + 16, u);
    tw_test::WriteBytes("demo/bad.dem", d);
    ASSERT_EQ(Demo_StartPlayback("bad"), 1) << bad;
    DemoFrame f;
    Demo_ReadFrame(&f);
    EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, DEMO_PLAYBACK) << bad;
    Demo_ReadFrame(&f);
    EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, 0u) << bad;
    EXPECT_EQ(f.step, 0.0f);
  }
  // A snapshot of a network game, a damaged snapshot, a missing file: no playback starts.
  std::vector<uint8_t> net = good;
  Put32(net, kSaveOfsMode, 1);
  tw_test::WriteBytes("demo/net.dem", net);
  std::vector<uint8_t> cut(good.begin(), good.begin() + 1000);
  tw_test::WriteBytes("demo/cut.dem", cut);
  for (const char* name : {"net", "cut", "missing", "a\\..\\b"}) {
    EXPECT_EQ(Demo_StartPlayback(name), 0) << name;
    EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, 0u) << name;
  }
  EXPECT_NE(Log().find("StartDemo:a network game's snapshot"), std::string::npos);
  // A chaining record whose name is not plain does not start anything.
  std::vector<uint8_t> chain = good;
  std::memcpy(&chain[chain.size() - 272], "..\\x", 5);
  tw_test::WriteBytes("demo/chain.dem", chain);
  ASSERT_EQ(Demo_StartPlayback("chain"), 1);
  DemoFrame f;
  for (int i = 0; i < 3; i++) Demo_ReadFrame(&f);
  EXPECT_STREQ(Demo_NextName(), "");
}

// A record turning by more than any mouse can (a finite 3e38) ends the playback like other damage;
// a large turn within that plays, and the hero's yaw stays within one turn.
TEST_F(DemoTest, HugeTurnsEndThePlaybackAndLargeTurnsKeepTheYawWithinATurn) {
  const int ticks = 40;
  Record("spin", ticks, 0.05f);
  const std::vector<uint8_t> good = ReadBytes("demo/spin.dem");
  const size_t first = good.size() - 288 - 16 * ticks;
  auto withTurns = [&](float turn, float pitch) {
    std::vector<uint8_t> d = good;
    uint32_t t, p;
    std::memcpy(&t, &turn, 4);
    std::memcpy(&p, &pitch, 4);
    for (int i = 0; i < ticks; i++) {
      Put32(d, first + 16 * size_t(i) + 4, t);
      Put32(d, first + 16 * size_t(i) + 8, p);
    }
    tw_test::WriteBytes("demo/wild.dem", d);
  };
  for (const auto& [turn, pitch] : {std::pair{3e38f, 0.0f}, {-3e38f, 0.0f}, {0.0f, 3e38f}, {0.0f, -100.0f}}) {
    withTurns(turn, pitch);
    ASSERT_EQ(Demo_StartPlayback("wild"), 1);
    DemoFrame f;
    Demo_ReadFrame(&f);
    EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, 0u) << turn << " " << pitch;
    EXPECT_EQ(f.turn, 0.0f);
    EXPECT_EQ(f.pitch, 0.0f);
  }
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "Demo_ReadFrame: a turn of more than 64 radians"), 4);
  // Through the frame loop: sixty radians a step play on, the yaw within one turn.
  withTurns(60.0f, 1.0f);
  ASSERT_EQ(Demo_StartPlayback("wild"), 1);
  FramesUntilSettled();
  const float start = Obj_Player ? Obj_Player->angles.x : 0;
  for (int i = 0; i < 3; i++) {
    FrameAfterHalfASecond();
    ASSERT_NE(Obj_Player, nullptr);
    EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, DEMO_PLAYBACK);
    EXPECT_LE(std::fabs(Obj_Player->angles.x), kMathPi) << i;
    EXPECT_TRUE(std::isfinite(Obj_Player->origin.x) && std::isfinite(Obj_Player->camera.origin.x));
  }
  EXPECT_NE(Obj_Player->angles.x, start);
}

// A chain to a demo that is gone plays the demo being played again; with that gone too the level
// is released at the chain. A playback never turns into live play.
TEST_F(DemoTest, AChainToAMissingDemoRestartsTheDemoOrReleasesTheLevel) {
  Record("mine", 2, 0.05f);
  tw_test::WriteBytes("demo/renamed.dem", ReadBytes("demo/mine.dem"));  // its end record names "mine"
  std::remove("demo/mine.dem");
  ASSERT_EQ(Demo_StartPlayback("renamed"), 1);
  FramesUntilSettled();
  EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, DEMO_PLAYBACK);
  EXPECT_STREQ(Demo_PlaybackName(), "renamed");
  EXPECT_NE(Log().find("StartDemo:renamed starts again in place of mine."), std::string::npos);
  std::remove("demo/renamed.dem");
  FramesUntilSettled();
  EXPECT_EQ(Game_Running, 0u);
  EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, 0u);
  EXPECT_EQ(Obj_Count(), 0);
}

// Demos whose chains loop (one naming itself, one naming a missing demo, two naming each other)
// restart every frame; each restart is said the first time only, until a demo is started anew.
TEST_F(DemoTest, ALoopingChainSaysItsRestartsOnce) {
  Record("self", 2, 0.05f);  // its end record names "self"
  Record("mine", 2, 0.05f);
  tw_test::WriteBytes("demo/lost.dem", ReadBytes("demo/mine.dem"));  // names "mine", which goes
  std::remove("demo/mine.dem");
  std::vector<uint8_t> a = ReadBytes("demo/self.dem");
  tw_test::WriteBytes("demo/b.dem", a);
  std::memcpy(&a[a.size() - 272], "b\0\0\0\0", 5);
  tw_test::WriteBytes("demo/a.dem", a);  // "a" names "b", "b" names "self"
  a = ReadBytes("demo/b.dem");
  std::memcpy(&a[a.size() - 272], "a\0\0\0\0", 5);
  tw_test::WriteBytes("demo/b.dem", a);  // now "b" names "a"
  for (const char* demo : {"self", "lost", "a"}) {
    const size_t start = Log().size();
    ASSERT_EQ(Demo_StartPlayback(demo), 1) << demo;
    FramesUntilSettled();
    const size_t settled = Log().size();
    const int starts = tw_test::CountOccurrences(Log().substr(start), "StartDemo:playdemo.");
    EXPECT_GE(starts, 2) << demo;  // started, and started again
    EXPECT_LE(starts, 3) << demo;  // at most once more for a second demo of the chain
    for (int i = 0; i < 3; i++) FramesUntilSettled();
    EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, DEMO_PLAYBACK) << demo;
    EXPECT_EQ(Log().size(), settled) << demo << Log().substr(settled, 500);
  }
  EXPECT_EQ(tw_test::CountOccurrences(Log(), "StartDemo:lost starts again in place of mine."), 1);
}

// The in-game menu opened over a playback stays when the demo starts again: menu mode never
// stands without a screen (that left a black screen no key could clear).
TEST_F(DemoTest, TheInGameMenuOverAPlaybackOutlivesItsRestart) {
  Record("loop", 3, 0.05f);
  ASSERT_EQ(Demo_StartPlayback("loop"), 1);
  Game_MenuOpen = 1;
  ASSERT_EQ(UI_PushMenu(UI_System, "ingamemenu", nullptr), 1);
  UI_System->stack[0].selection = 4;
  const size_t before = tw_test::CountOccurrences(Log(), "StartDemo:playdemo.");
  FramesUntilSettled();
  FramesUntilSettled();
  ASSERT_GT(tw_test::CountOccurrences(Log(), "StartDemo:playdemo."), before);  // it started again
  EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, DEMO_PLAYBACK);
  EXPECT_TRUE(Game_MenuOpen);
  EXPECT_EQ(UI_MenuDepth(UI_System), 1);
  EXPECT_STREQ(UI_TopMenuName(UI_System), "ingamemenu");
  EXPECT_EQ(UI_TopSelection(UI_System), 4);  // the highlight stays on its item
  // Any other screen goes with the snapshot, and menu mode with it.
  UI_ClearMenuStack(UI_System);
  ASSERT_EQ(UI_PushMenu(UI_System, "searchmenu", nullptr), 1);
  ASSERT_EQ(Demo_StartPlayback("loop"), 1);
  EXPECT_FALSE(Game_MenuOpen);
  EXPECT_EQ(UI_MenuDepth(UI_System), 0);
}

// A demo that chains to a demo of another level under the in-game menu: the level's load turns
// menu mode off, and the menu is put back after it (it used to stand on the stack with menu mode
// off, where the quick keys did nothing and Escape stacked a second menu).
TEST_F(DemoTest, TheInGameMenuOutlivesAChainToADemoOfAnotherLevel) {
  ASSERT_TRUE(Tool_WriteSmallLevel());
  tw_test::WriteBytes("scenes/yard2.nav", ReadBytes("scenes/yard.nav"));
  Record("b", 2, 0.05f);
  tw_test::WriteBytes("demo/a.dem", ReadBytes("demo/b.dem"));  // its end record names "b"
  std::snprintf(Level_Name, sizeof Level_Name, "%s", "yard2");
  Record("b", 2, 0.05f);  // "b" now plays on yard2
  ASSERT_EQ(Demo_StartPlayback("a"), 1);
  ASSERT_STREQ(Level_Name, "yard");
  Game_MenuOpen = 1;
  ASSERT_EQ(UI_PushMenu(UI_System, "ingamemenu", nullptr), 1);
  FramesUntilSettled();
  FramesUntilSettled();
  ASSERT_STREQ(Demo_PlaybackName(), "b");
  EXPECT_STREQ(Level_Name, "yard2");
  EXPECT_TRUE(Game_MenuOpen);
  EXPECT_EQ(UI_MenuDepth(UI_System), 1);
  EXPECT_STREQ(UI_TopMenuName(UI_System), "ingamemenu");
}

// "Record demo" and saving while a demo plays are refused with a line for the player; the playback
// goes on, and the quick save on the disk stays as it was (the demo's world would replace it).
TEST_F(DemoTest, RecordingAndSavingAreRefusedDuringAPlayback) {
  ASSERT_TRUE(Tool_WriteSmallLevel());  // a save names a level that is there
  Record("play", 2, 0.05f);
  Menu_QuickSave();
  ASSERT_TRUE(tw_test::FileExists("save/quicksave/quick.sav")) << "no quick save in play";
  const std::string saved = "an earlier quick save";
  tw_test::WriteFile("save/quicksave/quick.sav", saved);
  ASSERT_EQ(Demo_StartPlayback("play"), 1);
  Console_Clear();
  EXPECT_EQ(Game_SaveAllowed(), 0);
  Menu_QuickSave();
  EXPECT_TRUE(tw_test::ReadFile("save/quicksave/quick.sav") == saved) << "a quick save during a playback";
  EXPECT_NE(Log().find("Save:not during a playback."), std::string::npos);
  EXPECT_EQ(tw_test::LastConsoleLine(), "Not while a demo plays");
  const int lines = Console_GetLineCount();
  EXPECT_EQ(StartDemo("rec"), 0);
  EXPECT_FALSE(tw_test::FileExists("demo/rec.dem"));
  EXPECT_EQ(Game_DemoFlags & (DEMO_PLAYBACK | DEMO_RECORDING), DEMO_PLAYBACK);
  EXPECT_NE(Log().find("StartDemo:not during a playback."), std::string::npos);
  ASSERT_EQ(Console_GetLineCount(), lines + 1);
  EXPECT_EQ(std::u16string(Console_GetLine(lines, nullptr)), u"Not while a demo plays");
  // A level released under the playback ends it and lets its bytes go.
  Level_Free();
  EXPECT_EQ(Game_DemoFlags & DEMO_PLAYBACK, 0u);
  EXPECT_STREQ(Demo_PlaybackName(), "");
  EXPECT_NE(Log().find("EndDemo:enddemo."), std::string::npos);
}

// ---- The same ticks in another process ---------------------------------------------------------

constexpr int kDetTicks = 2000;

// The state after each tick, field by field of the object images, then the random index and the
// game time, so a difference names its field.
std::vector<uint32_t> TickHash() {
  std::vector<uint32_t> h(size_t(ObjImage_FieldCount) + 3, 2166136261u);
  std::vector<uint8_t> image(kObjectImageSize);
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    ObjImage_Write(o, image.data());
    for (int f = 0; f < ObjImage_FieldCount; f++)
      for (uint32_t i = 0; i < ObjImage_Fields[f].size; i++)
        h[f] = (h[f] ^ image[ObjImage_Fields[f].offset + i]) * 16777619u;
  }
  h[ObjImage_FieldCount] = uint32_t(Math_RandGetIndex());
  uint64_t t;
  std::memcpy(&t, &Game_Time, 8);
  h[ObjImage_FieldCount + 1] = uint32_t(t);
  h[ObjImage_FieldCount + 2] = uint32_t(t >> 32);
  return h;
}
const char* HashField(size_t i) {
  if (i < size_t(ObjImage_FieldCount)) return ObjImage_Fields[i].name;
  return i == size_t(ObjImage_FieldCount) ? "random index" : "game time";
}

std::vector<uint32_t> g_hashes;
bool g_collect;
void HashBeforeTick(const char* step) {
  if (!g_collect || std::strcmp(step, "Game_Tick") != 0) return;
  std::vector<uint32_t> h = TickHash();
  g_hashes.insert(g_hashes.end(), h.begin(), h.end());
}

uint64_t g_now;
std::mt19937 g_clockJumps(3);
uint64_t IrregularClock() {
  g_now += 4000000 + g_clockJumps() % 60000000;  // 4 to 64 ms a frame
  return g_now;
}

// The sample game's street: its player and its entity files.
class DemoSample : public WorldTest {
 protected:
  void SetUp() override {
    // The game in this test's folder; the recording child works in its parent's.
    if (const char* game = std::getenv("TW_DEMO_GAME")) ASSERT_EQ(chdir(game), 0);
    else ASSERT_TRUE(tw_test::MakeSampleGame(dir_.Path()));
    File_Init();
    WorldTest::SetUp();
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    Model_Reset();
    Math_RandInit();
    Level_Load("street");
    ASSERT_NE(Player_CreateForLevel(), nullptr);
    for (const char* ext : {".scn", ".civ", ".bot", ".items"}) LoadObjects((std::string("scenes\\street") + ext).c_str());
    Game_Running = 1;
  }
  void TearDown() override {
    Game_FrameTraceHook = nullptr;
    PlatClock_SetSource(nullptr);
    EndDemo();
    StartRecord();
    WorldTest::TearDown();
    File_Shutdown();
  }
};

// Run by the replaying test in a process of its own: records the demo and the tick hashes.
TEST_F(DemoSample, RecordInAChildProcess) {
  if (!std::getenv("TW_DEMO_GAME")) GTEST_SKIP() << "run by the replay test";
  PlatClock_SetSource(IrregularClock);
  Timer_Start();
  Game_FrameTraceHook = HashBeforeTick;
  std::mt19937 keys(9);
  for (int frame = 0; Game_Running; frame++) {
    if (frame == 8) {
      ASSERT_EQ(StartDemo("det"), 1);
      g_collect = true;
    }
    if (g_collect && g_hashes.size() >= size_t(kDetTicks) * (ObjImage_FieldCount + 3)) break;
    Input_MouseX = int(keys() % 21) - 10;  // scripted mouse and keys
    Input_MouseY = int(keys() % 9) - 4;
    Player_CommandWord = keys() % 3 == 0 ? uint32_t(keys() % 0x4000) : 0;
    Game_MouseLook();
    Player_BuildCommand();
    Game_Frame();
  }
  g_collect = false;
  ASSERT_EQ(StartRecord(), 1);
  std::vector<uint8_t> bytes(g_hashes.size() * 4);
  std::memcpy(bytes.data(), g_hashes.data(), bytes.size());
  tw_test::WriteBytes("det.hashes", bytes);
}

TEST_F(DemoSample, AnotherProcessReplaysTheSameTicks) {
  if (std::getenv("TW_DEMO_GAME")) GTEST_SKIP();
  pid_t child = fork();
  if (child == 0) {
    setenv("TW_DEMO_GAME", dir_.Path().c_str(), 1);
    execl("/proc/self/exe", "replay-child", "--gtest_filter=DemoSample.RecordInAChildProcess", nullptr);
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::vector<uint8_t> bytes = ReadBytes("det.hashes");
  const size_t width = size_t(ObjImage_FieldCount) + 3;
  ASSERT_EQ(bytes.size(), kDetTicks * width * 4);
  std::vector<uint32_t> recorded(bytes.size() / 4);
  std::memcpy(recorded.data(), bytes.data(), bytes.size());

  ASSERT_EQ(Demo_StartPlayback("det"), 1);
  for (int tick = 0; tick < kDetTicks; tick++) {
    std::vector<uint32_t> h = TickHash();
    for (size_t i = 0; i < width; i++)
      ASSERT_EQ(h[i], recorded[tick * width + i]) << "tick " << tick << ", " << HashField(i);
    DemoFrame f;
    Demo_ReadFrame(&f);
    ASSERT_EQ(f.command & (DEMO_CMD_CHAIN | DEMO_CMD_END), 0u) << "tick " << tick;
    Game_TickFrame = f;
    Game_Tick();
  }
}

// A save, the start of a recording and its end each show the player a message line; a refused
// save or recording shows none of theirs.
TEST_F(DemoTest, SavesAndRecordingsSayWhatTheyDid) {
  ASSERT_TRUE(Tool_WriteSmallLevel());
  Console_Clear();
  ASSERT_EQ(Save("said"), 1);
  EXPECT_EQ(tw_test::LastConsoleLine(), "Game saved");
  ASSERT_EQ(StartDemo("said"), 1);
  EXPECT_EQ(tw_test::LastConsoleLine(), "Recording a demo");
  ASSERT_EQ(StartRecord(), 1);
  EXPECT_EQ(tw_test::LastConsoleLine(), "Demo recording stopped");
  const int lines = Console_GetLineCount();
  EXPECT_EQ(Save("..\\up"), 0);
  EXPECT_EQ(StartDemo("..\\up"), 0);
  EXPECT_EQ(StartRecord(), 0);
  EXPECT_EQ(Console_GetLineCount(), lines);
  // The game's own texts when it has them.
  tw_test::WriteFile("data/text/Eng/consol/game saved.txt", "Saved.");
  TextFile_Flush();
  ASSERT_EQ(Save("said"), 1);
  EXPECT_EQ(tw_test::LastConsoleLine(), "Saved.");
  TextFile_Flush();
}

}  // namespace
