// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can/netlink.h>

#include <cstdint>

#include "can/LinkTiming.h"

// What the kernel tells of a CAN interface's controller through rtnetlink
// (what `ip -details -statistics link show` prints). `can` is false where
// the interface is of another kind or the kernel did not answer: then
// nothing else holds.
struct LinkFacts {
  bool can = false;
  // The interface's kind as rtnetlink names it (can, vcan, vxcan), also
  // where `can` is false; empty when the kernel did not tell.
  char kind[16] = "";
  LinkTiming timing;
  // The wait before a restart after bus-off; -1: not told.
  int64_t restartMs = -1;
  uint32_t state = CAN_STATE_ERROR_ACTIVE;
  can_berr_counter errors{};  // transmit and receive error counters
  can_device_stats device{};
  // Receive counters of frames the controller lost: overruns, FIFO errors
  // and missed frames.
  uint64_t rxOver = 0;
  uint64_t rxFifo = 0;
  uint64_t rxMissed = 0;
  // Frames the controller confirmed as sent.
  uint64_t txPackets = 0;

  uint64_t Lost() const { return rxOver + rxFifo + rxMissed; }
};

// A counter that went back (the driver reloaded) counts from 0.
inline uint64_t Growth(uint64_t before, uint64_t after) {
  return after >= before ? after - before : after;
}

// The controller state as `ip -details link show` names it.
const char* StateName(uint32_t state);
