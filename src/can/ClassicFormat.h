// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>
#include <net/if.h>

#include "can/CanChannel.h"
#include "can/FrameBits.h"

// Classic CAN frames: no capability check and no flags on sent frames.
struct ClassicFormat {
  using Image = can_frame;
  // Matched byte for byte by scripts and tests, like every set-up message.
  static constexpr const char* kIndexFailure = "ioctl failed";

  bool PrepareSocket(int, ifreq*) const { return true; }
  void Mark(Image*) const {}

  FrameBits BusBits(FrameType type, uint32_t id, int length,
                    const unsigned char* data) const {
    return ClassicFrameBits(type, id, length, data);
  }
  FrameBitsRange BusBitsRange(FrameType type, int length) const {
    return ClassicFrameBitsRange(type, length);
  }
};

extern template class CanChannel<ClassicFormat>;
