// The in-game HUD module.
#pragma once
void Hud_Init(int stage);
void Hud_Shutdown();

// The HUD of normal play.
void Hud_Draw();
// The in-game panels (inventory, stats, shops...): their drawing and input while one is open.
void Panel_DrawAll();
void Panel_Input();
// The on-screen message lines.
void Hud_DrawMessageLines();
// The length of a day in seconds ("daytime" of the HUD file; 60 when it sets none).
float Hud_DayLength();
