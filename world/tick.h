// The simulation tick: the step record, the input ring, the per-tick object lists and the cell
// grid around the player.
//
// A tick is a pure function of the world, the tick's DemoFrame and the random table: nothing it
// calls reads a clock, and every random draw is Math_RandNext.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

struct GameObject;

// The step record of the input ring and of demo files.
struct DemoFrame {
  float step;        // seconds
  float turn;        // radians of mouse look this frame
  float pitch;       // radians of mouse look this frame
  uint32_t command;  // the player's command word; bit 30 chains demos, bit 31 ends one
};
static_assert(sizeof(DemoFrame) == 16, "DemoFrame is four words");
constexpr uint32_t DEMO_CMD_CHAIN = 1u << 30;
constexpr uint32_t DEMO_CMD_END = 1u << 31;

constexpr int kInputRing = 1024;
// The current frame's record (filled by the frame input), the tick's, and the ring between.
extern DemoFrame Game_CurrentFrame;
extern DemoFrame Game_TickFrame;
extern DemoFrame Game_InputRing[kInputRing];
extern int32_t Game_RingWrite;
extern int32_t Game_RingRead;

// Counters.
extern uint32_t Game_TickCount;      // +1 a tick: the stamp of the cell grid
extern int32_t Tick_NearThinkers;    // near objects whose Think ran since the frame began
extern int32_t Tick_EngagedNear;     // near characters busy with a fight or an errand
extern int32_t Tick_IdleUnnamedNear; // near unnamed characters with nothing to do
extern int32_t Tick_CiviliansNear;   // near unnamed characters on foot (the street population's)
extern int32_t Tick_CarsNear;        // near characters that drive
// Cleared when the object list is cleared: the next tick starts the level's AI.
extern uint32_t Tick_AiStarted;

// Per-tick object lists: 2048 entries each, grown on demand.
constexpr int kTickListSize = 2048;
struct TickList {
  GameObject** items;
  int32_t count;
  int32_t capacity;
};
extern TickList Tick_TraceList;  // objects traces test one by one (not projectiles)
extern TickList Tick_NearList;   // characters near the player (also in the grid)
extern TickList Tick_ThinkList;  // the other objects that think this tick

// The cell grid around the player.
constexpr int kGridCells = 64;
constexpr float kGridCellSize = 128.0f;
constexpr int kGridCellObjects = 62;
constexpr float kNearRadius = 2400.0f;
struct GridCell {
  uint32_t stamp;  // the tick that last used it; any other stamp counts as empty
  int32_t count;
  GameObject* objects[kGridCellObjects];
};
extern GridCell Tick_Grid[kGridCells][kGridCells];  // [y][x]
extern vec3 Tick_GridCentre;

// Builds the grid anew from the near list around Tick_GridCentre: the last step of the tick's
// sorting of the objects into its lists.
void Tick_BuildGrid();
// Collects the near characters whose grid cells overlap the box (world coordinates), each once,
// at most `capacity`. Returns the count; 0 while the grid is stale.
int Tick_GridCollect(const vec3* mins, const vec3* maxs, GameObject** out, int capacity);
// Empties the lists and marks the grid stale (objects were released).
void Tick_ForgetObjects();
