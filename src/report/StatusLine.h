// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "can/ErrorFrames.h"
#include "can/FrameBits.h"
#include "can/LinkFacts.h"
#include "can/LinkQuery.h"
#include "can/WriteRefusals.h"

// True when a run shows its status line: standard error is a terminal, and
// frame lines do not go to a terminal (they would scroll the line away).
bool StatusShown(bool framesToStandardOutput);

// A run's progress on standard error, rewritten in place about once a
// second: the text, an erase to the end of the line and a carriage return,
// so that the cursor stays at the start of the line. There are no timers: the
// run counts its steps or frames with Due and looks at the clock with Check
// every so many of them, and after each read that brought no frame.
class StatusLine {
 public:
  // `before` holds the interface's link facts from before the run; without
  // CAN facts there the line reads no more of them.
  StatusLine(bool shown, int ifindex, const LinkFacts& before);

  // A send run's line shows the writes `refusals` counts and the bus share
  // of frames of `bits`; `paced` runs pause after each step and look at the
  // clock after every one.
  void WatchSend(const WriteRefusals* refusals, const FrameBitsRange& bits,
                 bool paced);
  // A receive run's line shows the drops of `socket`.
  void WatchReceive(int socket);
  // Drains `errors` at the looks, at most about 8 times a second;
  // where it is open, the run looks at the clock also while the line is
  // not shown.
  void WatchErrors(ErrorFrames* errors);

  // Counts one step or one frame; true when the clock is due a look. Never
  // true when the line is not shown.
  bool Due() { return --m_untilCheck == 0; }

  // Looks at the clock, and rewrites the line with `frames` so far when a
  // second has passed since it was last written. The controller's facts
  // are asked for at the last look before that, judged by the time since
  // the look before, and taken at a later look without waiting: the loop
  // never waits for the kernel, and an answer that does not come leaves
  // the line's controller figures as they were.
  void Check(int64_t frames);

  // Erases the line from the cursor on: after Ctrl-C the terminal's echo of
  // it stays, as without the line.
  void Erase();

 private:
  void AskLink(int64_t now);
  void Show(int64_t frames, int64_t now);
  void Write(const char* text, size_t length);

  int64_t m_untilCheck;
  int64_t m_countdown = 1;  // what m_untilCheck started from
  int64_t m_most = 64;      // the most steps or frames between looks
  bool m_shown;
  bool m_written = false;
  LinkFacts m_before;
  LinkFacts m_facts;  // the latest the kernel told
  LinkQuery m_link;
  int64_t m_askedAt = 0;
  const WriteRefusals* m_refusals = nullptr;
  FrameBitsRange m_bits{};
  int m_socket = -1;
  ErrorFrames* m_errors = nullptr;
  int64_t m_drainedAt = 0;
  int64_t m_lookedAt;
  int64_t m_shownAt;
  int64_t m_shownFrames = 0;
};
