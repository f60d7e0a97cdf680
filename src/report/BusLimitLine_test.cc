// SPDX-License-Identifier: MIT
#include "report/BusLimitLine.h"

#include <gtest/gtest.h>

#include <string>

#include "testsupport/LinkReplyTesting.h"

TEST(BusLimitTest, SetsTheRunAgainstWhatTheBusCarries) {
  const LinkFacts classic = ControllerFacts();
  const LinkFacts fd = ControllerFacts(1000000, 5000000);
  LinkFacts emulated = classic;
  emulated.timing.nominal.bitrate =
      0;  // what an emulated controller's facts lack
  const FrameBitsRange plain = {{111, 0}, {111, 0}};
  const FrameBitsRange grown = {{111, 0}, {135, 0}};
  const FrameBitsRange switched = {{30, 549}, {30, 549}};
  const std::string classic8 =
      "bus limit of can0:500000 bit/s, 111 bits, 222.0 us a frame, 4504 f/s "
      "at most";
  const std::string grownLimit =
      "bus limit of can0:500000 bit/s, 111 to 135 bits, 222.0 to 270.0 us a "
      "frame, 3703 to 4504 f/s at most";
  const struct {
    LinkFacts facts;
    FrameBitsRange bits;
    int64_t elapsed;  // of 10 frames
    std::string line;
  } rows[] = {
      {classic, plain, 2500, classic8 + "; this run 88% of it\n"},
      {classic, plain, 0, classic8 + "\n"},
      {classic, plain, 1000,
       classic8 +
           "; this run faster: frames waited in the queue, or the controller "
           "does not keep to its bit timing\n"},
      {classic, grown, 3000, grownLimit + "; this run 74% to 90% of it\n"},
      {classic, grown, 2500, grownLimit + "; this run at least 88% of it\n"},
      {emulated, plain, 2500, ""},
      {fd, switched, 2500,
       "bus limit of can0:1000000/5000000 bit/s, 30+549 bits, 139.8 us a "
       "frame, 7153 f/s at most; this run 55% of it\n"},
      {fd,
       {{579, 0}, {579, 0}},
       10000,
       "bus limit of can0:1000000 bit/s, 579 bits, 579.0 us a frame, 1727 f/s "
       "at most; this run 57% of it\n"},
      // Bit-rate switch on a controller without a data bit rate.
      {classic, switched, 2500, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(BusLimitLine("can0", row.facts, row.bits, 10, row.elapsed),
              row.line)
        << row.elapsed;
  }
}
