// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "can/LinkFacts.h"

// After a send run: how many of the frames the socket took the controller
// had not yet sent, and the wait for them to leave.

// How many of the `accepted` frames a send run handed to the interface its
// controller had not confirmed as sent from `before` to `after`. 0 unless
// both are facts of a CAN controller, and where the counter grew by more
// (other sockets sent on the interface too) or went back (the driver was
// reloaded): the count is then unknown.
int64_t Untransmitted(const LinkFacts& before, const LinkFacts& after,
                      int64_t accepted);

// Whether Untransmitted can count: both are facts of a CAN controller, and
// its counter neither went back nor grew by more than `accepted`.
bool UntransmittedKnown(const LinkFacts& before, const LinkFacts& after,
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
