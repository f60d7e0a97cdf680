// SPDX-License-Identifier: MIT
#include "test/Arguments.h"

#include <gtest/gtest.h>

#include <string>

TEST(ArgumentsTest, DecimalKeepsTheLowThirtyTwoBits) {
  EXPECT_EQ(DecimalArgument("12"), 12);
  EXPECT_EQ(DecimalArgument("  -7xyz"), -7);
  EXPECT_EQ(DecimalArgument("+3"), 3);
  EXPECT_EQ(DecimalArgument("abc"), 0);
  EXPECT_EQ(DecimalArgument(""), 0);
  EXPECT_EQ(DecimalArgument("4294967297"), 1);
  EXPECT_EQ(DecimalArgument("4294967295"), -1);
  EXPECT_EQ(DecimalArgument("2147483648"), -2147483647 - 1);
}

TEST(ArgumentsTest, HexLeavesTheFieldAloneWithoutAHexNumber) {
  uint32_t field = 5;
  for (const char* text : {"7FF", "0x7FF", "7ff", "0X7ff"}) {
    field = 5;
    HexArgument(text, &field);
    EXPECT_EQ(field, 0x7FFu) << text;
  }
  HexArgument("xyz", &field);
  EXPECT_EQ(field, 0x7FFu);
  HexArgument("FFFFFFFF", &field);
  EXPECT_EQ(field, 0xFFFFFFFFu);
}

TEST(ArgumentsTest, CopyTextRefusesWhatDoesNotFit) {
  char field[4] = "ab";
  EXPECT_TRUE(CopyText(field, sizeof field, "xyz"));
  EXPECT_STREQ(field, "xyz");
  EXPECT_FALSE(CopyText(field, sizeof field, "long"));
  EXPECT_STREQ(field, "xyz");
  EXPECT_TRUE(CopyText(field, sizeof field, ""));
  EXPECT_STREQ(field, "");
}
