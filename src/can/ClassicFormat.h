// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>
#include <net/if.h>

#include "can/CanChannel.h"

// Classic CAN frames: no capability check and no flags on sent frames.
struct ClassicFormat {
  using Image = can_frame;
  static constexpr const char* kIndexFailure = "ioctl failed";

  bool PrepareSocket(int, ifreq*) const { return true; }
  void Mark(Image*) const {}
};

extern template class CanChannel<ClassicFormat>;
