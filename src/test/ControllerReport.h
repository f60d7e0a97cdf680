// SPDX-License-Identifier: MIT
#pragma once

#include "can/LinkFacts.h"

// Lines on standard error, after a run's totals, about what the controller
// of `device` saw from `before` the run's first frame to `after` its last.
// Nothing is printed unless both are facts of a CAN controller.

// Frames the controller lost, and bus trouble.
void ReportController(const char* device, const LinkFacts& before,
                      const LinkFacts& after);

// True when the controller went error-passive or bus-off, ended so, or its
// transmit error counter rose: writes were then refused for want of an
// acknowledgement, not for a short queue.
bool Unacknowledged(const LinkFacts& before, const LinkFacts& after);
