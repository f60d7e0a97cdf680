#pragma once

#include <cstdint>

// Wall-clock time in microseconds since the Unix epoch. Programs link the
// real clock (WallClock.cc); unit tests link a fake in its place.
int64_t WallClockMicros();
