// The effects pool: short-lived sprite particles.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

constexpr int kFxRecords = 2048;

struct FxRecord {
  uint32_t active;    // 1 live; 0 finished (returned at the next update)
  FxRecord* next;     // free list or active list
  uint32_t unused2;
  float life;         // 0 at the start, 1 at the end
  float startTime;    // game time, seconds
  float duration;     // seconds
  vec3 position;
  vec3 velocity;
  vec3 acceleration;
  float unused15;
  float size;  // half the width of the drawn quad
  float unused17[3];
  float color[4];      // red, green, blue, alpha on a 0..255 scale
  uint32_t fade;       // non-zero: colour times (1 - life) when drawn
  uint32_t blendMode;  // for Render_SetBlend
  uint32_t material;
  uint32_t drawBucket;    // written by the draw each frame
  FxRecord* drawNext;     // written by the draw each frame
};

// The active list (newest first).
extern FxRecord* Fx_ActiveList;

void Fx_Reset();
// A zero-filled record on the active list, or null when the pool is empty.
FxRecord* Fx_Alloc();
// Once a tick: returns finished records and moves the live ones.
void Fx_Update();
