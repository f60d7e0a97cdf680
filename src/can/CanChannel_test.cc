// SPDX-License-Identifier: MIT
#include "can/CanChannel.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <string>
#include <vector>

#include "can/ClassicFormat.h"
#include "can/FdFormat.h"
#include "testsupport/ChannelTestSupport.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakeSystemCalls.h"

// What both frame formats do alike.
template <class Channel>
class ChannelTest : public testing::Test {
 protected:
  void SetUp() override { Fake() = FakeSystem(); }

  static FakeSystem::Bytes ImageOf(canid_t id, int length,
                                   const std::vector<unsigned char>& data) {
    return ImageBytes<typename Channel::Image>(id, length, data);
  }

  Channel Make(const char* device = "can0", int countOnce = 1, int filter = 0,
               int loopback = 0, int rcvOwn = 0) {
    std::string name = device;
    return Channel(name.data(), countOnce, filter, loopback, rcvOwn);
  }
};

using Channels =
    testing::Types<CanChannel<FdFormat>, CanChannel<ClassicFormat>>;
TYPED_TEST_SUITE(ChannelTest, Channels, );

TYPED_TEST(ChannelTest, EachSetUpStepStopsTheOpenAtItsFailure) {
  const std::vector<std::pair<std::string, std::string>> steps = {
      {"socket", "socket PF_CAN failed"},
      {"SIOCGIFINDEX", TypeParam::FrameFormat::kIndexFailure},
      {"bind", "bind failed"},
      {"SO_SNDTIMEO", "Can't Set send tmeout"},
      {"SO_RCVTIMEO", "Can't Set receive tmeout"},
      {"CAN_RAW_FILTER", "Can't Set device filter"},
      {"CAN_RAW_LOOPBACK", "Failed to set loopback mode"},
      {"CAN_RAW_RECV_OWN_MSGS", "Failed to set receive own message mode"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.first);
    Fake() = FakeSystem();
    Fake().failing = step.first;
    auto channel = this->Make();
    bool opened = true;
    EXPECT_EQ(OpenOutput(&channel, &opened), step.second + "\n");
    EXPECT_FALSE(opened);
    ASSERT_FALSE(Fake().calls.empty());
    EXPECT_EQ(Fake().calls.back(), step.first);
  }
}

TYPED_TEST(ChannelTest, OpensSilentlyAndEndsWithTheSocketOptions) {
  auto channel = this->Make();
  bool opened = false;
  EXPECT_EQ(OpenOutput(&channel, &opened), "");
  EXPECT_TRUE(opened);
  EXPECT_EQ(channel.m_socket, Fake().socketResult);
  EXPECT_EQ(Fake().interfaceName, "can0");
  const std::vector<std::string> tail(Fake().calls.end() - 6,
                                      Fake().calls.end());
  std::vector<std::string> expected = {"bind"};
  expected.insert(expected.end(), kOptionSteps.begin(), kOptionSteps.end());
  EXPECT_EQ(tail, expected);

  sockaddr_can address{};
  address.can_family = AF_CAN;
  address.can_ifindex = Fake().ifindex;
  EXPECT_EQ(Fake().boundAddress, BytesOf(address));
}

TYPED_TEST(ChannelTest, KeepsTheSocketResultWhenItFails) {
  Fake().failing = "socket";
  Fake().socketResult = -1;
  auto channel = this->Make();
  bool opened = true;
  OpenOutput(&channel, &opened);
  EXPECT_EQ(channel.m_socket, -1);
}

TYPED_TEST(ChannelTest, HandsTheOptionValuesOverUnchanged) {
  const timeval fiveSeconds{5, 0};
  for (int filter : {0, 1, 2}) {
    SCOPED_TRACE(filter);
    Fake() = FakeSystem();
    auto channel = this->Make("can0", 1, filter, 2, -3);
    bool opened = false;
    OpenOutput(&channel, &opened);
    ASSERT_TRUE(opened);
    EXPECT_EQ(*Fake().Option("SO_SNDTIMEO"), BytesOf(fiveSeconds));
    EXPECT_EQ(*Fake().Option("SO_RCVTIMEO"), BytesOf(fiveSeconds));
    const can_filter rule = filter ? can_filter{0x5A, 0xFF} : can_filter{0, 0};
    EXPECT_EQ(*Fake().Option("CAN_RAW_FILTER"), BytesOf(rule));
    EXPECT_EQ(*Fake().Option("CAN_RAW_LOOPBACK"), BytesOf(2));
    EXPECT_EQ(*Fake().Option("CAN_RAW_RECV_OWN_MSGS"), BytesOf(-3));
  }
}

TYPED_TEST(ChannelTest, UsesInterfaceNamesThatFitAndRefusesLongerOnes) {
  auto fits = this->Make("abcdefghijklmno");
  bool opened = false;
  OpenOutput(&fits, &opened);
  EXPECT_TRUE(opened);
  EXPECT_EQ(Fake().interfaceName, "abcdefghijklmno");

  for (const char* name :
       {"abcdefghijklmnop", "a-name-far-too-long-for-any-interface"}) {
    SCOPED_TRACE(name);
    Fake() = FakeSystem();
    auto tooLong = this->Make(name);
    EXPECT_EQ(std::string(tooLong.m_device), std::string(name).substr(0, 19));
    EXPECT_EQ(OpenOutput(&tooLong, &opened),
              std::string(TypeParam::FrameFormat::kIndexFailure) + "\n");
    EXPECT_FALSE(opened);
    EXPECT_EQ(Fake().calls, std::vector<std::string>{"socket"});
  }
}

TYPED_TEST(ChannelTest, SetsTheKindFlagsAndLeavesTheIdentifierUncut) {
  auto channel = this->Make();
  unsigned char data[64] = {1, 2, 3};
  const std::vector<std::pair<FrameType, canid_t>> kinds = {
      {standData, 0x7FF},
      {standRemote, 0x40000123},
      {expandData, 0x80000123},
      {expandRemote, 0xC0000123}};
  for (const auto& kind : kinds) {
    Fake().written.clear();
    const int id = kind.first == standData ? 0x7FF : 0x123;
    EXPECT_EQ(channel.Write(kind.first, id, 3, data), 1);
    ASSERT_EQ(Fake().written.size(), 1u);
    EXPECT_EQ(Fake().written[0], this->ImageOf(kind.second, 3, {1, 2, 3}));
  }
  Fake().written.clear();
  channel.Write(standData, 0x12345678, 0, data);
  EXPECT_EQ(Fake().written[0], this->ImageOf(0x12345678, 0, {}));
}

TYPED_TEST(ChannelTest, WritesTheFrameCountOnceTimesAndCountsWholeWrites) {
  unsigned char data[64] = {};
  auto channel = this->Make("can0", 3);
  EXPECT_EQ(channel.Write(standData, 1, 8, data), 3);
  EXPECT_EQ(Fake().written.size(), 3u);

  Fake().writeResults = {
      -1, 5, static_cast<ssize_t>(sizeof(typename TypeParam::Image))};
  EXPECT_EQ(channel.Write(standData, 1, 8, data), 1);

  for (int countOnce : {0, -2}) {
    Fake().written.clear();
    auto idle = this->Make("can0", countOnce);
    EXPECT_EQ(idle.Write(standData, 1, 8, data), 0);
    EXPECT_TRUE(Fake().written.empty());
  }
}

TYPED_TEST(ChannelTest, SendsNothingForALengthBeyondThePayload) {
  unsigned char data[128] = {};
  auto channel = this->Make();
  for (int length : {TypeParam::kPayload + 1, -1, 255, 256}) {
    EXPECT_EQ(channel.Write(standData, 1, length, data), 0);
    EXPECT_EQ(channel.Write(5, standData, 1, length, data), 0);
  }
  EXPECT_TRUE(Fake().written.empty());
}

TYPED_TEST(ChannelTest, SecondWriteRetriesUntilEnoughFramesWentOut) {
  unsigned char data[64] = {};
  auto channel = this->Make("can0", 7);
  Fake().writeResults = {-1, -1, 3, -1};
  EXPECT_EQ(channel.Write(2, standData, 1, 8, data), 2);
  EXPECT_EQ(Fake().written.size(), 6u);
  EXPECT_EQ(channel.Write(0, standData, 1, 8, data), 0);
  EXPECT_EQ(channel.Write(-4, standData, 1, 8, data), 0);
  EXPECT_EQ(Fake().written.size(), 6u);
}

TYPED_TEST(ChannelTest, SecondWriteGivesUpWhenTheSocketRefusesForFiveSeconds) {
  unsigned char data[64] = {};
  auto channel = this->Make();
  Fake().writeResults = {
      static_cast<ssize_t>(sizeof(typename TypeParam::Image)), -1};
  Fake().afterWrite = [] { Fake().writeResults.push_back(-1); };
  SetFakeClockStep(100000);  // each failed write "takes" 0.1 s
  EXPECT_EQ(channel.Write(3, standData, 1, 8, data), 1);
  SetFakeClockStep(0);
  EXPECT_EQ(Fake().written.size(), 51u);  // one accepted, 50 in 5 s refused
}

TYPED_TEST(ChannelTest, ReadsKindIdentifierLengthAndPayload) {
  auto channel = this->Make();
  Fake().reads = {{this->ImageOf(CAN_EFF_FLAG | 0x123, 2, {0xAB, 1})},
                  {this->ImageOf(CAN_RTR_FLAG | 0x5A, 0, {})},
                  {this->ImageOf(CAN_ERR_FLAG | 0x7, 1, {9})}};
  FrameType type = standData;
  int id = 0;
  int length = 0;
  unsigned char data[TypeParam::kPayload] = {};
  ASSERT_TRUE(channel.Read(&type, &id, &length, data));
  EXPECT_EQ(type, expandData);
  EXPECT_EQ(id, 0x123);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(data[0], 0xAB);
  EXPECT_EQ(data[1], 1);
  ASSERT_TRUE(channel.Read(&type, &id, &length, data));
  EXPECT_EQ(type, standRemote);
  EXPECT_EQ(id, 0x5A);
  EXPECT_EQ(length, 0);
  ASSERT_TRUE(channel.Read(&type, &id, &length, data));
  EXPECT_EQ(id, static_cast<int>(CAN_ERR_FLAG | 0x7));
}

TYPED_TEST(ChannelTest, StoresNothingFromAFailedOrMalformedRead) {
  auto channel = this->Make();
  typename TypeParam::Image oversized{};
  oversized.len = TypeParam::kPayload + 1;
  FakeSystem::Bytes shortImage = this->ImageOf(0x1, 1, {1});
  shortImage.pop_back();
  Fake().reads = {{BytesOf(oversized)}, {shortImage}};
  FrameType type = expandRemote;
  int id = -5;
  int length = -6;
  unsigned char data[TypeParam::kPayload + 1] = {};
  data[0] = 0xEE;
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_FALSE(channel.Read(&type, &id, &length, data));
  }
  EXPECT_EQ(type, expandRemote);
  EXPECT_EQ(id, -5);
  EXPECT_EQ(length, -6);
  EXPECT_EQ(data[0], 0xEE);
}

TYPED_TEST(ChannelTest, DiscardsWhatIsQueuedForAtMostATenthOfASecond) {
  auto channel = this->Make();
  // Each clock reading 10 ms on: the tenth read is the last one in time.
  SetFakeClockStep(10000);
  Fake().reads.assign(50, {this->ImageOf(0x1, 1, {1})});
  EXPECT_EQ(channel.Discard(), 9);
  EXPECT_EQ(Fake().reads.size(), 41u);
  SetFakeClockStep(0);
  EXPECT_EQ(channel.Discard(), 41);
}

TYPED_TEST(ChannelTest, DiscardingReadTellsWholeImagesOnly) {
  auto channel = this->Make();
  FakeSystem::Bytes shortImage = this->ImageOf(0x1, 1, {1});
  shortImage.pop_back();
  Fake().reads = {{this->ImageOf(0x1, 1, {1})}, {shortImage}};
  EXPECT_TRUE(channel.Read());
  EXPECT_FALSE(channel.Read());
  EXPECT_FALSE(channel.Read());
  EXPECT_TRUE(channel.Close());
}
