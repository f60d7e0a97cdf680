// SPDX-License-Identifier: MIT
#include "time/Clock.h"

#include <unistd.h>

#include "can/SystemCalls.h"

int64_t ClockMicros() { return sys::MonotonicMicros(); }

void PauseMicros(int micros) { usleep(static_cast<useconds_t>(micros)); }
