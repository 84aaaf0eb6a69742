#include "world/game.h"

#include "characters/actions.h"
#include "foundation/input.h"
#include "foundation/sound.h"
#include "foundation/sys.h"
#include "foundation/timer.h"
#include "foundation/udp.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "hud/hud.h"
#include "render/video.h"
#include "render/render.h"
#include "scene/model.h"
#include "scene/view.h"
#include "world/net.h"

// The player's last position and angles, stored at exit.
static VarRecord g_lastOrigin[3] = {
    {"game_lastoriginx", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 0, "", 0, nullptr},
    {"game_lastoriginy", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 0, "", 0, nullptr},
    {"game_lastoriginz", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 0, "", 0, nullptr},
};
static VarRecord g_lastAngles[3] = {
    {"game_lastanglex", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 0, "", 0, nullptr},
    {"game_lastangley", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 0, "", 0, nullptr},
    {"game_lastanglez", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 0, "", 0, nullptr},
};
static VarRecord g_renderDrawAvi = {"render_drawavi", 0, VAR_NUMERIC, 0, "", 0, nullptr};

double Game_Time;
double Game_Step;
MovieWmv* Game_Movie;
uint32_t Game_GodMode;
uint32_t Game_AllWeaponsFlag;

// The weapon definitions and the player's inventory come later; nothing to hand out yet.
void Game_GiveAllWeapons() {}

static void Game_EmptyEntry(int) {}
static void Game_InputEntry(int stage) { Input_Init(stage); }
static void Game_FrameClockEntry(int stage) { Timer_FrameInit(stage); }

// The module entries in the order both stages call them.
static void (*const kModuleEntries[])(int) = {
    Game_InputEntry, Video_Init, Sound_Init, Game_FrameClockEntry, NET_Init, Game_VarsInit, Model_Init, Hud_Init,
    Game_EmptyEntry,
};

void Game_VarsInit(int stage) {
  if (stage == 0) Var_Register(&g_renderDrawAvi);
  if (stage == 1) {
    // Added in table order, so the list runs from the last action to the first.
    Input_ClearCommands();
    for (InputCommand& action : PlayerActionTable) Input_AddCommand(&action);
  }
}

void Game_Init(int stage) {
  if (stage != 0 && stage != 1) return;
  Sys_Trace(stage == 0 ? "Game_Init(0)" : "Game_Init(1)");
  if (stage == 0) {
    Sound_WmaDecoderSlot = Movie_WmaLoader;  // the third decoder, after WAV and Ogg Vorbis
    for (auto& v : g_lastOrigin) Var_Register(&v);
    for (auto& v : g_lastAngles) Var_Register(&v);
  }
  for (auto entry : kModuleEntries) entry(stage);
  if (stage == 1) {
    // The intro plays full screen before anything else.
    Movie_CloseWmv(&Game_Movie);
    Game_Movie = Movie_OpenWmv("video\\logos");
    Timer_ResetFrame();
  }
}

void Game_PlayInput() { Input_ProcessEvents(); }

void Game_FrameInput() {
  Input_Poll();
  // Exactly one input handler by mode: a full-screen movie takes none of play's bindings or
  // cheat words (its own handler belongs to the front end, not built yet).
  if (!Game_Movie) Game_PlayInput();
}

void Game_Tick() {}

void Game_Frame() {
  Timer_UpdateFrame();
  Game_FrameInput();
  NET_ReceiveAll();
  Game_Tick();
  // Sound with the listener at the camera (none yet: the origin, looking along +Y).
  static const float kNoCamera[3] = {0, 0, 0};
  Sound_Update();
  Sound_UpdateListener(kNoCamera, kNoCamera);
  // Present the previous picture, then begin and clear the next one.
  Render_EndFrame(1, 1);
  Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
  Render_Clear(1, render_fog_r.value, render_fog_g.value, render_fog_b.value);
  View_ResetRenderState();
  // The 2D layer: the full-screen movie while one plays.
  if (Game_Movie) {
    if (Movie_UpdateWmv(Game_Movie))
      Movie_DrawWmv(Game_Movie, nullptr);
    else
      Movie_CloseWmv(&Game_Movie);
  }
}

void Game_Shutdown() {
  Sys_Trace("Game_Shutdown");
  Model_Reset();
  Hud_Shutdown();
  Movie_CloseWmv(&Game_Movie);
  Var_WriteFile("settings");
  Sound_Shutdown();
  Video_Shutdown();
  NET_Shutdown();
}
