// SPDX-License-Identifier: MIT
#include "report/UnreadLine.h"

#include <gtest/gtest.h>

TEST(UnreadLineTest, CountsTheFramesLeftInTheSocket) {
  EXPECT_EQ(UnreadLine("can1", 0), "");
  EXPECT_EQ(UnreadLine("can1", 2),
            "unread frames:2, which reached can1 after the count ended\n");
  EXPECT_EQ(UnreadLine("vxcan1", INT64_MAX),
            "unread frames:9223372036854775807, which reached vxcan1 after "
            "the count ended\n");
}
