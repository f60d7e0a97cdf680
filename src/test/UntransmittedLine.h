// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

// The line on standard error, after a send run's totals, of frames that the
// socket accepted but that `device` had not sent when the run ended: still
// queued, or dropped below the socket. `unacknowledged` when the controller
// lacked acknowledgements meanwhile (see Unacknowledged).

// Room for the line with the longest device name and count.
constexpr size_t kUntransmittedLineSize = 256 + 3 * 256;

// Writes the line, with its newline and terminator, into `line`; returns its
// length, 0 (and no line) for no untransmitted frame.
size_t BuildUntransmittedLine(char (&line)[kUntransmittedLineSize],
                              const char* device, int64_t untransmitted,
                              bool unacknowledged);

void ReportUntransmitted(const char* device, int64_t untransmitted,
                         bool unacknowledged);
