// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include <vector>

// The unit tests' wall clock: it stands still until a test sets it, and
// pauses only note their length.
void SetFakeWallClock(int64_t micros);
std::vector<int>& FakePauses();
