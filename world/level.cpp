#include "world/level.h"

char Level_SkyName[2][kLevelSkyNameSize];
uint32_t Level_FogFlag;
uint32_t Game_SpecialFlag;
LightRecord Light_Table[kLightRecords];
int32_t Light_Count;

void Level_DrawLoadingProgress() {}
