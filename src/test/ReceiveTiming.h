// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "time/CTimeStamp.h"

// How a receive run measures the time its frames took.

// From the first frame to the latest one: exact, but zero for one frame.
class FirstToLatestFrame {
 public:
  void OnFrame(bool first) {
    const int64_t now = CTimeStamp::GetInstance()->GetStamp();
    if (first) m_first = now;
    m_latest = now;
  }
  int64_t Elapsed() const { return m_latest - m_first; }

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
