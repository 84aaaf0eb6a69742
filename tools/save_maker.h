// Maker of saved games and demos: a small running game built in memory (the player, one object
// of every other class, a personage and two sound emitters on level "yard"), written by the
// game's own snapshot writer.
#pragma once
#include <cstdint>
#include <vector>

#include "world/tick.h"

// Writes the small game's level into the current folder: "scenes/yard.nav" with two civilian
// areas (x 0..200 and 200..400, y 0..100) and one car area (x 0..400, y 100..200), so that a load
// of a small save finds its level. `civilianAreas` of 1 keeps only the first. True when written.
bool Tool_WriteSmallLevel(int civilianAreas = 2);
// Replaces the world with the small game of that network mode (0 single, 1 server, 2 client).
void Tool_MakeSmallGame(int mode);
// The snapshot of the small game of that mode.
std::vector<uint8_t> Tool_SmallSave(int mode);
// A demo of the small single-player game: its snapshot, the records, the end record naming
// `name` (empty: the demo stops at its end).
std::vector<uint8_t> Tool_SmallDemo(const std::vector<DemoFrame>& frames, const char* name);
