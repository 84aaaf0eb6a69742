// The game module: stage entries, the per-frame function and shutdown, and the game's modes.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"
#include "world/level.h"

struct VarRecord;
// "game_delay": the accumulator's value when a level is released.
extern VarRecord game_delay;
// "game_startmode": how the front end's new game starts (0 at once; 1 with the hero's opening
// camera sequence, the camera sequence flag set until it ends).
constexpr int kStartModeCameraSequence = 1;
extern VarRecord game_startmode;

void Game_Init(int stage);
void Game_Frame();
void Game_FrameInput();
void Game_Tick();
void Game_Shutdown();
void Game_PlayInput();
// The pending level change of the frame's hot keys: a level to load ("endgame" releases the level
// instead), set by the use key, the Transport System and quest commands.
constexpr int kPendingLevelSize = 256;
extern char Game_PendingLevel[kPendingLevelSize];
extern vec3 Game_NextStartOrigin;
extern vec3 Game_NextStartAngles;  // radians
// Applies the pending level change (once a frame, before the input handler).
void Game_HotKeys();
// The quest script that runs when the full-screen movie ends ("logos" after the intro).
extern char Game_MovieScript[64];
// The level queued to follow the movie (empty = none) with its start origin and angles
// (degrees).
extern char Game_MovieLevel[kPendingLevelSize];
extern vec3 Game_MovieOrigin, Game_MovieAngles;
// Ends the full-screen movie: mode 0, the movie closed, sound resumed, the queued level becomes
// the pending level with its start, the queued script runs.
void Game_EndMovie();
// Plays "video\<name>" full screen with a script and a level queued to follow it (null or empty
// for none; a null origin leaves the level's own start). A movie that does not open ends at once.
void Game_StartMovie(const char* name, const char* script, const char* level, const vec3* origin, const vec3* angles);

struct MovieWmv;
// The current full-screen movie (the intro "video\logos"), null when none plays.
extern MovieWmv* Game_Movie;

// The game's time-scale factor (1.0 in normal play); the video players follow it. Kept with the
// player's actions (characters/actions.cpp).
extern float TimeScale;

// Game state flags: god mode (the player takes no damage) and the all-weapons cheat (doors open
// without their required items and hacking skill).
extern uint32_t Game_GodMode;
extern uint32_t Game_AllWeaponsFlag;
// Gives the local player every weapon with full ammunition and armour.
void Game_GiveAllWeapons();

// Mode words, set by the menus, panels, network and quests; the frame reads them.
extern uint32_t Game_Running;  // a level with its player runs
extern uint32_t Game_MenuOpen;
enum FullScreenMode : int32_t {
  FULLSCREEN_NONE = 0,
  FULLSCREEN_TRANSPORT = 1,
  FULLSCREEN_MOVIE = 2,
  FULLSCREEN_MINIGAME = 3,
  FULLSCREEN_HELP = 4,
};
extern int32_t Game_FullScreenMode;
extern uint32_t Game_PanelOpen;
extern uint32_t Game_Paused;
extern int32_t Game_NetMode;  // 0 single player, 1 server, 2 client
// Demo word: playback, recording, fixed-rate capture.
constexpr uint32_t DEMO_PLAYBACK = 2;
constexpr uint32_t DEMO_RECORDING = 4;
constexpr uint32_t DEMO_CAPTURE = 8;
extern uint32_t Game_DemoFlags;
extern uint32_t Game_MissionFailed;

// Time state. The game time and the step of the last tick (seconds) change only in Game_Tick.
extern double Game_Time;
extern double Game_Step;
extern float Game_Accumulator;     // real seconds not simulated yet
extern int32_t Game_SettleFrames;  // steps stay 0 while above 0 (set after loads)
extern uint32_t Game_FrameCount;
constexpr int kCaptureRate = 24;
constexpr int kSettleFrames = 5;
constexpr float kMaxStep = 0.1f;
// At most this many ticks, and one demo restart, in one frame of demo playback.
constexpr int kMaxTicksPerFrame = 1000;

// Step 3 of the frame: the step of this frame's record (may zero or fix the frame delta).
float Game_ComputeStep();

// How far the day-cycle fog stands toward the first fog set at a clock time (0..1). A day length
// of 0 or less counts as 60 seconds.
double Game_DayFogWeight(double clock, double dayLength);

// The frame's camera after interpolation (the view handed to the world pass).
extern vec3 Game_ViewOrigin;
extern vec3 Game_ViewAngles;
extern float Game_ViewZoom;
// How far the frame stands between the last two ticks (0..1), the factor of the view's
// interpolation; bodies moved by the network are drawn with it too.
extern float Game_ViewBlend;

// Volume fades of the music and ambience voices, applied every frame.
struct SoundFade {
  uint32_t voice;  // 0 = none
  double startTime;
  float startVolume;
  double endTime;
  float endVolume;
};
constexpr int kSoundFades = 4;
extern SoundFade Game_SoundFades[kSoundFades];
extern uint32_t Game_FadeRestartArmed;
extern double Game_FadeRestartTime;
// The volume of a fade at a clock time.
float Game_FadeVolume(const SoundFade* fade, double clock);

// Observer of the frame's steps (tests record the order through it).
extern void (*Game_FrameTraceHook)(const char* step);
inline void Game_FrameTrace(const char* step) {
  if (Game_FrameTraceHook) Game_FrameTraceHook(step);
}
