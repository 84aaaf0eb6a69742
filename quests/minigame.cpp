#include "quests/minigame.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "characters/player.h"
#include "foundation/file.h"
#include "foundation/input.h"
#include "foundation/log.h"
#include "foundation/partoken.h"
#include "foundation/random.h"
#include "foundation/sound.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "minigame/mg_api.h"
#include "platform/dynlib.h"
#include "render/text.h"
#include "ui/ui.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/object.h"

char MiniGame_LibraryPath[256] = "./minigame.so";

namespace {

struct MiniGameLibrary {
  void* handle;
  MgInitFn Init;
  MgFreeFn Free;
  MgUpdateFn Update;
  MgRenderFn Render;
  MgMouseDownFn MouseDown;
  MgMouseMoveFn MouseMove;
  MgKeyDownFn KeyDown;
};
MiniGameLibrary g_lib;
bool g_running;
char g_name[64];

void Cb_FillRect(float l, float t, float r, float b, uint8_t cr, uint8_t cg, uint8_t cb, uint8_t ca) {
  UI_FillRect(l, t, r, b, cr, cg, cb, ca);
}
void Cb_DrawText(float l, float t, float r, float b, float size, const char* text, uint8_t cr, uint8_t cg,
                 uint8_t cb) {
  if (!text) return;
  Print_SetBackgroundColor(0, 0, 0, 0);
  Print_SetAlign(1);
  Print_SetSize(size);
  Print_SetWidthScale(size);
  Print_SetColor(cr / 255.0f, cg / 255.0f, cb / 255.0f, 1);
  Print_TextBox(l, t + (b - t - size) / 2, r, b, text);
}
void Cb_PlaySound(const char* name) {
  if (name) Sound_Play(name, 1.0f, 100.0f, nullptr, 0, 0);
}
void Cb_Log(const char* line) {
  if (line) Log_Printf("%s", line);
}
int32_t Cb_Random(int32_t count) {
  if (count <= 0) return 0;
  int32_t v = int32_t(Math_RandNext() * float(count));
  return v < 0 ? 0 : v >= count ? count - 1 : v;
}

// Opens the library once; on failure one log line says why (and `name` was not started).
bool MiniGame_Load(const char* name) {
  if (g_lib.handle) return true;
  void* h = PlatLib_Open(MiniGame_LibraryPath);
  if (!h) {
    Log_Printf("minigame: no mini-game library (%s); %s not started\n", PlatLib_LastError(), name);
    return false;
  }
  MiniGameLibrary lib{};
  lib.handle = h;
  struct Entry {
    const char* name;
    void** slot;
  };
  void* slots[7] = {};
  const Entry entries[7] = {{"MG_Init", &slots[0]},      {"MG_Free", &slots[1]},      {"MG_Update", &slots[2]},
                            {"MG_Render", &slots[3]},    {"MG_MouseDown", &slots[4]}, {"MG_MouseMove", &slots[5]},
                            {"MG_KeyDown", &slots[6]}};
  for (const Entry& e : entries) {
    *e.slot = PlatLib_Symbol(h, e.name);
    if (!*e.slot) {
      Log_Printf("minigame: %s lacks %s; %s not started\n", MiniGame_LibraryPath, e.name, name);
      PlatLib_Close(h);
      return false;
    }
  }
  lib.Init = reinterpret_cast<MgInitFn>(slots[0]);
  lib.Free = reinterpret_cast<MgFreeFn>(slots[1]);
  lib.Update = reinterpret_cast<MgUpdateFn>(slots[2]);
  lib.Render = reinterpret_cast<MgRenderFn>(slots[3]);
  lib.MouseDown = reinterpret_cast<MgMouseDownFn>(slots[4]);
  lib.MouseMove = reinterpret_cast<MgMouseMoveFn>(slots[5]);
  lib.KeyDown = reinterpret_cast<MgKeyDownFn>(slots[6]);
  g_lib = lib;
  return true;
}

}  // namespace

int MiniGame_Start(const char* name, int32_t money) {
  if (g_running) return 0;
  if (!name) name = "";
  if (!MiniGame_Load(name)) return 0;
  static MgCallbacks callbacks;
  callbacks = MgCallbacks{kMgApiVersion, money, Cb_FillRect, Cb_DrawText, Cb_PlaySound, Cb_Log, Cb_Random};
  if (!g_lib.Init(&callbacks, money)) {
    Log_Printf("minigame: MG_Init refused %s\n", name ? name : "");
    return 0;
  }
  std::snprintf(g_name, sizeof g_name, "%s", name ? name : "");
  g_running = true;
  Game_CentreCursor();
  return 1;
}

void MiniGame_KeyDown(int32_t code) {
  if (g_running) g_lib.KeyDown(code);
}

void MiniGame_MouseDown(int32_t code) {
  if (g_running) g_lib.MouseDown(code);
}

void MiniGame_Frame() {
  // A mode 3 without a running game (a saved game, a failed start) leaves at once.
  if (!g_running) {
    MiniGame_End(0);
    return;
  }
  g_lib.MouseMove(int32_t(Game_CursorX), int32_t(Game_CursorY));
  int32_t status = g_lib.Update(float(Timer_FrameDelta));
  if (status != MG_PLAYING) {
    MiniGame_End(status == MG_WON);
    return;
  }
  g_lib.Render();
}

void MiniGame_End(int won) {
  if (g_running) {
    g_lib.Free();
    g_running = false;
    Log_Printf("minigame: %s %s\n", g_name, won ? "won" : "given up");
    if (won) MiniGame_PayPrize(g_name);
  }
  if (Game_FullScreenMode == FULLSCREEN_MINIGAME) Game_FullScreenMode = FULLSCREEN_NONE;
  Player_ClearInput();
  Input_Reset();
}

int32_t MiniGame_PayPrize(const char* name) {
  char* end = nullptr;
  long number = name && name[0] ? std::strtol(name, &end, 10) : -1;
  if (number < 0 || number > 99 || !end || *end) {
    Log_Printf("MiniGame_PayPrize: \"%s\" names no prize file\n", name ? name : "");
    return -1;
  }
  char file[64];
  std::snprintf(file, sizeof file, "data\\scripts\\minigame\\prize%02d.cfg", int(number));
  uint32_t size = 0;
  const char* text = TextFile_GetSized(file, &size);
  if (!text) {
    Log_Printf("MiniGame_PayPrize: no %s\n", file);
    return -1;
  }
  int32_t amount = 0;
  bool any = false;
  const char* rest = text;
  char key[64], value[64];
  while (rest && Par_NextBracketTokenTo(rest, &rest, key, sizeof key)) {
    if (!rest || !Par_NextBracketTokenTo(rest, &rest, value, sizeof value)) {
      Log_Printf("MiniGame_PayPrize: %s: [%s] without a value\n", file, key);
      return -1;
    }
    if (std::strcmp(key, "money") != 0) {
      Log_Printf("MiniGame_PayPrize: %s: unknown key [%s]\n", file, key);
      return -1;
    }
    char* stop = nullptr;
    long v = std::strtol(value, &stop, 10);
    if (!stop || stop == value || *stop || v < 0 || v > kMiniGamePrizeMax || any) {
      Log_Printf("MiniGame_PayPrize: %s: refused money [%s]\n", file, value);
      return -1;
    }
    amount = int32_t(v);
    any = true;
  }
  if (!any) {
    Log_Printf("MiniGame_PayPrize: %s holds no prize\n", file);
    return -1;
  }
  GameObject* player = Obj_Player;
  if (!player) return -1;
  const int64_t total = int64_t(player->person.money) + amount;
  player->person.money = total > INT32_MAX ? INT32_MAX : int32_t(total);
  return amount;
}

void MiniGame_Unload() {
  if (g_running) g_lib.Free();
  g_running = false;
  PlatLib_Close(g_lib.handle);
  g_lib = MiniGameLibrary{};
}
