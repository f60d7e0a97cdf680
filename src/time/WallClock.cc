// SPDX-License-Identifier: MIT
#include "time/WallClock.h"

#include <sys/time.h>
#include <unistd.h>

int64_t WallClockMicros() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_usec;
}

void PauseMicros(int micros) { usleep(static_cast<useconds_t>(micros)); }
