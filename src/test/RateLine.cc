// SPDX-License-Identifier: MIT
#include "test/RateLine.h"

#include <cstdio>

void PrintRate(int64_t frames, int64_t elapsed, bool atAnyTime) {
  if (elapsed <= 0 && !atAnyTime) return;
  const int64_t speed = elapsed == 0 ? 0 : frames * 1000000 / elapsed;
  printf("time:%lld us\nspeed:%lld f/s\n", static_cast<long long>(elapsed),
         static_cast<long long>(speed));
}
