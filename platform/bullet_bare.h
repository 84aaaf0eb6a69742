// The physics benchmark's yardstick: a scene of boxes on a triangle mesh built and stepped with
// bare Bullet calls, with the settings the engine's rigid-body layer uses. Only the benchmark
// calls it.
#pragma once
#include <cstdint>

// Builds a world with the `count` triangles (nine floats each, library units) as one static
// mesh and `boxes` boxes of half size `half` and mass `mass` centred at `centres` (three floats
// each), steps it `steps` times by `seconds`, reading every box's transform after each step, and
// frees it. Returns how many boxes sleep at the end.
int BulletBare_SettleBoxes(const float* triangles, int32_t count, const float* centres, int boxes, float half,
                           float mass, float gravityZ, int steps, float seconds);
