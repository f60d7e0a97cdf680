// SPDX-License-Identifier: MIT
#include "can/FrameBits.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Case {
  const char* name;
  bool fd;
  FrameType type;
  uint32_t id;
  std::vector<unsigned char> data;
  bool brs;
  int nominal;
  int dataPhase;
};

// Stuff bits counted by hand unless said otherwise.
const std::vector<Case> kCases = {
    // 0 01010101010 000 1000 0101…: no five equal bits up to the CRC's end.
    {"classic 8 bytes, no stuff bits", false, standData, 0x2AA,
     std::vector<unsigned char>(8, 0x55), false, 111, 0},
    // 34 dominant bits, the CRC of zeros being zero: 6 stuff bits.
    {"classic all dominant", false, standData, 0, {}, false, 53, 0},
    // 2 stuff bits in the identifier, 12 in the data, 1 in the CRC (that
    // one from a separate script).
    {"classic all recessive", false, standData, 0x7FF,
     std::vector<unsigned char>(8, 0xFF), false, 126, 0},
    // DLC 4, no data field; none in the CRC (from a separate script).
    {"classic remote", false, standRemote, 0x2AA, {1, 2, 3, 4}, false, 47, 0},
    {"FD 64 bytes with BRS, no dynamic stuff bits", true, standData, 0x555,
     std::vector<unsigned char>(64, 0x55), true, 30, 549},
    {"FD 64 bytes without BRS", true, standData, 0x555,
     std::vector<unsigned char>(64, 0x55), false, 579, 0},
    // Two stuff bits in the 14 dominant bits up to IDE, one after the
    // five of res, BRS, ESI and the DLC's first two; CRC-17.
    {"FD all dominant", true, standData, 0, {}, false, 65, 0},
    // With BRS recessive the third falls after ESI and the DLC.
    {"FD all dominant with BRS", true, standData, 0, {}, true, 32, 33},
    // 9 bytes go out as 12, the three of padding dominant: 4 stuff bits.
    {"FD length rounded up", true, standData, 0x555,
     std::vector<unsigned char>(9, 0x55), true, 30, 132},
    // One stuff bit after ESI and the DLC.
    {"FD extended", true, expandData, 0x15555555, {}, true, 49, 33},
};

TEST(FrameBitsTest, CountsEveryBitOfAFrame) {
  for (const Case& c : kCases) {
    const int length = static_cast<int>(c.data.size());
    const FrameBits bits =
        c.fd ? FdFrameBits(c.type, c.id, length, c.data.data(), c.brs)
             : ClassicFrameBits(c.type, c.id, length, c.data.data());
    EXPECT_EQ(bits.nominal, c.nominal) << c.name;
    EXPECT_EQ(bits.data, c.dataPhase) << c.name;
  }
}

TEST(FrameBitsTest, TimesTheWorkedExamples) {
  const std::vector<unsigned char> data(64, 0x55);
  EXPECT_EQ(
      FrameNanos(ClassicFrameBits(standData, 0x2AA, 8, data.data()), 500000, 0),
      222000);
  EXPECT_EQ(FrameNanos(FdFrameBits(standData, 0x555, 64, data.data(), true),
                       1000000, 5000000),
            139800);
  EXPECT_EQ(FrameNanos({30, 549}, 0, 0), 0);
}

// Every frame lies within the range of its kind and length; the range's ends
// are the frame without stuff bits and the worst case the format allows.
TEST(FrameBitsTest, RangesHoldEveryFrame) {
  const FrameBitsRange classic = ClassicFrameBitsRange(standData, 8);
  EXPECT_EQ(classic.fewest.nominal, 111);
  EXPECT_EQ(classic.most.nominal, 111 + 24);
  const FrameBitsRange fd = FdFrameBitsRange(standData, 64, true);
  EXPECT_EQ(fd.fewest.nominal, 30);
  EXPECT_EQ(fd.fewest.data, 549);
  EXPECT_EQ(fd.most.nominal, 30 + 3);
  EXPECT_EQ(fd.most.data, 549 + 133 - 3);
  for (const FrameType type : {standData, expandData}) {
    for (uint32_t id = 0; id < 0x800; id += 7) {
      unsigned char data[64];
      for (unsigned byte = 0; byte < 64; ++byte) {
        data[byte] = static_cast<unsigned char>((id * 37 + byte) >> (byte % 5));
      }
      for (const int length : {0, 3, 8}) {
        const FrameBits bits = ClassicFrameBits(type, id, length, data);
        const FrameBitsRange range = ClassicFrameBitsRange(type, length);
        EXPECT_GE(bits.nominal, range.fewest.nominal);
        EXPECT_LE(bits.nominal, range.most.nominal);
      }
      for (const int length : {0, 8, 20, 64}) {
        const FrameBits bits = FdFrameBits(type, id, length, data, true);
        const FrameBitsRange range = FdFrameBitsRange(type, length, true);
        EXPECT_GE(FrameNanos(bits, 1000000, 5000000),
                  FrameNanos(range.fewest, 1000000, 5000000));
        EXPECT_LE(FrameNanos(bits, 1000000, 5000000),
                  FrameNanos(range.most, 1000000, 5000000));
      }
    }
  }
}

}  // namespace
