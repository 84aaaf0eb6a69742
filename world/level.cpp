#include "world/level.h"

#include "world/entity.h"
#include "world/areol.h"
#include "world/beam.h"
#include "world/fx.h"
#include "world/game.h"
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
  Obj_ClearAll();
  Fx_Reset();
  Beam_StopAll();
  Areol_ForgetPictures();
  Level_EmitterCount = 0;
  Game_SpecialFlag = 0;
  Game_Running = 0;
  Game_FadeRestartArmed = 0;
}

void Game_CaptureFrame() {}
