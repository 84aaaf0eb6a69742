// Street population: passers-by and traffic appear where the level's navigation areas cross a
// ring just inside the near radius around the player, out of view, heading towards the player.
// The tick releases the unnamed ones that wander off.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

struct GameObject;

constexpr float kPopRingRadius = 2280.0f;        // 0.95 x the tick's near radius
constexpr float kPopCivilianRaise = 32.0f;       // civilian spots stand this far above the border
constexpr float kPopCivilianClearance = 200.0f;  // from any near object
constexpr float kPopCarClearance = 1000.0f;
constexpr int kPopCandidates = 64;               // per kind and tick
constexpr int kPopNearLimit = 2048;              // a new object joins the near list below this
constexpr float kPopGroundProbe = 64.0f;         // the ground trace runs this far up and down
constexpr uint32_t kPopGroundMask = 10;

struct PopCandidate {
  vec3 position;
  vec3 target;
};

// Day while the fractional part of clock / 60 lies strictly between 0 and 0.5.
bool Pop_IsDay(double clock);
// The cap of near civilians at that clock: the night cap by night when the level has night
// templates and a non-zero night cap, else the day cap.
int Pop_CivilianCap(double clock);

// The spawn candidates of the level's civilian or car areas (NAV_CIVILIAN, NAV_CARS) around the
// point, skipping spots closer than the clearance to an active object of `near`; at most
// kPopCandidates, in the order of areas, then edges (civilians) or lanes (cars). Returns the count.
int Pop_Candidates(int setKind, const vec3* player, GameObject* const* near, int nearCount, PopCandidate* out);

// The population step of the tick: one civilian and one car at most, while below the caps.
// Nothing in a network game or without a player.
void Pop_Update();
// A civilian from a template of the time of day, placed on the ground at the position, heading
// for the target.
void Pop_SpawnCivilian(const vec3* position, const vec3* target);
// A car from a car template, placed the same way.
void Pop_SpawnCar(const vec3* position, const vec3* target);
