// SPDX-License-Identifier: MIT
#include "frame/Mark.h"

#include <gtest/gtest.h>
#include <linux/can.h>

#include <random>

// The man page's examples, which other tools build marks from.
TEST(MarkTest, MarksFramesAsTheManPageSays) {
  EXPECT_EQ(MarkWord(MarkFrameWord(0x123, 8, false, 0), 5, 0x12345, false),
            0x3160012345000005u);
  const uint64_t word =
      MarkWord(MarkFrameWord(CAN_EFF_FLAG | 0x1ABCDEF, 12, true, 0x5A),
               20000000, 0x7ABCD, true);
  EXPECT_EQ(word, 0xFD271FABCD312D00u);
  EXPECT_EQ(MarkNumberOf(word), 20000000u & kMarkNumberMask);
  EXPECT_EQ(MarkTagOf(word), 0x7ABCDu);
  EXPECT_TRUE(MarkLastOf(word));
}

// A bit changed anywhere in what the frame word covers always changes the
// check, whatever the frame: the product of the change with K2 has neither
// all 0s nor all 1s on top.
TEST(MarkTest, CatchesEveryBitChangedInTheFrameWord) {
  std::mt19937_64 random(42);
  const int covered[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                         13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25,
                         26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38,
                         39, 40, 48, 49, 50, 51, 52, 53, 54, 55};
  for (int i = 0; i < 2000; ++i) {
    const uint64_t frame = random() & (kMarkHeadMask | uint64_t{0xFF} << 48);
    const uint64_t run = random();
    for (const int bit : covered) {
      EXPECT_NE(MarkMix(frame, run), MarkMix(frame ^ uint64_t{1} << bit, run))
          << bit;
    }
  }
}
