// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "can/FrameBits.h"
#include "can/LinkFacts.h"

// The line on standard error, after a send run's totals, that sets the run's
// rate against the most frames the bus of `device` carries. `frame` holds
// the bits of the frames sent: fewest and most are equal unless they
// differed. Empty without a bit rate.
std::string BusLimitLine(const char* device, const LinkFacts& facts,
                         const FrameBitsRange& frame, int64_t frames,
                         int64_t elapsedMicros);
