#include "ai/bot.h"

StreetPropGrid Props_Grid;

int LoadAreas(const char*) { return 0; }
void Props_Free() {}

// The AI arrives later; until then these have no state to touch.
void ai_UnregisterObject(GameObject*) {}
void ai_StartLevel() {}
void ai_Tick() {}
void ai_RequestFullReset() {}
void bot_Setup(GameObject*, const char*) {}
AreaSet* ai_CivilianAreas;
int ai_FindAreaAtPoint(const AreaSet*, const float*, int) { return -1; }
int ai_GetDmRespawns() { return 0; }
