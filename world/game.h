// The game module: stage entries, the per-frame function and shutdown.
#pragma once
#include <cstdint>

void Game_Init(int stage);
void Game_Frame();
void Game_FrameInput();
void Game_Tick();
void Game_Shutdown();
void Game_VarsInit(int stage);

struct MovieWmv;
// Non-zero when the level uses fog; the world pass turns fog on with it.
extern uint32_t Level_FogFlag;
// The current full-screen movie (the intro "video\logos"), null when none plays.
extern MovieWmv* Game_Movie;

// The game's time-scale factor (1.0 in normal play); the video players follow it.
extern float TimeScale;
