// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "can/ErrorCounts.h"
#include "can/LinkFacts.h"

// The line on standard error, after a run's totals, of the bus errors,
// state changes and restarts that the controller of `device` saw from
// `before` the run's first frame to `after` its last, and the state it ended
// in when that is error-passive or bus-off; where the driver sent error
// frames, their `errors` by class and the likely cause. Empty when nothing
// of that happened (the controller's overflows alone are the lost-frames
// line's), or unless both are facts of a CAN controller.
std::string TroubleLine(const char* device, const LinkFacts& before,
                        const LinkFacts& after,
                        const ErrorCounts& errors = ErrorCounts());

// True when the controller went error-passive or bus-off, ended so, or its
// transmit error counter rose: writes were then refused, or frames left
// untransmitted, for want of an acknowledgement, not for a short queue.
bool Unacknowledged(const LinkFacts& before, const LinkFacts& after);
