// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// Prints "time:… us" and "speed:… f/s" for `frames` over `elapsed`
// microseconds. Without `atAnyTime` nothing is printed for an elapsed time of
// 0 or below; with it a time of 0 shows a speed of 0.
void PrintRate(int64_t frames, int64_t elapsed, bool atAnyTime);
