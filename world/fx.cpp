#include "world/fx.h"

#include <cstring>

static FxRecord g_fxPool[kFxRecords];
static FxRecord* g_fxFree;
static bool g_fxReady;  // the free list has been linked
FxRecord* Fx_ActiveList;

void Fx_Reset() {
  for (int k = 0; k < kFxRecords - 1; k++) g_fxPool[k].next = &g_fxPool[k + 1];
  g_fxPool[kFxRecords - 1].next = nullptr;
  g_fxFree = &g_fxPool[0];
  Fx_ActiveList = nullptr;
  g_fxReady = true;
}

FxRecord* Fx_Alloc() {
  if (!g_fxReady) Fx_Reset();
  FxRecord* fx = g_fxFree;
  if (!fx) return nullptr;
  g_fxFree = fx->next;
  std::memset(fx, 0, sizeof *fx);
  fx->next = Fx_ActiveList;
  Fx_ActiveList = fx;
  return fx;
}

// The effects' motion arrives with the effects; records stay where they were put.
void Fx_Update() {}
