// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "can/LinkFacts.h"

// The line on standard error, after a send run's totals, of frames that the
// socket accepted but that `device` had not sent when the run ended: still
// queued, or dropped below the socket. `unacknowledged` when the controller
// lacked acknowledgements meanwhile (see Unacknowledged). Empty for no
// untransmitted frame.
std::string UntransmittedLine(const char* device, int64_t untransmitted,
                              bool unacknowledged);

// How many of the `accepted` frames a send run handed to the interface its
// controller had not confirmed as sent from `before` to `after`. 0 unless
// both are facts of a CAN controller, and where the counter grew by more
// (other sockets sent on the interface too) or went back (the driver was
// reloaded): the count is then unknown.
int64_t Untransmitted(const LinkFacts& before, const LinkFacts& after,
                      int64_t accepted);

// The longest wait for `untransmitted` frames of `frameNanos` each on the
// bus: their time there and 100 ms, at most 1 s.
int64_t TransmitWaitMicros(int64_t untransmitted, int64_t frameNanos);

// Reads the facts of `ifindex` again, from `after` on, until its controller
// has sent the `accepted` frames or TransmitWaitMicros has passed; returns
// the latest facts (of `can` false when the kernel refused an answer).
LinkFacts AwaitTransmission(int ifindex, const LinkFacts& before,
                            const LinkFacts& after, int64_t accepted,
                            int64_t frameNanos);
