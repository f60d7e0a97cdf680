// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "can/LinkFacts.h"

// The line on standard error, after a run's totals, of the frames that the
// controller of `device` lost (overruns, FIFO errors, missed frames) from
// `before` the run's first frame to `after` its last. Empty for none, or
// unless both are facts of a CAN controller.
std::string LostLine(const char* device, const LinkFacts& before,
                     const LinkFacts& after);
