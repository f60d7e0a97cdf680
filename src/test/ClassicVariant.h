// SPDX-License-Identifier: MIT
#pragma once

#include "can/ClassicFormat.h"
#include "test/CanTester.h"
#include "test/ReceiveTiming.h"
#include "test/UsageText.h"

// What the classic CAN tester does differently.
struct ClassicVariant {
  using Channel = CanChannel<ClassicFormat>;

  static constexpr bool kFd = false;
  static constexpr const char* kProgram = "can_tester";
  static constexpr VariantTexts kTexts{"", "0~8", "Count"};

  static bool TakeOption(int, ClassicFormat*) { return false; }

  // Device, filter, loopback and receive-own; loopback on unless given.
  static constexpr int kMaxArgc = 5;
  static constexpr int kPositionalLoopback = 1;
  static ClassicFormat PositionalFormat(int, char**) { return {}; }

  // Rates over any time, from the first frame to the end of the run; after
  // Ctrl-C, reads on while frames are waiting (ReceiveRun.h).
  static constexpr bool kRateAtAnyTime = true;
  static constexpr bool kPollAfterFrame = false;
  using ReceiveClock = FirstFrameToEnd;
};

extern template class CanTester<ClassicVariant>;
