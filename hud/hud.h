// The in-game HUD module.
#pragma once
void Hud_Init(int stage);
void Hud_Shutdown();
