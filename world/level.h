// Level-wide state that the world pass and the loaders read.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/vecmath.h"

// The current level's name (without folder or extension).
extern char Level_Name[256];

// The sky model name and the second sky layer name; empty when the level has none.
constexpr int kLevelSkyNameSize = 512;
extern char Level_SkyName[2][kLevelSkyNameSize];
// Non-zero when the level uses fog; the world pass turns fog on with it.
extern uint32_t Level_FogFlag;
// The camera sequence flag: set by a new game's opening sequence (and the camera sequence key),
// cleared when the hero's sequence ends and by Level_Free.
extern uint32_t Game_SpecialFlag;
// The binding text of the key that switches the camera sequence on and off during play.
constexpr const char* kCameraSequenceCommand = "Camera Sequence";

// The level's two fog sets (entity file); used when the second set's end is above 0. Between
// them the day cycle blends while the level has a sky.
struct LevelFogSet {
  float color[4];
  float start, end;
};
extern LevelFogSet Level_FogSets[2];

// The level's lights (entity class "light").
constexpr int kLightRecords = 512;
constexpr int kLightTextSize = 256;
struct LightRecord {
  char id[kLightTextSize];
  float light;
  vec3 origin;
  vec3 radius;
  vec3 lightOrigin;
  vec3 center;
  vec3 color;
  int32_t noShadows;
  int32_t noDiffuse;
  int32_t noSpecular;
  float falloff;
  char texture[kLightTextSize];
  char model[kLightTextSize];
  char shadowShader[kLightTextSize];
  float shadowVolume;
  vec3 target, up, right, start, end;
  float rotation[9];
  float shaderParms[8];
};
extern LightRecord Light_Table[kLightRecords];
extern int32_t Light_Count;

// The loading screen: a title (the level's folder and name) shown with its picture, the text
// "consol\loading" and the level's visible name; redrawn at most every 0.05 s while the loaders
// report progress, pumping the window's events so the desktop never takes the program for hung.
// Suppressed while "render_pbuffer" is on and while Level_LoadingSuppressed is set.
constexpr double kLoadingRedrawSeconds = 0.05;
extern uint32_t Level_LoadingSuppressed;
void Level_SetLoadingTitle(const char* title);
void Level_DrawLoadingProgress();
void Level_ClearLoadingScreen();
// Observer of each loading-screen redraw (tests count them).
extern void (*Level_LoadingDrawHook)(const char* title);

// Non-zero while a level is loaded; the clock when the game was created.
extern uint32_t Level_Loaded;
extern float Game_Stamp;

// Releases the level and returns to the state of no game: no objects, no areas, no modes, the game
// time 0 and the accumulator at "game_delay".
void Level_Free();
// Loads a level by name (its extension dropped): the areas and the four entity files
// "<folder><name>.scn", ".civ", ".bot" and ".items" under "scenes\" ("arenas\" in a network
// game), the player, the cars and characters placed there, the starts and pickups; then a running
// game with five settling frames. An absolute name, one that climbs with "..", or one holding a
// quote, brace or line break is refused (0, logged) before anything changes. Returns 1.
int Level_Load(const char* name);
// Only the areas of a level (a saved game rebuilds the objects itself). Same refusals.
int Level_LoadGeometry(const char* name);
// Whether a level name may be loaded (see Level_Load).
bool Level_NameAllowed(const char* name);
// "<folder><name without its extension>", the files a load of the level begun now reads; 0 for
// a name Level_NameAllowed refuses.
int Level_FilesPath(const char* name, char* out, size_t outSize);
// 1 when the level's ".nav" or its ".scn" is there (the files a saved game of it needs); 0 for a
// name Level_NameAllowed refuses. `navCounts` (when given, kNavSets entries) takes the areas of
// each set its ".nav" holds (0 without one).
int Level_FilesThere(const char* name, int32_t* navCounts = nullptr);

struct GameObject;
// Spawns a character from its template by composed entity text, with its origin and angles
// (truncated to whole numbers) when both are given. An active character of that id is replaced
// (with `replace`, its person block is first kept in its personage). An id or template holding a
// quote, brace or line break is refused with a log line. Returns the new character or null.
GameObject* Ent_SpawnNpc(const char* id, const vec3* origin, const vec3* angles, const char* templ, int replace);
// Re-creates the parked cars and the placed characters of a level.
void Ent_SpawnAttachedNpcs(const char* level);
// Captures the frame as a numbered picture (fixed-rate capture).
void Game_CaptureFrame();
