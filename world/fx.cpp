#include "world/fx.h"

#include <cstring>

#include "world/game.h"

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

static void Fx_Return(FxRecord* fx) {
  fx->next = g_fxFree;
  g_fxFree = fx;
}

void Fx_Update() {
  if (!g_fxReady) Fx_Reset();
  const float dt = float(Game_Step);
  // One walk: finished records go back to the free list, live ones move (the position with last
  // tick's velocity, then the velocity) and age.
  FxRecord** link = &Fx_ActiveList;
  while (FxRecord* fx = *link) {
    if (!fx->active) {
      *link = fx->next;
      Fx_Return(fx);
      continue;
    }
    link = &fx->next;
    if (fx->next) __builtin_prefetch(fx->next->next);
    fx->position.x += dt * fx->velocity.x;
    fx->velocity.x += dt * fx->acceleration.x;
    fx->position.y += dt * fx->velocity.y;
    fx->velocity.y += dt * fx->acceleration.y;
    fx->position.z += dt * fx->velocity.z;
    fx->velocity.z += dt * fx->acceleration.z;
    // A record of no length (or none at all) is finished at once rather than dividing by it.
    if (!(fx->duration > 0)) {
      fx->life = 1.0f;
      fx->active = 0;
      continue;
    }
    fx->life = float((Game_Time - fx->startTime) / fx->duration);
    if (fx->life > 1.0f) fx->active = 0;
  }
}
