// SPDX-License-Identifier: MIT
#pragma once

// Kind of a CAN frame. Bit 1 selects the 29-bit identifier, bit 0 the remote
// request; values outside 0..3 only come from unchecked callers.
enum FrameType : int {
  standData = 0,
  standRemote = 1,
  expandData = 2,
  expandRemote = 3,
};

constexpr int kExtendedKind = expandData;
constexpr int kRemoteKind = standRemote;
