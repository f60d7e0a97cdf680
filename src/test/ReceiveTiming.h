// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "time/CTimeStamp.h"
#include "time/Clock.h"

// How a receive run measures the time its frames took.

// From the first frame to the latest one: exact, but zero for one frame.
// It reads the stopwatch's clock itself at every frame, in nanoseconds, the
// cheapest reading of the monotonic clock; only Elapsed turns the readings
// into whole microseconds, as the stopwatch counts them.
class FirstToLatestFrame {
 public:
  void OnFrame(bool first) {
    const int64_t now = ClockNanos();
    if (first) m_first = now;
    m_latest = now;
  }
  int64_t Elapsed() const { return m_latest / 1000 - m_first / 1000; }

 private:
  int64_t m_first = 0;
  int64_t m_latest = 0;
};

// From the first frame to the end of the run, the final waits included.
class FirstFrameToEnd {
 public:
  void OnFrame(bool first) {
    if (first) CTimeStamp::GetInstance()->Init();
  }
  int64_t Elapsed() const { return CTimeStamp::GetInstance()->GetStamp(); }
};
