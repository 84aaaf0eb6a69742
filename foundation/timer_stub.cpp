// Placeholder entries until the clocks exist.
#include "foundation/timer.h"
void Timer_Init(int) {}
void Timer_Shutdown() {}
void Timer_FrameInit(int) {}
void Timer_UpdateFrame() {}
void Timer_ResetFrame() {}
