// The engine clock and the frame clock.
#pragma once

void Timer_Init(int stage);
void Timer_Shutdown();
void Timer_FrameInit(int stage);
void Timer_UpdateFrame();
void Timer_ResetFrame();
