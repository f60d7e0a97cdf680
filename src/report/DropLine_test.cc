// SPDX-License-Identifier: MIT
#include "report/DropLine.h"

#include <gtest/gtest.h>

TEST(DropLineTest, CountsTheFramesTheSocketDropped) {
  EXPECT_EQ(DropLine("can1", 0), "");
  EXPECT_EQ(DropLine("can1", 5),
            "dropped frames:5, which reached can1 while the receive buffer "
            "was full (read faster, with display none or file, or raise "
            "net.core.rmem_default)\n");
}
