#include "platform/clock.h"

#include <ctime>

static uint64_t RealNanoseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

static PlatClockSource g_source = RealNanoseconds;

uint64_t PlatClock_Nanoseconds() { return g_source(); }

void PlatClock_SetSource(PlatClockSource source) { g_source = source ? source : RealNanoseconds; }
