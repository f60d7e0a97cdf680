// SPDX-License-Identifier: MIT
#include "testsupport/FakeClock.h"

#include "testsupport/FakeSystemCalls.h"
#include "time/Clock.h"

namespace {
int64_t g_now = 0;
}

void SetFakeClock(int64_t micros) { g_now = micros; }

int64_t ClockMicros() { return g_now; }

std::vector<int>& FakePauses() {
  static std::vector<int> pauses;
  return pauses;
}

void PauseMicros(int micros) {
  FakePauses().push_back(micros);
  Fake().monotonic += micros;
}
