// Keyboard and mouse events from the window, buffered per device until the next poll.
#pragma once
struct PlatEvent;
void PlatInput_QueueEvent(const PlatEvent* ev);
