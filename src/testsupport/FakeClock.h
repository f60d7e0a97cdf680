// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

// The unit tests' monotonic clock, the one the programs read through
// time/Clock.h: it stands still until a test sets it, a run pauses, or a
// step is set, by which every reading moves it on.
void SetFakeClock(int64_t micros);
void SetFakeClockStep(int64_t micros);
// The pauses taken, each of which moves the clock on by its length.
std::vector<int>& FakePauses();
