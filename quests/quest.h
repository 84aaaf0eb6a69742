// The quest interpreter's step.
#pragma once

// Once a tick: objectives, timers and scripts.
void Que_Tick();
