// Placeholder entries until the display module exists.
#include "foundation/video.h"
void Video_EnumDisplayModes(int) {}
void Video_RestoreDisplayMode() {}
void Video_Init(int) {}
void Video_Shutdown() {}
