// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

// The unit tests' clock of the stopwatch: it stands still until a test sets
// it or a run pauses. Pauses note their length and pass on this clock and
// the fake system calls' monotonic one.
void SetFakeClock(int64_t micros);
std::vector<int>& FakePauses();
