// Placeholder entries until the input devices exist.
#include "foundation/input.h"
void DI_Init(int) {}
void DI_Acquire() {}
void DI_Shutdown() {}
void Input_Init(int) {}
void Input_Poll() {}
void Input_ProcessEvents() {}
