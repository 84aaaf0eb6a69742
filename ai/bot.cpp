#include "ai/bot.h"

StreetPropGrid Props_Grid;

int LoadAreas(const char*) { return 0; }
void Props_Free() {}
