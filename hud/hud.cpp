// The HUD module's entries. The HUD has no settings or resources of its own yet.
#include "hud/hud.h"
void Hud_Init(int) {}
void Hud_Shutdown() {}
