#include "world/level.h"

#include "world/entity.h"
#include "world/game.h"
#include "world/net.h"
#include "world/object.h"

char Level_Name[256];
char Level_SkyName[2][kLevelSkyNameSize];
uint32_t Level_FogFlag;
uint32_t Game_SpecialFlag;
LevelFogSet Level_FogSets[2];
LightRecord Light_Table[kLightRecords];
int32_t Light_Count;

void Level_DrawLoadingProgress() {}

// The level life cycle arrives later; what the frame relies on today: a released level ends the
// camera sequence and the game, releases the objects and disarms the sound-fade restart.
void Level_Free() {
  // Leaving a network game: the peers hear it and the match tables empty.
  if (Game_NetMode == 1) NET_SendServerQuit();
  if (Game_NetMode == 2) NET_SendClientQuit();
  if (Game_NetMode != 0) NET_EndGame();
  Obj_ClearAll();
  Level_EmitterCount = 0;
  Game_SpecialFlag = 0;
  Game_Running = 0;
  Game_FadeRestartArmed = 0;
}

void Game_CaptureFrame() {}
