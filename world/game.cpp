#include "world/game.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "characters/actions.h"
#include "characters/defs.h"
#include "characters/inventory.h"
#include "characters/player.h"
#include "foundation/input.h"
#include "foundation/keys.h"
#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/sys.h"
#include "foundation/timer.h"
#include "foundation/udp.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "hud/hud.h"
#include "quests/dialog.h"
#include "quests/minigame.h"
#include "quests/quest.h"
#include "render/render.h"
#include "render/video.h"
#include "scene/model.h"
#include "scene/view.h"
#include "ui/menu.h"
#include "ui/ui.h"
#include "world/demo.h"
#include "world/frame2d.h"
#include "world/gameinput.h"
#include "world/gamevars.h"
#include "world/net.h"
#include "world/object.h"
#include "world/personage.h"
#include "world/tick.h"

constexpr uint32_t kSaved = VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS;
constexpr uint32_t kFromFile = VAR_SETTABLE | VAR_ALWAYS;

// The player's last position and angles, stored at exit.
static VarRecord g_lastOrigin[3] = {
    {"game_lastoriginx", 0, kSaved, 0, "0", 0, nullptr},
    {"game_lastoriginy", 0, kSaved, 0, "0", 0, nullptr},
    {"game_lastoriginz", 0, kSaved, 0, "0", 0, nullptr},
};
static VarRecord g_lastAngles[3] = {
    {"game_lastanglex", 0, kSaved, 0, "0", 0, nullptr},
    {"game_lastangley", 0, kSaved, 0, "0", 0, nullptr},
    {"game_lastanglez", 0, kSaved, 0, "0", 0, nullptr},
};
VarRecord game_delay = {"game_delay", 0, kSaved, -0.001f, "-0.001", 0, nullptr};
static VarRecord g_gameSettings[] = {
    {"game_info", 0, kSaved, 1.0f, "1", 0, nullptr},
    {"game_autodemo", 0, kFromFile, 0, "0", 0, nullptr},
    {"game_automap", 0, kFromFile, 0, "0", 0, nullptr},
    {"igv_fov", 0, kSaved, 60, "60", 0, nullptr},
    {"igv_last_frame", 0, kSaved, 0, "0", 0, nullptr},
    {"igv_first_frame", 0, kSaved, 0, "0", 0, nullptr},
    {"render_crosshair", 0, kSaved, 0, "0", 0, nullptr},
    // The game type the host screen offers first (0 deathmatch, 1 team deathmatch, 2 capture the flag).
    {"multitype", 0, kSaved, 0, "0", 0, nullptr},
};
VarRecord game_startmode = {"game_startmode", 0, kSaved, 0, "0", 0, nullptr};

MovieWmv* Game_Movie;
uint32_t Game_GodMode;
uint32_t Game_AllWeaponsFlag;
uint32_t Game_Running;
uint32_t Game_MenuOpen;
int32_t Game_FullScreenMode;
uint32_t Game_PanelOpen;
uint32_t Game_Paused;
int32_t Game_NetMode;
uint32_t Game_DemoFlags;
uint32_t Game_MissionFailed;
float Game_Accumulator;
int32_t Game_SettleFrames;
uint32_t Game_FrameCount;
vec3 Game_ViewOrigin;
vec3 Game_ViewAngles;
float Game_ViewZoom = 1.0f;
float Game_ViewBlend = 1.0f;
SoundFade Game_SoundFades[kSoundFades];
uint32_t Game_FadeRestartArmed;
double Game_FadeRestartTime;
void (*Game_FrameTraceHook)(const char* step);
char Game_PendingLevel[kPendingLevelSize];
vec3 Game_NextStartOrigin;
vec3 Game_NextStartAngles;
char Game_MovieScript[64];
char Game_MovieLevel[kPendingLevelSize];
vec3 Game_MovieOrigin, Game_MovieAngles;
static uint32_t g_movieStartGiven;

// The player's last place, kept each frame for the variables written at exit.
static bool g_havePlayerPlace;
static vec3 g_playerOrigin, g_playerAngles;

constexpr int32_t kGiveAllAmmo = 200;
constexpr float kGiveAllSkill = 100.0f;

// Every weapon a shop may offer, once, with full reserves of every ammunition, the six skills at
// their best and the eight values of the body at 100: health and its maximum, energy and its
// maximum, the three further statistics and the experience.
void Game_GiveAllWeapons() {
  GameObject* player = Obj_Player;
  if (!player) return;
  PersonStats& p = player->person;
  for (InvPair& pair : p.items)
    if (pair.kind == INV_WEAPON) pair.kind = INV_NONE;
  for (int w = 0; w < kWeaponDefs; w++) {
    if (Def_Weapons[w].hidden || !Def_Weapons[w].name[0]) continue;  // hidden, or a row no file filled
    int place = Inv_AddItem(&p, INV_WEAPON, w);
    if (place >= 0 && UI_System) ItemPane_ResetCell(place);
  }
  for (int kind = 1; kind < kAmmoKinds; kind++) p.ammo[kind] = kGiveAllAmmo;
  for (float& skill : p.skills) skill = kGiveAllSkill;
  float* const body[] = {&p.health, &p.maxHealth, &p.energy, &p.maxEnergy,
                         &p.furtherStats[0], &p.furtherStats[1], &p.furtherStats[2]};
  for (float* value : body) *value = kGiveAllSkill;
  p.experience = int32_t(kGiveAllSkill);
}

static void Game_EmptyEntry(int) {}
static void Game_InputEntry(int stage) { Input_Init(stage); }
static void Game_FrameClockEntry(int stage) { Timer_FrameInit(stage); }
static void Game_VarsEntry(int stage) { GameVars_Init(stage); }

// The module entries in the order both stages call them.
static void (*const kModuleEntries[])(int) = {
    Game_InputEntry, Video_Init, Sound_Init, Game_FrameClockEntry, NET_Init, Game_VarsEntry, Model_Init, Hud_Init,
    Game_EmptyEntry,
};

void Game_Init(int stage) {
  if (stage != 0 && stage != 1) return;
  Sys_Trace(stage == 0 ? "Game_Init(0)" : "Game_Init(1)");
  if (stage == 0) {
    Sound_WmaDecoderSlot = Movie_WmaLoader;  // the third decoder, after WAV and Ogg Vorbis
    for (auto& v : g_gameSettings) Var_Register(&v);
    for (auto& v : g_lastAngles) Var_Register(&v);
    for (auto& v : g_lastOrigin) Var_Register(&v);
    Var_Register(&game_delay);
    Var_Register(&game_startmode);
  }
  if (stage == 1) TS_Init();
  for (auto entry : kModuleEntries) entry(stage);
  if (stage == 1) {
    // Any level released, a fresh game state and the empty level, then the intro full screen
    // before anything else; its script "logos" leads to the main menu.
    Game_MenuOpen = 1;
    Level_Free();
    Level_LoadingSuppressed = 1;
    Game_NewSession("scripts\\personages");
    Level_Load("");
    Level_LoadingSuppressed = 0;
    Sound_PauseAll();
    Input_Reset();
    std::snprintf(Game_MovieScript, sizeof Game_MovieScript, "%s", "logos");
    Movie_CloseWmv(&Game_Movie);
    Game_Movie = Movie_OpenWmv("video\\logos");
    Game_FullScreenMode = Game_Movie ? FULLSCREEN_MOVIE : FULLSCREEN_NONE;
    Timer_ResetFrame();
  }
}

void Game_EndMovie() {
  Movie_CloseWmv(&Game_Movie);
  Game_FullScreenMode = FULLSCREEN_NONE;
  Sound_ResumeAll();
  Player_ClearInput();
  Input_Reset();
  if (Game_MovieLevel[0]) {
    std::snprintf(Game_PendingLevel, sizeof Game_PendingLevel, "%s", Game_MovieLevel);
    Game_MovieLevel[0] = 0;
    if (g_movieStartGiven) {
      Game_NextStartOrigin = Game_MovieOrigin;
      Vec_Scale(&Game_MovieAngles, kMathPi / 180.0, &Game_NextStartAngles);
      Game_NextStartGiven = 1;
    }
  }
  if (Game_MovieScript[0]) {
    char script[sizeof Game_MovieScript];
    std::memcpy(script, Game_MovieScript, sizeof script);
    Game_MovieScript[0] = 0;
    Que_Apply(Obj_Player, script, "");
  }
  if (std::strcmp(Game_PendingLevel, "endgame") == 0) Game_MenuOpen = 1;
}

void Game_StartMovie(const char* name, const char* script, const char* level, const vec3* origin, const vec3* angles) {
  std::snprintf(Game_MovieScript, sizeof Game_MovieScript, "%s", script ? script : "");
  std::snprintf(Game_MovieLevel, sizeof Game_MovieLevel, "%s", level ? level : "");
  g_movieStartGiven = origin && angles;
  if (g_movieStartGiven) {
    Game_MovieOrigin = *origin;
    Game_MovieAngles = *angles;
  }
  char path[192];
  std::snprintf(path, sizeof path, "video\\%s", name ? name : "");
  Movie_CloseWmv(&Game_Movie);
  Game_Movie = Movie_OpenWmv(path);
  if (!Game_Movie) {
    Log_Printf("Game_StartMovie: no movie %s\n", path);
    Game_EndMovie();
    return;
  }
  Sound_PauseAll();
  Input_Reset();
  Game_FullScreenMode = FULLSCREEN_MOVIE;
}

// The fixed capture rate: a demo's capture, or the camera sequence with "render_drawavi" set.
static bool Game_FixedRateCapture() {
  return (Game_DemoFlags & DEMO_CAPTURE) || (Game_SpecialFlag && render_drawavi.value != 0);
}

float Game_ComputeStep() {
  if (!Game_Running) return 0;
  if (Game_NetMode != 0) return float(Timer_FrameDelta);
  if (Game_MenuOpen || Game_Paused || Game_PanelOpen || Game_FullScreenMode != FULLSCREEN_NONE) {
    if (Game_SettleFrames > 0) Timer_FrameDelta = 0;
    return 0;
  }
  if (Game_SettleFrames > 0) {
    Timer_FrameDelta = 0;
    return 0;
  }
  if (Game_FixedRateCapture()) {
    Timer_FrameDelta = 1.0 / kCaptureRate;
    return float(double(TimeScale) * Timer_FrameDelta);
  }
  float step = float(double(TimeScale) * Timer_FrameDelta);
  return step > kMaxStep ? kMaxStep : step;
}

float Game_FadeVolume(const SoundFade* fade, double clock) {
  double f;
  if (fade->endTime > fade->startTime) {
    f = (clock - fade->startTime) / (fade->endTime - fade->startTime);
    f = f < 0 ? 0 : (f > 1 ? 1 : f);
  } else {
    f = clock > fade->endTime ? 1.0 : 0.0;
  }
  return float(fade->startVolume + (double(fade->endVolume) - fade->startVolume) * f);
}

static void Game_UpdateSound() {
  Game_FrameTrace("Sound_Update");
  Sound_Update();
  double clock = Timer_FrameTime;
  if (Game_FadeRestartArmed && clock > Game_FadeRestartTime) {
    Game_FadeRestartArmed = 0;
    for (int i = 0; i < kSoundFades; i++) {
      SoundFade& fade = Game_SoundFades[i];
      if (!fade.voice) continue;
      float now = Game_FadeVolume(&fade, clock);
      fade = SoundFade{fade.voice, clock, now, clock + 5.0, i == 1 ? 1.0f : 0.0f};
    }
  }
  for (const SoundFade& fade : Game_SoundFades)
    if (fade.voice) Sound_SetVolume(fade.voice, Game_FadeVolume(&fade, clock));
  static const float kNowhere[3] = {0, 0, 0};
  Game_FrameTrace("Sound_UpdateListener");
  if (Game_Running && Obj_Player)
    Sound_UpdateListener(&Game_ViewOrigin.x, &Game_ViewAngles.x);
  else
    Sound_UpdateListener(kNowhere, kNowhere);
}

// Step 9: the camera between the last two ticks, from the player's camera block.
static void Game_InterpolateView() {
  float f = 1.0f;
  if (Game_TickFrame.step > 0) {
    f = Game_Accumulator / Game_TickFrame.step + 1.0f;
    if (f < 0) f = 0;
    if (f > 1) f = 1;
  }
  Game_ViewBlend = f;
  GameObject* player = Obj_Player;
  if (!player) {
    Game_ViewOrigin = vec3{0, 0, 0};
    Game_ViewAngles = vec3{0, 0, 0};
    Game_ViewZoom = 1.0f;
    return;
  }
  const ObjCamera& cam = player->camera;
  const float* prev = &cam.prevOrigin.x;
  const float* cur = &cam.origin.x;
  float* out = &Game_ViewOrigin.x;
  for (int k = 0; k < 3; k++) out[k] = prev[k] + (cur[k] - prev[k]) * f;
  const float* prevA = &cam.prevAngles.x;
  const float* curA = &cam.angles.x;
  float* outA = &Game_ViewAngles.x;
  for (int k = 0; k < 3; k++) Math_LerpAngle(prevA[k], curA[k], f, &outA[k]);
  Game_ViewZoom = cam.fov > 0 ? cam.fov : 1.0f;
  float k = player->damageFlash;
  if (k > 1.0f) Game_ViewAngles.y += k <= 30.0f ? kMathPi * k / 7680.0f : kMathPi / 64.0f;
  g_havePlayerPlace = true;
  g_playerOrigin = player->origin;
  g_playerAngles = player->angles;
}

double Game_DayFogWeight(double clock, double dayLength) {
  if (!(dayLength > 0)) dayLength = 60.0;  // no day of zero length: it would make the fog NaN
  double w = std::sin(clock * 2.0 * M_PI / dayLength);
  w = w < 0 ? 0 : w * 10.0;
  return w > 1.0 ? 1.0 : w;
}

// Step 12: fog from the settings or the level, following the day while the level has a sky.
struct FrameFog {
  bool on;
  float color[4];
  float start, end;
};
static FrameFog Game_ComputeFog() {
  LevelFogSet sets[2];
  for (LevelFogSet& s : sets) s = LevelFogSet{{0, 0, 0, 1.0f}, 0, 32000.0f};
  bool on = render_fog.value != 0;
  RenderFogWanted = on ? 1 : 0;
  if (on) {
    for (LevelFogSet& s : sets)
      s = LevelFogSet{{render_fog_r.value, render_fog_g.value, render_fog_b.value, 1.0f}, render_fog_start.value,
                      render_fog_end.value};
  }
  if (Level_FogSets[0].end > 0 || Level_FogSets[1].end > 0) {
    sets[0] = Level_FogSets[0];
    sets[1] = Level_FogSets[1];
    Level_FogFlag = 1;
    on = true;
  }
  FrameFog fog{on, {sets[0].color[0], sets[0].color[1], sets[0].color[2], sets[0].color[3]}, sets[0].start,
               sets[0].end};
  if (Game_Running && Obj_Player && Level_SkyName[0][0]) {
    double w = Game_DayFogWeight(Obj_Player->person.clock, Hud_DayLength());
    for (int i = 0; i < 4; i++)
      fog.color[i] = float(sets[1].color[i] + (double(sets[0].color[i]) - sets[1].color[i]) * w);
    fog.start = float(sets[1].start + (double(sets[0].start) - sets[1].start) * w);
    fog.end = float(sets[1].end + (double(sets[0].end) - sets[1].end) * w);
  }
  if (fog.on) Render_SetFog(fog.start, fog.end, fog.color);
  return fog;
}

static void Game_DrawWorldPass() {
  ViewParams view{};
  view.position = Game_ViewOrigin;
  view.angles = Game_ViewAngles;
  view.zoom = Game_ViewZoom;
  Game_FrameTrace("View_RenderWorld");
  View_RenderWorld(&view);
  Game_FrameTrace("View_ResetRenderState");
  View_ResetRenderState();
  Render_SetDepthTest(0);
}

// The off-screen picture drawn over the whole window as two triangles, alpha from the fraction
// of "render_pbuffer".
static void Game_DrawPBufferQuad(PBuffer* pb) {
  float w = float(Render_ScreenWidth), h = float(Render_ScreenHeight);
  double whole;
  float alpha = float((1.0 - std::modf(double(render_pbuffer.value), &whole)) * 255.0);
  uint8_t a = alpha >= 255 ? 255 : (alpha <= 0 ? 0 : uint8_t(alpha));
  float u1 = pb->powerOfTwo ? 1.0f : float(pb->width), v1 = pb->powerOfTwo ? 1.0f : float(pb->height);
  // 2D layout under the reset render state: x across, the screen plane at y = w / 2, z up.
  auto corner = [&](float px, float py, float u, float v) {
    ImmVertex c{};
    c.x = px - w / 2;
    c.y = w / 2;
    c.z = h / 2 - py;
    c.r = c.g = c.b = 255;
    c.a = a;
    c.u = u;
    c.v = v;
    return c;
  };
  ImmVertex bl = corner(0, h, 0, 0), br = corner(w, h, u1, 0), tr = corner(w, 0, u1, v1), tl = corner(0, 0, 0, v1);
  Render_SetBlend(5);
  PBuffer_BindTexture(pb);
  Render_DrawTriangle(&bl, &br, &tr);
  Render_DrawTriangle(&bl, &tr, &tl);
  PBuffer_ReleaseTexture(pb);
}

// Step 13: the world, or a black screen under menus, panels and full-screen modes.
static void Game_DrawWorld(const FrameFog& fog) {
  Render_SetColorMask(1, 1, 1, 1);
  const int W = Render_ScreenWidth, H = Render_ScreenHeight;
  if (!Game_MenuOpen && Game_FullScreenMode == FULLSCREEN_NONE && !Game_PanelOpen) {
    bool black = !fog.on || Game_FixedRateCapture();
    float r = black ? 0 : fog.color[0], g = black ? 0 : fog.color[1], b = black ? 0 : fog.color[2];
    if (PBuffer* pb = Render_PBuffer) {
      int pw = 0, ph = 0;
      PBuffer_MakeCurrent(pb);
      PBuffer_GetSize(pb, &pw, &ph);
      Game_FrameTrace("Render_BeginFrame");
      Render_BeginFrame(0, 0, pw, ph);
      Render_Clear(1, r, g, b);
      Render_SetColorMask(1, 1, 1, 0);
      Game_DrawWorldPass();
      PBuffer_MakeWindowCurrent(pb);
      Render_BeginFrame(0, 0, W, H);
      Render_Clear(0, 0, 0, 0);  // depth only
      Game_DrawPBufferQuad(pb);
      Render_SetColorMask(1, 1, 1, 1);
    } else {
      Game_FrameTrace("Render_BeginFrame");
      Render_BeginFrame(0, 0, W, H);
      Render_Clear(1, r, g, b);
      Render_SetColorMask(1, 1, 1, 0);
      Game_DrawWorldPass();
    }
  } else {
    Game_FrameTrace("Render_BeginFrame");
    Render_BeginFrame(0, 0, W, H);
    Render_Clear(1, 0, 0, 0);
    Render_SetColorMask(1, 1, 1, 0);
    Game_FrameTrace("View_ResetRenderState");
    View_ResetRenderState();
    Render_SetDepthTest(0);
  }
}

// Steps 1 and 2: the frame clock, input and network messages. False when the program quits.
static bool Game_BeginFrame() {
  Tick_NearThinkers = 0;
  Game_FrameTrace("Timer_UpdateFrame");
  Timer_UpdateFrame();
  Game_FrameTrace("Game_FrameInput");
  Game_FrameInput();
  return !Sys_QuitRequested;
}

static void Game_RunTick() {
  Game_FrameTrace("Game_Tick");
  Game_Tick();
}

// Step 7: demo playback. Returns true when the frame must restart (a demo started or ended).
static bool Game_PlayDemo(bool mayRestart) {
  Game_Accumulator += float(double(TimeScale) * Timer_FrameDelta);
  for (int ticks = 0; ticks < kMaxTicksPerFrame && Game_Accumulator > 0; ticks++) {
    Demo_ReadFrame(&Game_CurrentFrame);
    uint32_t command = Game_CurrentFrame.command;
    if (command & DEMO_CMD_CHAIN) {
      const char* next = Demo_NextName();
      if (next && next[0]) {
        Demo_Chain(next);
        return mayRestart;
      }
    }
    if (!(Game_DemoFlags & DEMO_PLAYBACK) || (command & DEMO_CMD_END)) {
      EndDemo();  // the capture of the demo ends with it
      Level_Free();
      return mayRestart;
    }
    Game_Accumulator -= Game_CurrentFrame.step;
    Game_TickFrame = Game_CurrentFrame;
    Game_RunTick();
  }
  return false;
}

// Step 8: normal play, exactly one tick a frame.
static void Game_PlayRing() {
  if (Game_NetMode != 0) {
    Game_Accumulator += float(Timer_FrameDelta);
  } else if (!Game_MenuOpen && !Game_Paused && Game_SettleFrames <= 0) {
    float add = float(double(TimeScale) * Timer_FrameDelta);
    Game_Accumulator += add > kMaxStep ? kMaxStep : add;
  }
  if (Game_RingRead == Game_RingWrite) {
    Log_Printf("delay=%f\n", double(Game_Accumulator));
    Game_Accumulator = 0;
    return;
  }
  Game_TickFrame = Game_InputRing[Game_RingRead];
  Game_RingRead = (Game_RingRead + 1) % kInputRing;
  // A record is written only for a tick that ran, so playback runs the same ticks.
  if (Game_FullScreenMode == FULLSCREEN_NONE) {
    Game_RunTick();
    if (Game_DemoFlags & DEMO_RECORDING) Demo_WriteFrame(&Game_TickFrame);
  }
  Game_Accumulator -= Game_TickFrame.step;
}

void Game_Frame() {
  bool mayRestart = true;
  for (;;) {
    if (!Game_BeginFrame()) return;
    Game_FrameTrace("NET_Receive");
    NET_ReceiveAll();
    Game_CurrentFrame.step = Game_ComputeStep();
    Game_InputRing[Game_RingWrite] = Game_CurrentFrame;
    Game_RingWrite = (Game_RingWrite + 1) % kInputRing;
    if (!Game_Running) break;
    if (Game_NetMode != 0) {
      NET_RespawnDead();
      NET_SendState();
      NET_SendFrags();
    }
    if (Game_DemoFlags & DEMO_PLAYBACK) {
      // At most one restart a frame, so a demo of empty records cannot hold the frame.
      if (Game_PlayDemo(mayRestart)) {
        mayRestart = false;
        continue;
      }
    } else {
      Game_PlayRing();
    }
    Game_InterpolateView();
    break;
  }
  if (!Game_Running) Game_InterpolateView();

  Game_UpdateSound();
  Game_FrameTrace("Render_EndFrame");
  Render_EndFrame(1, 1);
  uint32_t pixels = 0, queries = 0;
  Render_DeleteOcclusionQueries();
  Render_GetOcclusionPixels(&pixels, &queries);
  FrameFog fog = Game_ComputeFog();
  Game_DrawWorld(fog);
  Game_FrameTrace("Game_Draw2D");
  Game_Draw2D();
  Render_SetDepthTest(1);
  Game_FrameTrace("Movie_CaptureFrame");
  Movie_CaptureFrame();
  if (Game_Running && !Game_MenuOpen && !Dialog_Open && !Game_PanelOpen && Game_FullScreenMode == FULLSCREEN_NONE &&
      Game_FixedRateCapture())
    Game_CaptureFrame();
  if (Game_SettleFrames > 0) Game_SettleFrames--;
  Game_FrameCount++;
}

void Game_Shutdown() {
  Sys_Trace("Game_Shutdown");
  Level_Free();
  Hud_Shutdown();
  MiniGame_Unload();
  Model_Reset();
  Movie_CloseWmv(&Game_Movie);
  Movie_PlayAvi("", 0, 0, nullptr);
  if (g_havePlayerPlace) {
    const float* o = &g_playerOrigin.x;
    const float* a = &g_playerAngles.x;
    for (int k = 0; k < 3; k++) {
      Var_SetValue(&g_lastOrigin[k], o[k]);
      Var_SetValue(&g_lastAngles[k], a[k]);
    }
  }
  Var_WriteFile("settings");
  GameVars_Free();
  NET_Shutdown();  // closes the UDP transport
  Sound_Shutdown();
  Video_Shutdown();
}
