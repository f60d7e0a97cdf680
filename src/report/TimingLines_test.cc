// SPDX-License-Identifier: MIT
#include "report/TimingLines.h"

#include <gtest/gtest.h>

#include "testsupport/LinkReplyTesting.h"

TEST(TimingLinesTest, TellsTheFactsInAFixedOrder) {
  EXPECT_EQ(TimingLines("can0", FdControllerFacts().timing),
            "timing of can0: clock 80000000 Hz\n"
            "timing of can0: bit rate 500000 bit/s, sample point 87.5%, time "
            "quantum 25 ns, SJW 10\n"
            "timing of can0: data bit rate 2000000 bit/s, sample point "
            "75.0%, SJW 5\n"
            "timing of can0: TDC auto, tdcv 13, tdco 30, tdcf 0\n"
            "timing of can0: modes FD TDC-AUTO\n");
  LinkTiming emulated;
  emulated.tdc.present = true;
  emulated.ctrlmode = CAN_CTRLMODE_LOOPBACK | CAN_CTRLMODE_ONE_SHOT;
  EXPECT_EQ(TimingLines("fd0", emulated),
            "timing of fd0: clock not told\n"
            "timing of fd0: bit rate none (no bit timing)\n"
            "timing of fd0: data bit rate none\n"
            "timing of fd0: TDC off\n"
            "timing of fd0: modes LOOPBACK ONE-SHOT\n");
}

// Printed when asked for or after trouble; asked for of an interface that
// is no controller, one line says so.
TEST(TimingLinesTest, ComesWhenAskedForOrAfterTrouble) {
  const LinkFacts facts = FdControllerFacts();
  const std::string lines = TimingLines("can0", facts.timing);
  EXPECT_EQ(TimingReport("can0", facts, false, false), "");
  EXPECT_EQ(TimingReport("can0", facts, true, false), lines);
  EXPECT_EQ(TimingReport("can0", facts, false, true), lines);
  EXPECT_EQ(TimingReport("vcan0", LinkFacts(), false, true), "");
  EXPECT_EQ(TimingReport("vcan0", LinkFacts(), true, false),
            "timing of vcan0: none (no CAN controller, or the kernel did not "
            "tell)\n");
}
