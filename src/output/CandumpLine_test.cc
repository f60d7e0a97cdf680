// SPDX-License-Identifier: MIT
#include "output/CandumpLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

template <class Image>
std::string LineOf(canid_t id, std::vector<unsigned char> data,
                   unsigned char extra = 0, timeval stamp = {1700000000, 5}) {
  Image image{};
  image.can_id = id;
  image.len = static_cast<__u8>(data.size());
  std::copy(data.begin(), data.end(), image.data);
  if constexpr (sizeof image.data == CANFD_MAX_DLEN) {
    image.flags = extra;
  } else {
    image.len8_dlc = extra;
  }
  char line[kCandumpLineSize];
  CandumpLines lines("can0");
  return std::string(line, lines.Line(line, stamp, image));
}

}  // namespace

// The lines candump -L writes for the same frames.
TEST(CandumpLineTest, WritesFramesAsCandumpLogsThem) {
  const std::string at = "(1700000000.000005) can0 ";
  EXPECT_EQ(LineOf<can_frame>(0x123, {0xDE, 0xAD, 0xBE, 0xEF}),
            at + "123#DEADBEEF\n");
  EXPECT_EQ(LineOf<can_frame>(0x5A, {}), at + "05A#\n");
  EXPECT_EQ(LineOf<can_frame>(CAN_EFF_FLAG | 0x1ABCDEF0, {1}),
            at + "1ABCDEF0#01\n");
  EXPECT_EQ(LineOf<can_frame>(CAN_RTR_FLAG | 0x7FF, {}), at + "7FF#R\n");
  EXPECT_EQ(LineOf<can_frame>(CAN_EFF_FLAG | CAN_RTR_FLAG | 1,
                              std::vector<unsigned char>(3)),
            at + "00000001#R3\n");
  EXPECT_EQ(LineOf<can_frame>(0x1, std::vector<unsigned char>(8, 0xA5), 0xF),
            at + "001#A5A5A5A5A5A5A5A5_F\n");
  EXPECT_EQ(LineOf<can_frame>(CAN_RTR_FLAG | 1, std::vector<unsigned char>(8),
                              9),
            at + "001#R89\n");
  EXPECT_EQ(LineOf<canfd_frame>(0x123, {0x5A, 0x1B}, CANFD_BRS | CANFD_FDF),
            at + "123##55A1B\n");
  EXPECT_EQ(LineOf<canfd_frame>(CAN_EFF_FLAG | 0x42, {}, 0), at + "00000042##0\n");
  EXPECT_EQ(LineOf<canfd_frame>(0x7FF, std::vector<unsigned char>(64, 0xFF),
                                CANFD_ESI),
            at + "7FF##2" + std::string(128, 'F') + "\n");
  // A remote flag on a CAN FD frame is not shown, as candump does not.
  EXPECT_EQ(LineOf<canfd_frame>(CAN_RTR_FLAG | 0x1, {7}), at + "001##007\n");
  EXPECT_EQ(LineOf<can_frame>(0x1, {}, 0, {12345678901, 999999}),
            "(12345678901.999999) can0 001#\n");
  // The seconds kept from one frame to the next, until they change.
  CandumpLines lines("vcan10");
  can_frame frame{};
  char line[kCandumpLineSize];
  for (const timeval stamp : {timeval{5, 1}, timeval{5, 20}, timeval{6, 0}}) {
    const size_t size = lines.Line(line, stamp, frame);
    EXPECT_EQ(std::string(line, size),
              "(000000000" + std::to_string(stamp.tv_sec) + "." +
                  (stamp.tv_usec == 1 ? "000001" : stamp.tv_usec ? "000020" : "000000") +
                  ") vcan10 000#\n");
  }
}
