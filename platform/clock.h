// The monotonic tick source under the engine clock.
#pragma once
#include <cstdint>

// Nanoseconds of the monotonic clock (never goes back, unaffected by changes of the wall time).
uint64_t PlatClock_Nanoseconds();

// Tests put a source of their own in place of the real clock; null restores the real one.
using PlatClockSource = uint64_t (*)();
void PlatClock_SetSource(PlatClockSource source);
