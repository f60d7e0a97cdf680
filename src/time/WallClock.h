// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// Wall-clock time and pauses. Programs link the real clock (WallClock.cc);
// unit tests link a fake in its place.

// Microseconds since the Unix epoch.
int64_t WallClockMicros();

void PauseMicros(int micros);
