// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// The process-wide stopwatch, in microseconds of the monotonic clock
// (Clock.h). It starts when first reached and is never freed.
class CTimeStamp {
 public:
  static CTimeStamp* GetInstance();

  // Restarts the stopwatch; always true.
  bool Init();
  // Microseconds since the last restart.
  int64_t GetStamp() const;

 private:
  CTimeStamp() = default;

  int64_t m_start = 0;
  static CTimeStamp* m_instance;
};
