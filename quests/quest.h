// The quest interpreter: scripts, objectives and the per-tick step.
//
// A quest script "scripts\que\<name>.txt" is one command a line, its words in brackets:
// "[level] [name]" asks for a level change (the frame loads the level, or with "endgame" leaves
// the game for the main menu). Other commands are logged and skipped.
#pragma once
#include <cstddef>

struct GameObject;

// Once a tick: objectives' time limits count down; an objective whose time runs out runs its
// script and leaves its slot.
void Que_Tick();
// Runs the quest script of that name for the object (the player, or null) with the argument.
// Returns 1 when the script was found.
int Que_Apply(GameObject* obj, const char* script, const char* argument);
// Runs the commands of a script's text (`name` names it in log lines). Returns the number of
// commands carried out.
int Que_RunText(const char* text, size_t size, const char* name);
// Adds an objective unless the same condition and script are among the 16 slots already.
// Returns the slot, or -1 (with a log line when the table is full or a name is too long).
int Que_AddObjective(const char* condition, const char* script, float timeLimit);
