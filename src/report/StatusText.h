// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What a run's status line shows, gathered once a second.
struct StatusFigures {
  bool send = false;  // a send run; else a receive run
  int64_t frames = 0;
  int64_t rate = 0;  // frames a second since the line was last written
  // Send runs: writes refused so far, and the rate as a share of the bus
  // limit, in percent, from the shortest to the longest frame sent (equal
  // unless the frames differ); no share without bit timing.
  int64_t refused = 0;
  bool share = false;
  int64_t lowShare = 0;
  int64_t highShare = 0;
  // Receive runs: frames the socket dropped so far, where the kernel tells.
  bool dropsKnown = false;
  uint32_t drops = 0;
  // Where the interface has CAN link facts: the controller's state and the
  // frames it lost during the run.
  bool can = false;
  uint32_t state = 0;
  uint64_t lost = 0;
};

// The widest a status line gets: one column short of 80, so that a
// terminal that wraps at the last column does not.
constexpr size_t kStatusWidth = 79;

// The line's text: at most kStatusWidth characters, cut there.
std::string StatusText(const StatusFigures& figures);
