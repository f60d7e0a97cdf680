// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

// The unit tests' clock of the stopwatch: it stands still until a test sets
// it. Pauses note their length and pass on the fake system calls' monotonic
// clock.
void SetFakeClock(int64_t micros);
std::vector<int>& FakePauses();
