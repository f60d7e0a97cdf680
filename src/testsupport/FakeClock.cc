// SPDX-License-Identifier: MIT
#include "testsupport/FakeClock.h"

#include "time/Clock.h"

namespace {
int64_t g_now = 0;
int64_t g_step = 0;
}  // namespace

void SetFakeClock(int64_t micros) { g_now = micros; }

void SetFakeClockStep(int64_t micros) { g_step = micros; }

int64_t ClockNanos() {
  g_now += g_step;
  return g_now * 1000;
}

std::vector<int>& FakePauses() {
  static std::vector<int> pauses;
  return pauses;
}

void PauseMicros(int micros) {
  FakePauses().push_back(micros);
  g_now += micros;
}
