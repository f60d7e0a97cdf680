// SPDX-License-Identifier: MIT
#include "time/Clock.h"

#include <time.h>
#include <unistd.h>

int64_t ClockNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void PauseMicros(int micros) { usleep(static_cast<useconds_t>(micros)); }
