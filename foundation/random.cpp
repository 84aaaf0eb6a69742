#include "foundation/random.h"

static uint32_t g_crtState = 1;
static float g_table[kRandTableSize];
static int g_index;

// The f32 nearest to 1/32767 (bits 0x38000100).
static const float kRandScale = 1.0f / 32767.0f;

void Crt_Srand(uint32_t seed) { g_crtState = seed; }

int Crt_Rand() {
  g_crtState = g_crtState * 214013u + 2531011u;
  return int((g_crtState >> 16) & 0x7FFF);
}

void Math_RandInit() {
  Crt_Srand(18);
  for (int i = 0; i < kRandTableSize; i++) g_table[i] = float(Crt_Rand()) * kRandScale;
  g_index = 0;
}

float Math_RandNext() {
  float v = g_table[g_index];
  g_index = (g_index + 1) % kRandTableSize;
  return v;
}

int Math_RandGetIndex() { return g_index; }

void Math_RandSetIndex(int i) {
  i %= kRandTableSize;
  if (i < 0) i += kRandTableSize;
  g_index = i;
}

double Math_Rand01() { return double(float(Crt_Rand()) * kRandScale); }
