// Placeholder entries until the sound module exists.
#include "foundation/sound.h"
void DSInit(int) {}
void DS_Shutdown() {}
void Sound_Init(int) {}
void Sound_Shutdown() {}
