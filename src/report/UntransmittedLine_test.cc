// SPDX-License-Identifier: MIT
#include "report/UntransmittedLine.h"

#include <gtest/gtest.h>

TEST(UntransmittedLineTest, NamesTheLikelyCause) {
  EXPECT_EQ(UntransmittedLine("can0", 5, true),
            "untransmitted frames:5, which can0 had not sent when the run "
            "ended: no node acknowledged them (is another node on the bus, at "
            "the same bit rate, with termination?)\n");
  EXPECT_EQ(UntransmittedLine("can0", 2, false),
            "untransmitted frames:2, which can0 had not sent when the run "
            "ended: dropped or held by a queue discipline or the driver (tc -s "
            "qdisc show dev can0; ip -details -statistics link show can0)\n");
}
