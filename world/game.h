// The game module: stage entries, the per-frame function and shutdown.
#pragma once
#include <cstdint>

#include "world/level.h"

void Game_Init(int stage);
void Game_Frame();
void Game_FrameInput();
void Game_Tick();
void Game_Shutdown();
void Game_VarsInit(int stage);
void Game_PlayInput();

struct MovieWmv;
// The current full-screen movie (the intro "video\logos"), null when none plays.
extern MovieWmv* Game_Movie;

// The game's time-scale factor (1.0 in normal play); the video players follow it. Kept with the
// player's actions (characters/actions.cpp).
extern float TimeScale;

// Game state flags: god mode (the player takes no damage) and the all-weapons cheat (doors open
// without their required items and hacking skill).
extern uint32_t Game_GodMode;
extern uint32_t Game_AllWeaponsFlag;
// Gives the local player every weapon with full ammunition and armour.
void Game_GiveAllWeapons();

// The game time and the step of the last tick (seconds), advanced only by Game_Tick.
extern double Game_Time;
extern double Game_Step;
