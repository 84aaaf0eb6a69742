// The engine clock (seconds since the clock was started) and the frame clock (the time of the
// current frame and the length of the last one, taken once at the top of every frame).
#pragma once

// The frame clock, read by the whole game. The game loop may overwrite the delta for its step.
extern double Timer_FrameTime;
extern double Timer_FrameDelta;

// Stage 0 registers "multiprocessor"; stage 1 starts the clock.
void Timer_Init(int stage);
// Starts the clock at 0 on the source "multiprocessor" chooses (non-zero: millisecond timer,
// 0: nanosecond counter). The source stays fixed until the clock is started again.
void Timer_Start();
void Timer_Shutdown();
int Timer_IsRunning();
// The engine clock in seconds; 0 before the clock was first started.
double Timer_ReadClock();
double Timer_GetTime();
double Timer_Now();
// Once at the top of every frame: frame delta = clock - frame time; frame time = clock.
void Timer_UpdateFrame();
// Frame time = clock, frame delta = 0: the next frame has no jump.
void Timer_ResetFrame();
// The frame clock's module entry: 1 for stage 0, whether the clock runs for stage 1, else the
// stage.
int Timer_FrameInit(int stage);
