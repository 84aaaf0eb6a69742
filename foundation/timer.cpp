#include "foundation/timer.h"

#include <cstdint>

#include "foundation/var.h"
#include "platform/clock.h"

double Timer_FrameTime;
double Timer_FrameDelta;

static VarRecord g_multiprocessorVar = {"multiprocessor", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS,
                                        1.0f, "1", 0, nullptr};
static VarRecord* g_multiprocessor = &g_multiprocessorVar;

// The counter source runs at 1 GHz; a re-base every 100 seconds keeps the elapsed part small.
constexpr uint64_t kCounterFrequency = 1000000000ull;
constexpr double kRebaseSeconds = 100.0;

static struct {
  int running;
  int started;     // the clock has been started at least once
  int useCounter;  // source chosen at the last start: 1 counter, 0 millisecond timer
  uint64_t startCount;
  double baseTime;
  double lastValue;
} g_clock;

static uint64_t Milliseconds() { return PlatClock_Nanoseconds() / 1000000ull; }

void Timer_Init(int stage) {
  if (stage == 0) {
    g_multiprocessor = Var_Register(&g_multiprocessorVar);
    if (!g_multiprocessor) g_multiprocessor = &g_multiprocessorVar;
  } else if (stage == 1) {
    Timer_Start();
  }
}

void Timer_Start() {
  g_clock.useCounter = g_multiprocessor->value == 0.0f;
  g_clock.startCount = g_clock.useCounter ? PlatClock_Nanoseconds() : Milliseconds();
  g_clock.baseTime = 0.0;
  g_clock.lastValue = 0.0;
  g_clock.started = 1;
  g_clock.running = 1;
}

void Timer_Shutdown() { g_clock.running = 0; }

int Timer_IsRunning() { return g_clock.running; }

double Timer_ReadClock() {
  if (!g_clock.started) return 0.0;
  if (!g_clock.running) return g_clock.lastValue;
  double value;
  if (!g_clock.useCounter) {
    // Full 64-bit millisecond difference: no wrap however long the game runs.
    uint64_t elapsed = Milliseconds() - g_clock.startCount;
    value = double(elapsed) * 0.001 + g_clock.baseTime;
  } else {
    uint64_t counter = PlatClock_Nanoseconds();
    double elapsed = double(counter - g_clock.startCount) / double(kCounterFrequency);
    value = g_clock.baseTime + elapsed;
    if (elapsed > kRebaseSeconds) {
      g_clock.startCount = counter;
      g_clock.baseTime = value;
    }
  }
  g_clock.lastValue = value;
  return value;
}

double Timer_GetTime() { return Timer_ReadClock(); }

double Timer_Now() { return Timer_ReadClock(); }

void Timer_UpdateFrame() {
  Timer_FrameDelta = Timer_ReadClock() - Timer_FrameTime;
  Timer_FrameTime += Timer_FrameDelta;
}

void Timer_ResetFrame() {
  Timer_FrameTime = Timer_ReadClock();
  Timer_FrameDelta = 0.0;
}

int Timer_FrameInit(int stage) {
  if (stage == 0) return 1;
  if (stage == 1) return g_clock.running;
  return stage;
}
