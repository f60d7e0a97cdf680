// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "can/LinkFacts.h"

// Lines on standard error, after a run's totals, about what the controller
// of `device` saw from `before` the run's first frame to `after` its last.
// Nothing is said unless both are facts of a CAN controller; each line is
// empty when it has nothing to say.

// Frames the controller of `device` lost: overruns, FIFO errors, missed.
std::string LostLine(const char* device, uint64_t lost);

// Bus errors, state changes and restarts during the run, and the state it
// ended in when that is error-passive or bus-off.
std::string TroubleLine(const char* device, const LinkFacts& before,
                        const LinkFacts& after);

// Both lines, where both facts are of a CAN controller.
std::string ControllerLines(const char* device, const LinkFacts& before,
                            const LinkFacts& after);

void ReportController(const char* device, const LinkFacts& before,
                      const LinkFacts& after);

// True when the controller went error-passive or bus-off, ended so, or its
// transmit error counter rose: writes were then refused for want of an
// acknowledgement, not for a short queue.
bool Unacknowledged(const LinkFacts& before, const LinkFacts& after);
