#include "world/demo.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "characters/player.h"
#include "foundation/bytereader.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "render/video.h"
#include "ui/ui.h"
#include "world/fx.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/save.h"
#include "world/tick.h"

void (*Demo_ReadSource)(DemoFrame* frame);

namespace {

FileHandle* g_recordFile;
char g_recordName[kDemoNameSize];

// The playing demo, read whole: playback walks it record by record.
std::vector<uint8_t> g_play;
size_t g_playAt;
char g_playName[kDemoNameSize];
char g_nextName[kDemoNameSize];

// The demos chains went to since a playback was last started from outside a chain. A chain that
// comes back to one of them (a demo that names itself, two that name each other, a missing one)
// restarts without its lines, so that a loop restarting every frame does not fill the log. Once the
// table is full every further chain is quiet.
constexpr int kDemoChainNames = 16;
char g_chained[kDemoChainNames][kDemoNameSize];
int g_chainedCount;
bool g_quiet;  // the lines of this start and end are not written

// Whether a chain to that name was made already (the name is kept when it is new).
bool ChainedBefore(const char* name) {
  for (int i = 0; i < g_chainedCount; i++)
    if (std::strcmp(g_chained[i], name) == 0) return true;
  if (g_chainedCount == kDemoChainNames) return true;
  std::snprintf(g_chained[g_chainedCount++], kDemoNameSize, "%s", name);
  return false;
}

void PutFrame(uint8_t* out, const DemoFrame& f) {
  ByteWriter w;
  w.F32(f.step);
  w.F32(f.turn);
  w.F32(f.pitch);
  w.U32(f.command);
  std::memcpy(out, w.bytes.data(), 16);
}

void ClosePlayback() {
  g_play.clear();
  g_play.shrink_to_fit();
  g_playAt = 0;
  g_playName[0] = 0;
}

bool DemoPath(const char* caller, const char* name, char* out, size_t outSize) {
  if (name && std::strlen(name) >= kDemoNameSize) {
    Log_Printf("%s:refused name (too long).\n", caller);
    return false;
  }
  return Save_BuildName(caller, "demo\\", name, ".dem", false, out, outSize) != 0;
}

}  // namespace

void Demo_ShowMessage(const char* key, const char16_t* fallback) {
  const char16_t* text = Text_Get("data\\text\\", key);
  if (text && *text == kTextMark) text++;
  Console_AddMessage(text && *text ? text : fallback, Timer_FrameTime + kConsoleMessageSeconds);
}

const char* Demo_PlaybackName() { return g_playName; }
const char* Demo_RecordingName() { return g_recordName; }

int StartRecord() {
  if (!g_recordFile) return 0;
  uint8_t end[kDemoEndRecordSize] = {};
  PutFrame(end, DemoFrame{0, 0, 0, DEMO_CMD_CHAIN});
  std::memcpy(end + 16, g_recordName, strnlen(g_recordName, kDemoNameSize - 1));
  PutFrame(end + 16 + kDemoNameSize, DemoFrame{0, 0, 0, DEMO_CMD_END});
  bool ok = File_Write(end, 1, sizeof end, g_recordFile) == sizeof end;
  ok = File_Close(g_recordFile) && ok;
  g_recordFile = nullptr;
  Game_DemoFlags &= ~DEMO_RECORDING;
  if (!ok) Log_Printf("StartRecord:unable write %s.\n", g_recordName);
  g_recordName[0] = 0;
  Log_Printf("StartRecord:ended.\n");
  if (ok) Demo_ShowMessage("consol\\recording stopped", u"Demo recording stopped");
  return ok ? 1 : 0;
}

int StartDemo(const char* name) {
  if (Game_DemoFlags & DEMO_PLAYBACK) {
    Log_Printf("StartDemo:not during a playback.\n");
    Demo_ShowMessage("consol\\not during a demo", u"Not while a demo plays");
    return 0;
  }
  StartRecord();
  if (!Game_Running) return 0;
  if (Game_NetMode != 0) {
    Log_Printf("StartDemo:not in a network game.\n");
    return 0;
  }
  char path[kDemoNameSize + 16];
  if (!DemoPath("StartDemo", name, path, sizeof path)) return 0;
  FileHandle* f = File_Open(path, "wb");
  if (!f) {
    Log_Printf("StartDemo:unable open.\n");
    return 0;
  }
  if (!Save_WriteSnapshot(f)) {
    File_Discard(f);
    Log_Printf("StartDemo:unable write %s.\n", name);
    return 0;
  }
  g_recordFile = f;
  Save_MatchLoadedGame();
  Log_Printf("StartDemo:started.\n");
  Game_SettleFrames = kSettleFrames;
  std::snprintf(g_recordName, sizeof g_recordName, "%s", name);
  Game_DemoFlags |= DEMO_RECORDING;
  Demo_ShowMessage("consol\\recording", u"Recording a demo");
  return 1;
}

void Demo_WriteFrame(const DemoFrame* frame) {
  if (!g_recordFile || !frame) return;
  uint8_t bytes[16];
  PutFrame(bytes, *frame);
  File_Write(bytes, 1, sizeof bytes, g_recordFile);  // a failure shows when the file is closed
}

void EndDemo() {
  bool playing = !g_play.empty() || (Game_DemoFlags & DEMO_PLAYBACK);
  ClosePlayback();
  if (!playing) return;
  Movie_StopCapture();
  Fx_Reset();
  Player_ClearInput();
  Game_DemoFlags = 1;
  if (!g_quiet) Log_Printf("EndDemo:enddemo.\n");
}

namespace {

int StartPlayback(const char* nameIn) {
  char name[kDemoNameSize];
  std::snprintf(name, sizeof name, "%s", nameIn ? nameIn : "");
  EndDemo();
  char path[kDemoNameSize + 16];
  if (!DemoPath("StartDemo", name, path, sizeof path)) return 0;
  FileHandle* f = File_Open(path, "rb");
  if (!f) {
    if (!g_quiet) Log_Printf("StartDemo:unable open.\n");
    return 0;
  }
  uint64_t size = File_Size(f);
  if (!File_WholeSizeAllowed("StartDemo", path, size)) {
    File_Close(f);
    return 0;
  }
  // Read whole before the snapshot is applied: a level released on the way (which ends any
  // playback) cannot take the bytes from under it.
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  bool read = size == 0 || File_Read(bytes.data(), 1, bytes.size(), f) == bytes.size();
  File_Close(f);
  if (!read) {
    Log_Printf("StartDemo:unable read %s.\n", name);
    return 0;
  }
  bool running = Game_Running != 0;
  // The snapshot empties the menu stack (and a demo of another level, loading its level, turns
  // menu mode off): an in-game menu opened over the playback is put back after the load, so it
  // stays open when the demo starts again, and menu mode never outlives its screens.
  const bool inGameMenu = Game_MenuOpen && std::strcmp(UI_TopMenuName(UI_System), "ingamemenu") == 0;
  const int selection = UI_TopSelection(UI_System);
  size_t snapshot = Save_ApplySnapshot(bytes.data(), bytes.size(), SNAPSHOT_PLAYBACK, "StartDemo");
  if (snapshot && running && inGameMenu && UI_PushMenu(UI_System, "ingamemenu", nullptr)) {
    UI_System->stack[UI_System->depth - 1].selection = selection;  // the highlight stays where it was
    Game_MenuOpen = 1;
  }
  if (Game_MenuOpen && UI_System && UI_MenuDepth(UI_System) == 0) Game_MenuOpen = 0;
  if (!snapshot || !running) return 0;
  g_play = std::move(bytes);
  g_playAt = snapshot;
  if (render_drawavi.value != 0) {
    Movie_StartCapture();
    Game_DemoFlags |= DEMO_CAPTURE;
    Var_SetValue(&render_drawavi, 0);
  }
  Game_DemoFlags |= DEMO_PLAYBACK;
  Game_CurrentFrame = DemoFrame{};
  Game_RingRead = Game_RingWrite = 0;
  Game_Accumulator = 0;
  std::snprintf(g_playName, sizeof g_playName, "%s", name);
  if (!g_quiet) Log_Printf("StartDemo:playdemo.\n");
  return 1;
}

}  // namespace

int Demo_StartPlayback(const char* name) {
  g_chainedCount = 0;
  return StartPlayback(name);
}

void Demo_ReadFrame(DemoFrame* frame) {
  if (Demo_ReadSource) {
    Demo_ReadSource(frame);
    return;
  }
  *frame = DemoFrame{};
  if (g_play.empty() || g_play.size() - g_playAt < 16) {
    EndDemo();
    return;
  }
  ByteReader r(g_play.data() + g_playAt, 16);
  frame->step = r.F32();
  frame->turn = r.F32();
  frame->pitch = r.F32();
  frame->command = r.U32();
  g_playAt += 16;
  if (!std::isfinite(frame->step) || frame->step < 0 || frame->step > kDemoMaxStep || !std::isfinite(frame->turn) ||
      !std::isfinite(frame->pitch)) {
    Log_Printf("Demo_ReadFrame: a damaged step record; playback ends\n");
    *frame = DemoFrame{};
    EndDemo();
  } else if (std::fabs(frame->turn) > kDemoMaxTurn || std::fabs(frame->pitch) > kDemoMaxTurn) {
    Log_Printf("Demo_ReadFrame: a turn of more than %g radians in one step; playback ends\n", double(kDemoMaxTurn));
    *frame = DemoFrame{};
    EndDemo();
  }
}

int Demo_Chain(const char* next) {
  char playing[kDemoNameSize];
  std::snprintf(playing, sizeof playing, "%s", g_playName);
  g_quiet = ChainedBefore(next);
  int started = StartPlayback(next);
  if (!started && playing[0] && std::strcmp(playing, next) != 0) {
    if (!g_quiet) Log_Printf("StartDemo:%s starts again in place of %s.\n", playing, next);
    started = StartPlayback(playing);
  }
  g_quiet = false;
  if (started) return 1;
  Level_Free();
  return 0;
}

const char* Demo_NextName() {
  g_nextName[0] = 0;
  if (g_play.empty() || g_play.size() - g_playAt < kDemoNameSize) return g_nextName;
  std::memcpy(g_nextName, g_play.data() + g_playAt, kDemoNameSize);
  g_playAt += kDemoNameSize;
  g_nextName[kDemoNameSize - 1] = 0;
  if (std::strpbrk(g_nextName, "\\/:") || std::strstr(g_nextName, "..")) {
    Log_Printf("Demo_ReadName: refused name \"%s\"\n", g_nextName);
    g_nextName[0] = 0;
  }
  return g_nextName;
}
