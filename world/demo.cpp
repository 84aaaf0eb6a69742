#include "world/demo.h"

#include "world/fx.h"
#include "world/game.h"
#include "world/tick.h"

void (*Demo_ReadSource)(DemoFrame* frame);

// Demo files arrive later: a playback that was started anyway ends at its first record.
void Demo_ReadFrame(DemoFrame* frame) {
  if (Demo_ReadSource) {
    Demo_ReadSource(frame);
    return;
  }
  *frame = DemoFrame{};
  Game_DemoFlags &= ~DEMO_PLAYBACK;
}
const char* Demo_NextName() { return ""; }
void Demo_StartPlayback(const char*) { Fx_Reset(); }
void Demo_WriteFrame(const DemoFrame*) {}
