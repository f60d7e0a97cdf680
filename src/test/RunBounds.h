// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "test/Unattended.h"

// What ends a run by itself besides its count: a duration, for which the
// alarm signal raises the quit flag as Ctrl-C does, and in a receive run a
// quiet time with no frame, looked at after each read that brought none.
// Neither costs the loop anything per frame. (The frame limit is the
// receive loop's own: ReceiveExtras.h.)
class RunBounds {
 public:
  // The quiet time is told within a tenth of itself: the receive socket's
  // time-out becomes a twentieth of it (from 1 ms to the usual 5 s), so
  // that a silent bus brings a look that often, and a look finds the count
  // unchanged at most two such time-outs after the latest frame.
  static constexpr int64_t kLooksPerQuiet = 20;
  static constexpr int64_t kFewestLookMicros = 1000;

  explicit RunBounds(const UnattendedOptions& options)
      : m_quietMicros(options.quietMicros),
        m_durationMicros(options.durationMicros) {}
  RunBounds(const RunBounds&) = delete;
  RunBounds& operator=(const RunBounds&) = delete;
  ~RunBounds() { Stop(); }

  // A receive run with a quiet time: its reads wait no longer than a look.
  // False, with errno, when the socket refused.
  bool WatchQuiet(int socket) const;
  // The run begins: the duration's alarm is armed, the quiet time counts
  // from now. False, with errno, when the alarm could not be armed.
  bool Start();
  // After a read that brought no frame: true once the quiet time has passed
  // with the frame count at `count`.
  bool Quiet(int64_t count);
  // The run ended: an alarm still armed is disarmed.
  void Stop();

 private:
  int64_t m_quietMicros;
  int64_t m_durationMicros;
  bool m_armed = false;
  int64_t m_seenCount = 0;
  int64_t m_quietSince = 0;
};
