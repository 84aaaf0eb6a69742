// The game's own settings and its start-up: player actions, definitions, the experience table.
#pragma once
#include <cstdint>

#include "foundation/var.h"

constexpr int kGameSettings = 39;
// The settings in registration order.
extern VarRecord* const GameVars_Table[kGameSettings];
// Read by name-less code directly.
extern VarRecord render_drawavi;
extern VarRecord game_name;
extern VarRecord game_playername;

// Experience levels: row i = {experience where level i starts, 1.0, 1.0, where level i + 1 starts}.
constexpr int kExperienceLevels = 300;
extern float Game_ExperienceTable[kExperienceLevels][4];
// The level that an experience value lies in; kExperienceLevels when beyond the last row.
int Game_ExperienceLevel(float experience);

// Stage 0 registers the settings; stage 1 links the actions, loads the definitions and builds
// the experience table. Other stages return stage - 1 and do nothing.
int GameVars_Init(int stage);
void GameVars_Free();
