// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>
#include <net/if.h>

#include "can/CanChannel.h"
#include "can/FrameBits.h"

// CAN FD frames: the interface must carry them (MTU 72, or one of the CAN XL
// range on a CAN device) and the socket is switched to them; a non-zero
// m_brs sends every frame with bit-rate switch.
struct FdFormat {
  using Image = canfd_frame;
  // Matched byte for byte by scripts and tests, like every set-up message.
  static constexpr const char* kIndexFailure = "ioctl SIOCGIFINDEX failed";

  FdFormat(int brs = 0) : m_brs(brs) {}

  bool PrepareSocket(int socket, ifreq* ifr) const;
  void Mark(Image* image) const {
    if (m_brs != 0) image->flags = CANFD_BRS;
  }

  FrameBits BusBits(FrameType type, uint32_t id, int length,
                    const unsigned char* data) const {
    return FdFrameBits(type, id, length, data, m_brs != 0);
  }
  FrameBitsRange BusBitsRange(FrameType type, int length) const {
    return FdFrameBitsRange(type, length, m_brs != 0);
  }

  int m_brs;
};

extern template class CanChannel<FdFormat>;
