// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

// The unit tests' wall clock: it stands still until a test sets it. Pauses
// note their length and pass on the fake's monotonic clock.
void SetFakeWallClock(int64_t micros);
std::vector<int>& FakePauses();
