// Maker of saved games and demos: a small running game built in memory (the player, one object
// of every other class, a personage and two sound emitters on level "yard"), written by the
// game's own snapshot writer.
#pragma once
#include <cstdint>
#include <vector>

#include "world/tick.h"

// Replaces the world with the small game of that network mode (0 single, 1 server, 2 client).
void Tool_MakeSmallGame(int mode);
// The snapshot of the small game of that mode.
std::vector<uint8_t> Tool_SmallSave(int mode);
// A demo of the small single-player game: its snapshot, the records, the end record naming
// `name` (empty: the demo stops at its end).
std::vector<uint8_t> Tool_SmallDemo(const std::vector<DemoFrame>& frames, const char* name);
