// The quest interpreter: scripts, conditions, objectives, timers and the per-tick step.
//
// A quest script "scripts\que\<name>.txt" is one command a line, its words in brackets
// ("[flag_set] [met_mara]"); the commands and their arguments are listed in quests/README.md.
// A condition "scripts\cond\<name>.txt" is one test a line; it holds when every test holds.
#pragma once
#include <cstddef>
#include <cstdint>

struct GameObject;

// Scripts run inside scripts at most this deep; conditions name conditions at most this deep.
constexpr int kQueMaxDepth = 8;
// A run of a script reads at most this many lines, counting those of every script it starts;
// the rest is skipped with one log line.
constexpr int kQueMaxLines = 4096;
// And the further script files it starts read at most this many bytes together.
constexpr uint32_t kQueMaxRunBytes = 4u << 20;
// A condition holds at most this many tests (a longer file never holds).
constexpr int kQueCondTests = 32;

// Once a tick: the quest timers count down and run their scripts; each objective's condition is
// tested: one that holds frees its slot and runs its script on the player, one whose time limit
// runs out first frees its slot and fails the mission.
void Que_Tick();
// Runs the quest script of that name for the object (the player, or null) with the argument
// (the word "$" in the script stands for it). Returns 1 when the script was found.
int Que_Apply(GameObject* obj, const char* script, const char* argument);
// Runs the commands of a script's text (`name` names it in log lines) on the player. Returns the
// number of commands carried out.
int Que_RunText(const char* text, size_t size, const char* name);
// The same on an object, with an argument, `depth` scripts deep.
int Que_RunTextOn(GameObject* obj, const char* text, size_t size, const char* name, const char* argument, int depth);
// A whole word of a script or condition as a finite number (within +-1e9): 1 and the number, or 0.
int Que_ParseNumber(const char* word, float* out);
// Adds an objective unless the same condition and script are among the 16 slots already.
// Returns the slot, or -1 (with a log line when the table is full or a name is too long).
int Que_AddObjective(const char* condition, const char* script, float timeLimit);

// 1 when the condition of that name holds for the player now (0 for a missing or bad file).
int Que_TestCondition(const char* name);
// Tests the text of a condition (as if read from the file `name`) for the player.
int Que_TestConditionText(const char* text, size_t size, const char* name);
// Forgets the conditions read so far (they are read again when next tested).
void Que_ForgetConditions();

// Fault lines of scripts and conditions are said once per name a level, so that a script or
// condition that recurs (a timer, an objective) does not fill the log. Each run of a script and
// each read of a condition is an occasion: Que_NewOccasion gives its number. Que_MayLogFault is 1
// when a line about `name` may be written in that occasion: the name has said nothing yet this
// level, or it spoke first in this same occasion (so one run still says each of its bad lines).
// The names are kept in a table of kQueFaultNames; past it, one line and then silence.
constexpr int kQueFaultNames = 128;
uint32_t Que_NewOccasion();
int Que_MayLogFault(const char* name, uint32_t occasion);
// 1 the first time a line about `name` may be written this level (an occasion of its own).
int Que_LogOnce(const char* name);
// A condition file found missing this level is not looked for again until the level is freed.
// Up to kQueMissingNames files are kept; once that many are missing, no further condition file is
// looked for this level (Que_IsKnownMissing is 1 for every name), with one log line.
constexpr int kQueMissingNames = 512;
int Que_IsKnownMissing(const char* name);
void Que_MarkMissing(const char* name);
// Forgets the names (a level is freed, or a new game starts): a new level may find the files and
// says their faults again. Conditions that never held are read again as well.
void Que_ForgetFaults();

// A "spawn" is refused while the level holds this many objects or more, with one log line a level.
// An object takes about 40 KB of a save, so a level filled by scripts still saves far below what
// a load takes. The bound reads the world itself, so a loaded game or a demo's snapshot brings it
// back as it was, and a demo replays the same spawns however often it restarts.
constexpr int kQueSpawnObjects = 1024;

// Quest flags: 1 when set.
int Que_HasFlag(const char* name);
// A character died: the kill counts that match its name count it.
void Que_CharacterDied(const GameObject* character);
