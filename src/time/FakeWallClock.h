#pragma once

#include <cstdint>

// The unit tests' wall clock: it stands still until a test sets it.
void SetFakeWallClock(int64_t micros);
