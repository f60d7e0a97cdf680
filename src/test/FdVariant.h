// SPDX-License-Identifier: MIT
#pragma once

#include "can/FdFormat.h"
#include "test/Arguments.h"
#include "test/CanTester.h"
#include "test/ReceiveTiming.h"
#include "test/UsageText.h"

// What the CAN FD tester does differently.
struct FdVariant {
  using Channel = CanChannel<FdFormat>;

  // Its options include those only canfd_tester has (see OptionTable.h).
  static constexpr bool kFd = true;
  static constexpr const char* kProgram = "canfd_tester";
  static constexpr VariantTexts kTexts{
      " [BRS]", "0~8, 12, 16, 20, 24, 32, 48, 64", "count"};

  static bool TakeOption(int code, FdFormat* format) {
    if (code != 'B') return false;
    format->m_brs = 1;
    return true;
  }

  // Device, filter, loopback, receive-own and bit-rate switch.
  static constexpr int kMaxArgc = 6;
  static constexpr int kPositionalLoopback = 0;
  static FdFormat PositionalFormat(int argc, char** argv) {
    return FdFormat(argc > 5 ? DecimalArgument(argv[5]) : 1);
  }

  // Rates only over a measured time; ends at the first read after Ctrl-C.
  static constexpr bool kRateAtAnyTime = false;
  static constexpr bool kPollAfterFrame = true;
  using ReceiveClock = FirstToLatestFrame;
};

extern template class CanTester<FdVariant>;
