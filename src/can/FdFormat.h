// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>
#include <net/if.h>

#include "can/CanChannel.h"

// CAN FD frames: the interface must carry them (MTU 72) and the socket is
// switched to them; a non-zero m_brs sends every frame with bit-rate switch.
struct FdFormat {
  using Image = canfd_frame;
  static constexpr const char* kIndexFailure = "ioctl SIOCGIFINDEX failed";

  FdFormat(int brs = 0) : m_brs(brs) {}

  bool PrepareSocket(int socket, ifreq* ifr) const;
  void Mark(Image* image) const {
    if (m_brs != 0) image->flags = CANFD_BRS;
  }

  int m_brs;
};

extern template class CanChannel<FdFormat>;
