#include "time/FakeWallClock.h"

#include "time/WallClock.h"

namespace {
int64_t g_now = 0;
}

void SetFakeWallClock(int64_t micros) { g_now = micros; }

int64_t WallClockMicros() { return g_now; }
