// SPDX-License-Identifier: MIT
// The build gives every target, 32-bit ARM included, 64-bit time and file
// offsets: the stopwatch and the socket time-outs hold past 2038, and an
// output file may grow past 2 GiB.
#include <gtest/gtest.h>
#include <sys/time.h>
#include <sys/types.h>

#include <ctime>

TEST(TargetTest, TimeAndFileOffsetsAre64BitsWide) {
  EXPECT_EQ(sizeof(time_t), 8u);
  EXPECT_EQ(sizeof(timeval::tv_sec), 8u);
  EXPECT_EQ(sizeof(off_t), 8u);
}
