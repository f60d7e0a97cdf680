// SPDX-License-Identifier: MIT
#include "can/ErrorFrames.h"

#include <gtest/gtest.h>
#include <linux/can/error.h>
#include <linux/can/raw.h>

#include <cstddef>
#include <string>
#include <vector>

#include "testsupport/FakeSystemCalls.h"

namespace {

FakeSystem::ErrorArrival Arrival(canid_t id, uint32_t drops = 0) {
  can_frame frame{};
  frame.can_id = id;
  return {BytesOf(frame), drops};
}

}  // namespace

// No data frames, every error class, its own drops; bound to the interface.
TEST(ErrorFramesTest, OpensASocketForErrorFramesOnly) {
  Fake() = FakeSystem();
  ErrorFrames errors(4, true);
  EXPECT_TRUE(errors.Open());
  EXPECT_EQ(Fake().calls, (std::vector<std::string>{"socket", "CAN_RAW_FILTER",
                                                    "CAN_RAW_ERR_FILTER",
                                                    "SO_RXQ_OVFL", "bind"}));
  EXPECT_TRUE(Fake().Option("CAN_RAW_FILTER")->empty());
  EXPECT_EQ(*Fake().Option("CAN_RAW_ERR_FILTER"),
            BytesOf(can_err_mask_t{CAN_ERR_MASK}));
  EXPECT_EQ(Fake().boundAddress[offsetof(sockaddr_can, can_ifindex)], 4);
  Fake() = FakeSystem();
  Fake().failing = "bind";
  EXPECT_FALSE(ErrorFrames(4, true).Open());
  EXPECT_EQ(Fake().calls.back(), "close");
}

// Each drain reads what is queued, at most kMostPerDrain frames; the
// drops that came with the frames, or that the kernel counts since, make
// the counts lower bounds.
TEST(ErrorFramesTest, DrainsWhatIsQueuedAndCountsItsDrops) {
  Fake() = FakeSystem();
  ErrorFrames errors(4, true);
  Fake().errorFrames = {Arrival(CAN_ERR_FLAG | CAN_ERR_BUSOFF), Arrival(0x123),
                        Arrival(CAN_ERR_FLAG | CAN_ERR_ACK, 2)};
  ErrorCounts counts = errors.Drain();
  EXPECT_EQ(counts.frames, 2u);
  EXPECT_EQ(counts.busOff, 1u);
  EXPECT_EQ(counts.noAck, 1u);
  EXPECT_EQ(counts.dropped, 2u);
  Fake().errorFrames.assign(ErrorFrames::kMostPerDrain + 1,
                            Arrival(CAN_ERR_FLAG | CAN_ERR_ACK, 2));
  Fake().drops = 9;
  counts = errors.Drain();
  EXPECT_EQ(counts.noAck, 1u + ErrorFrames::kMostPerDrain);
  EXPECT_EQ(counts.dropped, 9u);
  EXPECT_EQ(Fake().errorFrames.size(), 1u);
}
