// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "can/FrameType.h"
#include "can/LinkFacts.h"

// The bits one frame takes on the bus, from its start of frame to the end of
// the intermission, stuff bits included: `nominal` at the nominal bit rate,
// `data` at the data bit rate (CAN FD with bit-rate switch only).
struct FrameBits {
  int nominal = 0;
  int data = 0;
};

// A classic frame: CRC-15 and dynamic stuff bits from the start of frame to
// the end of the CRC. `data` holds `length` bytes (none read for a remote
// frame).
FrameBits ClassicFrameBits(FrameType type, uint32_t id, int length,
                           const unsigned char* data);

// A CAN FD data frame (ISO 11898-1:2015): dynamic stuff bits to the end of
// the data field, the stuff count with its parity, CRC-17 up to 16 bytes or
// CRC-21, with their fixed stuff bits. `length` is rounded up to a length
// the DLC can give, the padding being zeros.
FrameBits FdFrameBits(FrameType type, uint32_t id, int length,
                      const unsigned char* data, bool bitRateSwitch);

// The fewest and the most bits any frame of that kind and length can take:
// none or as many dynamic stuff bits as fit, the most at the nominal rate.
struct FrameBitsRange {
  FrameBits fewest;
  FrameBits most;
};
FrameBitsRange ClassicFrameBitsRange(FrameType type, int length);
FrameBitsRange FdFrameBitsRange(FrameType type, int length, bool bitRateSwitch);

// Nanoseconds the bits take at those rates; 0 for a rate of 0.
int64_t FrameNanos(const FrameBits& bits, uint32_t bitrate,
                   uint32_t dataBitrate);

// The data bit rate of the bus of `facts`: only while CAN FD is on.
uint32_t DataBitrate(const LinkFacts& facts);

// Nanoseconds a frame of `bits` takes on the bus of `facts`; 0 without a
// bit rate.
int64_t FrameNanosOn(const LinkFacts& facts, const FrameBits& bits);

// The share, in percent, of `elapsedMicros` that `frames` frames of
// `frameNanos` each took on the bus.
double BusShare(int64_t frames, int64_t frameNanos, int64_t elapsedMicros);
