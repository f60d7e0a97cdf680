// SPDX-License-Identifier: MIT
#include "test/SettingLimits.h"

#include <gtest/gtest.h>

TEST(SettingLimitsTest, PayloadLengthsFollowTheFrameFormat) {
  for (int length = -1; length <= 65; ++length) {
    const bool fd = (length >= 0 && length <= 8) || length == 12 ||
                    length == 16 || length == 20 || length == 24 ||
                    length == 32 || length == 48 || length == 64;
    EXPECT_EQ(IsPayloadLength(length, 64), fd) << length;
    EXPECT_EQ(IsPayloadLength(length, 8), length >= 0 && length <= 8) << length;
  }
  EXPECT_FALSE(IsPayloadLength(255, 64));
}

TEST(SettingLimitsTest, FrameTypesAreZeroToThree) {
  EXPECT_FALSE(IsFrameType(-1));
  EXPECT_TRUE(IsFrameType(0));
  EXPECT_TRUE(IsFrameType(3));
  EXPECT_FALSE(IsFrameType(4));
}
