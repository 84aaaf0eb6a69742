// Placeholder until the keyboard and mouse device layer exists: events are dropped.
#include "platform/input.h"
void PlatInput_QueueEvent(const PlatEvent*) {}
