// The HUD module's entries. The HUD has no settings or resources of its own yet.
#include "hud/hud.h"
void Hud_Init(int) {}
void Hud_Shutdown() {}

// The HUD and panels arrive later.
void Hud_Draw() {}
void Panel_DrawAll() {}
void Panel_Input() {}
void Hud_DrawMessageLines() {}
float Hud_DayLength() { return 60.0f; }
