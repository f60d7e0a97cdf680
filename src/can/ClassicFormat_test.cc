// SPDX-License-Identifier: MIT
#include "can/ClassicFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "can/CCan.h"
#include "testsupport/ChannelTestSupport.h"
#include "testsupport/FakeSystemCalls.h"

class ClassicChannelTest : public testing::Test {
 protected:
  void SetUp() override { Fake() = FakeSystem(); }
  char m_name[5] = "can0";
};

TEST_F(ClassicChannelTest, BindsWithoutAskingForTheMtu) {
  Fake().mtu = 72;
  CCan channel(m_name, 1, 0, 1, 0);
  bool opened = false;
  OpenOutput(&channel, &opened);
  EXPECT_TRUE(opened);
  std::vector<std::string> expected = {"socket", "SIOCGIFINDEX", "bind"};
  expected.insert(expected.end(), kOptionSteps.begin(), kOptionSteps.end());
  EXPECT_EQ(Fake().calls, expected);
}

TEST_F(ClassicChannelTest, WritesSixteenByteImagesOfAtMostEightBytes) {
  unsigned char data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  CCan channel(m_name, 1, 0, 1, 0);
  ASSERT_EQ(channel.Write(standRemote, 0x7FF, 8, data), 1);
  EXPECT_EQ(Fake().written[0].size(), 16u);
  EXPECT_EQ(Fake().written[0], ImageBytes<can_frame>(CAN_RTR_FLAG | 0x7FF, 8,
                                                     {1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(channel.Write(standData, 1, 9, data), 0);
  EXPECT_EQ(Fake().written.size(), 1u);
}
