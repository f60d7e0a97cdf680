// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "can/ErrorCounts.h"

// A second raw socket on a run's interface that receives only the error
// frames its driver sends, so that the run's own socket, counts and read
// loop stay as they are. It is read only when drained: at the status line's
// looks and at the end of the run, never once per frame. Between drains it
// may overflow under a flood of errors; its drops are counted, and the
// counts are then lower bounds.
class ErrorFrames {
 public:
  // Opens the socket where `watch` is true (the interface is a CAN
  // controller); one that cannot be set up is closed again, and the run
  // goes on without it.
  ErrorFrames(int ifindex, bool watch);
  ~ErrorFrames();
  ErrorFrames(const ErrorFrames&) = delete;
  ErrorFrames& operator=(const ErrorFrames&) = delete;

  bool Open() const { return m_socket >= 0; }

  // Reads and counts the error frames queued, without waiting, at most
  // kMostPerDrain of them; returns the counts so far.
  const ErrorCounts& Drain();

  // Enough for the socket's whole default buffer (a few hundred frames),
  // few enough that a drain under a flood ends at once.
  static constexpr int kMostPerDrain = 1024;

 private:
  int m_socket = -1;
  ErrorCounts m_counts;
};
