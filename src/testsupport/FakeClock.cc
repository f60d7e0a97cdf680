// SPDX-License-Identifier: MIT
#include "testsupport/FakeClock.h"

#include "testsupport/FakeSystemCalls.h"
#include "time/Clock.h"

namespace {
int64_t g_now = 0;
}

void SetFakeClock(int64_t micros) { g_now = micros; }

int64_t ClockNanos() { return g_now * 1000; }

std::vector<int>& FakePauses() {
  static std::vector<int> pauses;
  return pauses;
}

void PauseMicros(int micros) {
  FakePauses().push_back(micros);
  g_now += micros;
  Fake().monotonic += micros;
}
