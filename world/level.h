// Level-wide state that the world pass and the loaders read.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

// The current level's name (without folder or extension).
extern char Level_Name[256];

// The sky model name and the second sky layer name; empty when the level has none.
constexpr int kLevelSkyNameSize = 512;
extern char Level_SkyName[2][kLevelSkyNameSize];
// Non-zero when the level uses fog; the world pass turns fog on with it.
extern uint32_t Level_FogFlag;
// The camera sequence flag: set by a new game's opening sequence, cleared by Level_Free.
extern uint32_t Game_SpecialFlag;

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

// The loading-screen tick of long loads: redraws the loading screen at most every 0.05 s while a
// level is being loaded; does nothing otherwise.
void Level_DrawLoadingProgress();

// Releases everything of the current level (the level life cycle fills the rest).
void Level_Free();
// Loads a level by name (extension dropped): its navigation areas from "scenes\<name>", then a
// running game. The level life cycle fills the rest (player, entity files). Returns 0.
int Level_Load(const char* name);
// The level's areas alone, with a running game and no objects (saved games and demos bring
// their own). Returns 0.
int Level_LoadGeometry(const char* name);
// Captures the frame as a numbered picture (fixed-rate capture).
void Game_CaptureFrame();
