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

void ReportBusLimit(const char* device, const LinkFacts& facts,
                    const FrameBitsRange& frame, int64_t frames,
                    int64_t elapsedMicros);

// Nanoseconds a frame of `bits` takes on the bus of `facts`; 0 without a
// bit rate. The data bit rate counts only while CAN FD is on.
int64_t FrameNanosOn(const LinkFacts& facts, const FrameBits& bits);

// The share, in percent, of `elapsedMicros` that `frames` frames of
// `frameNanos` each took on the bus.
double BusShare(int64_t frames, int64_t frameNanos, int64_t elapsedMicros);
