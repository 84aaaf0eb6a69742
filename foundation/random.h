// The runtime generator the random table depends on, and the 4096-entry table itself.
#pragma once
#include <cstdint>

// state = state * 214013 + 2531011; result = (state >> 16) & 0x7FFF.
void Crt_Srand(uint32_t seed);
int Crt_Rand();

constexpr int kRandTableSize = 4096;
void Math_RandInit();
float Math_RandNext();
int Math_RandGetIndex();
void Math_RandSetIndex(int i);
double Math_Rand01();
