// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "can/FrameBits.h"
#include "can/LinkFacts.h"

// Nanoseconds `bits` take on the bus of `facts`: the data bit rate counts
// only where the controller is in CAN FD mode. 0 without a bit rate.
int64_t LinkFrameNanos(const LinkFacts& facts, const FrameBits& bits);

// The line on standard error, after a send run's totals, that sets the run's
// rate against the most frames the bus of `device` carries. `frame` holds
// the bits of the frames sent: fewest and most are equal unless they
// differed. Nothing is printed without a bit rate.
void ReportBusLimit(const char* device, const LinkFacts& facts,
                    const FrameBitsRange& frame, int64_t frames,
                    int64_t elapsedMicros);
