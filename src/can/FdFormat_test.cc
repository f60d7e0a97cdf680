// SPDX-License-Identifier: MIT
#include "can/FdFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "can/CCanfd.h"
#include "testsupport/ChannelTestSupport.h"
#include "testsupport/FakeSystemCalls.h"

class FdChannelTest : public testing::Test {
 protected:
  void SetUp() override { Fake() = FakeSystem(); }
  CCan Make(int brs) {
    char device[] = "can0";
    return CCan(device, 1, 0, 0, 0, brs);
  }
};

TEST_F(FdChannelTest, ChecksTheMtuAndSwitchesToFdFramesBeforeBinding) {
  CCan channel = Make(0);
  bool opened = false;
  OpenOutput(&channel, &opened);
  EXPECT_TRUE(opened);
  std::vector<std::string> expected = {"socket", "SIOCGIFINDEX", "SIOCGIFMTU",
                                       "CAN_RAW_FD_FRAMES", "bind"};
  expected.insert(expected.end(), kOptionSteps.begin(), kOptionSteps.end());
  EXPECT_EQ(Fake().calls, expected);
  EXPECT_EQ(*Fake().Option("CAN_RAW_FD_FRAMES"), BytesOf(1));
}

TEST_F(FdChannelTest, RefusesInterfacesWithoutFdFrames) {
  for (int mtu : {16, 0, 75, 2061, 65536}) {
    Fake() = FakeSystem();
    Fake().mtu = mtu;
    CCan channel = Make(0);
    bool opened = true;
    EXPECT_EQ(OpenOutput(&channel, &opened),
              "CAN interface is not CAN FD capable - sorry.\n");
    EXPECT_FALSE(opened);
    EXPECT_EQ(Fake().calls.back(), "SIOCGIFMTU");
  }
}

// The CAN XL range of MTUs, 76 to 2060, holds Ethernet's 1500: a CAN
// device is taken, another interface refused as before.
TEST_F(FdChannelTest, TakesCanDevicesOfTheCanXlMtuRange) {
  const struct {
    int mtu;
    unsigned short hardwareType;
    bool opens;
  } rows[] = {{76, 280, true},
              {2060, 280, true},
              {1500, 1, false},
              {2060, 1, false},
              {1500, 280, true}};
  for (const auto& row : rows) {
    Fake() = FakeSystem();
    Fake().mtu = row.mtu;
    Fake().hardwareType = row.hardwareType;
    CCan channel = Make(0);
    bool opened = !row.opens;
    EXPECT_EQ(OpenOutput(&channel, &opened),
              row.opens ? "" : "CAN interface is not CAN FD capable - sorry.\n")
        << row.mtu << " " << row.hardwareType;
    EXPECT_EQ(opened, row.opens);
    EXPECT_EQ(Fake().calls[3], "SIOCGIFHWADDR");
  }
  Fake() = FakeSystem();
  Fake().mtu = 2060;
  Fake().failing = "SIOCGIFHWADDR";
  CCan channel = Make(0);
  bool opened = true;
  EXPECT_EQ(OpenOutput(&channel, &opened),
            "CAN interface is not CAN FD capable - sorry.\n");
}

TEST_F(FdChannelTest, ReportsAFailedMtuQueryOnStandardError) {
  Fake().failing = "SIOCGIFMTU";
  CCan channel = Make(0);
  bool opened = true;
  testing::internal::CaptureStderr();
  EXPECT_EQ(OpenOutput(&channel, &opened), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "SIOCGIFMTU: " + std::string(strerror(ENODEV)) + "\n");
  EXPECT_FALSE(opened);
}

TEST_F(FdChannelTest, ReportsAFailureToEnableFdFrames) {
  Fake().failing = "CAN_RAW_FD_FRAMES";
  CCan channel = Make(0);
  bool opened = true;
  EXPECT_EQ(OpenOutput(&channel, &opened),
            "error when enabling CAN FD support\n");
  EXPECT_EQ(Fake().calls.back(), "CAN_RAW_FD_FRAMES");
}

TEST_F(FdChannelTest, MarksFramesWithTheBitRateSwitchOnly) {
  unsigned char data[64];
  std::fill(std::begin(data), std::end(data), 0xAB);
  for (int brs : {0, 1, 7}) {
    Fake().written.clear();
    CCan channel = Make(brs);
    ASSERT_EQ(channel.Write(standData, 0x12, 12, data), 1);
    canfd_frame expected{};
    expected.can_id = 0x12;
    expected.len = 12;
    expected.flags = brs ? CANFD_BRS : 0;
    std::fill(expected.data, expected.data + 12, 0xAB);
    ASSERT_EQ(Fake().written.size(), 1u);
    EXPECT_EQ(Fake().written[0].size(), 72u);
    EXPECT_EQ(Fake().written[0], BytesOf(expected));
  }
}

TEST_F(FdChannelTest, CarriesSixtyFourBytesAndDropsClassicFrames) {
  unsigned char data[64];
  for (int i = 0; i < 64; ++i) data[i] = static_cast<unsigned char>(i);
  CCan channel = Make(0);
  ASSERT_EQ(channel.Write(expandData, 0x1FFFFFFF, 64, data), 1);
  Fake().reads = {{BytesOf(can_frame{})}, {Fake().written[0]}};
  FrameType type = standData;
  int id = 0;
  int length = 0;
  unsigned char received[64] = {};
  EXPECT_FALSE(channel.Read(&type, &id, &length, received));
  ASSERT_TRUE(channel.Read(&type, &id, &length, received));
  EXPECT_EQ(type, expandData);
  EXPECT_EQ(id, 0x1FFFFFFF);
  EXPECT_EQ(length, 64);
  EXPECT_EQ(std::vector<unsigned char>(received, received + 64),
            std::vector<unsigned char>(data, data + 64));
}
