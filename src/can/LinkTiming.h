// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can/netlink.h>

#include <cstdint>

// Transmitter delay compensation (TDC) of a CAN FD controller, as the kernel
// tells it from Linux 5.16 on.
struct TdcFacts {
  bool present = false;    // the controller has TDC: the kernel told its limits
  bool valueTold = false;  // tdcv came (TDC on, and a value to tell)
  uint32_t tdcv = 0;       // transmitter delay, in clock periods
  uint32_t tdco = 0;       // offset of the secondary sample point
  uint32_t tdcf = 0;       // filter window
};

// The bit timing of a CAN controller and the modes it runs in: the facts
// that every node of one bus must agree on, or that spoil a test when set.
struct LinkTiming {
  uint32_t clock = 0;       // the controller's clock in Hz; 0: not told
  can_bittiming nominal{};  // bitrate 0: no bit timing (an emulated one)
  can_bittiming data{};     // the data phase's; bitrate 0: none
  TdcFacts tdc;
  uint32_t ctrlmode = 0;  // CAN_CTRLMODE_* flags that are on
  // The flags the controller has; 0 where the kernel does not tell (before
  // Linux 5.16).
  uint32_t supported = 0;

  bool TdcOn() const {
    return (ctrlmode & (CAN_CTRLMODE_TDC_AUTO | CAN_CTRLMODE_TDC_MANUAL)) != 0;
  }
};
