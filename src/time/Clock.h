// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// The stopwatch's clock and pauses. Programs link the real ones (Clock.cc);
// unit tests link a fake in their place.

// Nanoseconds of the monotonic clock: setting the system time does not move
// it, so a run's times hold across a step of the clock.
int64_t ClockNanos();

// The same in whole microseconds.
inline int64_t ClockMicros() { return ClockNanos() / 1000; }

void PauseMicros(int micros);
