// The game module: stage entries, the per-frame function and shutdown.
#pragma once

void Game_Init(int stage);
void Game_Frame();
void Game_FrameInput();
void Game_Tick();
void Game_Shutdown();
void Game_VarsInit(int stage);

// The game's time-scale factor (1.0 in normal play); the video players follow it.
extern float TimeScale;
