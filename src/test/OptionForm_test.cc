// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <linux/can.h>

#include <string>
#include <vector>

#include "testsupport/FakeSystemCalls.h"
#include "testsupport/TesterHarness.h"

template <class Variant>
class OptionFormTest : public testing::Test {
 protected:
  TesterHarness<Variant> m_run;
  typename TesterHarness<Variant>::Tester& Tester() { return m_run.tester; }
};
TYPED_TEST_SUITE(OptionFormTest, Variants, );

using Words = std::vector<std::string>;

TYPED_TEST(OptionFormTest, NoOptionsGiveAReceiveRunOnCan0) {
  for (const Words& words : {Words{}, Words{"-"}}) {
    TesterHarness<TypeParam> run;
    ASSERT_TRUE(run.Init(words));
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Fake().interfaceName, "can0");
    EXPECT_EQ(run.tester.m_model, 0);
    EXPECT_EQ(run.tester.m_showModel, 0);
    EXPECT_EQ(run.tester.m_dlc, 8);
    EXPECT_EQ(run.tester.m_can->m_countOnce, 1);
    EXPECT_EQ(run.template Option<can_filter>("CAN_RAW_FILTER").can_mask, 0u);
    EXPECT_EQ(run.template Option<int>("CAN_RAW_LOOPBACK"), 0);
    EXPECT_EQ(run.template Option<int>("CAN_RAW_RECV_OWN_MSGS"), 0);
  }
}

TYPED_TEST(OptionFormTest, EveryOptionReachesItsSetting) {
  ASSERT_TRUE(
      this->m_run.Init({"-D",    "vcan3", "-flo", "-w", "-F", "3",  "-s",  "5",
                        "-t",    "10",    "-c3",  "-C", "2",  "-i", "7FF", "-d",
                        "0x1AB", "-g",    "-S",   "1",  "-p", "out"}));
  auto& t = this->Tester();
  EXPECT_STREQ(t.m_device, "vcan3");
  EXPECT_EQ(Fake().interfaceName, "vcan3");
  EXPECT_EQ(t.m_model, 1);
  EXPECT_EQ(t.m_frameType, expandRemote);
  EXPECT_EQ(t.m_dlc, 5);
  EXPECT_EQ(t.m_sleepTime, 10);
  EXPECT_EQ(t.m_can->m_countOnce, 3);
  EXPECT_EQ(t.m_count, 2);
  EXPECT_EQ(t.m_id, 0x7FFu);
  EXPECT_EQ(t.m_data, 0x1ABu);
  EXPECT_EQ(t.m_grow, 1);
  EXPECT_EQ(t.m_showModel, 1);
  EXPECT_STREQ(t.m_path, "out");
  const can_filter filter =
      this->m_run.template Option<can_filter>("CAN_RAW_FILTER");
  EXPECT_EQ(filter.can_id, 0x5Au);
  EXPECT_EQ(filter.can_mask, 0xFFu);
  EXPECT_EQ(this->m_run.template Option<int>("CAN_RAW_LOOPBACK"), 1);
  EXPECT_EQ(this->m_run.template Option<int>("CAN_RAW_RECV_OWN_MSGS"), 1);
}

TYPED_TEST(OptionFormTest, LongOptionsAndTheirPrefixes) {
  ASSERT_TRUE(this->m_run.Init(
      {"--device=vcan1", "--filter",   "--loop",   "--rcvown", "--write",
       "--frametype",    "2",          "--size=1", "--time",   "4",
       "--countonce",    "6",          "--count",  "5",        "--id=7ff",
       "--data",         "55",         "--grow",   "--show",   "2",
       "--path",         "frames.txt", "--fram",   "1"}));
  auto& t = this->Tester();
  EXPECT_STREQ(t.m_device, "vcan1");
  EXPECT_EQ(t.m_frameType, standRemote);
  EXPECT_EQ(t.m_dlc, 1);
  EXPECT_EQ(t.m_sleepTime, 4);
  EXPECT_EQ(t.m_can->m_countOnce, 6);
  EXPECT_EQ(t.m_count, 5);
  EXPECT_EQ(t.m_id, 0x7FFu);
  EXPECT_EQ(t.m_data, 0x55u);
  EXPECT_EQ(t.m_showModel, 2);
  EXPECT_STREQ(t.m_path, "frames.txt");
}

TYPED_TEST(OptionFormTest, TakesOddButAcceptedValues) {
  struct Case {
    Words words;
    int countOnce, dlc, frameType, count, show;
    uint32_t id;
  };
  const std::vector<Case> cases = {
      {{"-c", "1"}, 1, 8, 0, 0, 0, 0},
      {{"-c", "4294967297"}, 1, 8, 0, 0, 0, 0},
      {{"-s", "abc"}, 1, 0, 0, 0, 0, 0},
      {{"-F", "abc"}, 1, 8, 0, 0, 0, 0},
      {{"-C", "0"}, 1, 8, 0, 0, 0, 0},
      {{"-S", "7"}, 1, 8, 0, 0, 7, 0},
      {{"-S", "2", "-p", "x"}, 1, 8, 0, 0, 2, 0},
      {{"-i", "12", "-i", "xyz"}, 1, 8, 0, 0, 0, 0x12},
      {{"-c", "2", "-c", "5", "-C", "3"}, 5, 8, 0, 3, 0, 0},
      {{"-w", "can1"}, 1, 8, 0, 0, 0, 0},
      {{"-F", "1", "-i", "7FF"}, 1, 8, 1, 0, 0, 0x7FF},
      {{"-i", "1FFFFFFF", "-F", "3"}, 1, 8, 3, 0, 0, 0x1FFFFFFF},
      {{"-g", "-i", "FFFF"}, 1, 8, 0, 0, 0, 0xFFFF},
      {{"-g", "-F", "2", "-i", "-1"}, 1, 8, 2, 0, 0, 0xFFFFFFFF},
      {{"-w", "-g", "--mark", "-F", "2"}, 1, 8, 2, 0, 0, 0},
      {{"--mark", "-s", "3", "-s", "8"}, 1, 8, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.words));
    TesterHarness<TypeParam> run;
    ASSERT_TRUE(run.Init(c.words));
    EXPECT_EQ(run.tester.m_can->m_countOnce, c.countOnce);
    EXPECT_EQ(run.tester.m_dlc, c.dlc);
    EXPECT_EQ(run.tester.m_frameType, c.frameType);
    EXPECT_EQ(run.tester.m_count, c.count);
    EXPECT_EQ(run.tester.m_showModel, c.show);
    EXPECT_EQ(run.tester.m_id, c.id);
    EXPECT_EQ(Fake().interfaceName, "can0");
  }
}

TYPED_TEST(OptionFormTest, RefusesWithTheUsageTextAndOpensNothing) {
  const std::string tooLong(256, 'x');
  const std::vector<Words> refused = {
      {"-c", "0"},
      {"-c", "abc"},
      {"-s", "9"},
      {"-s", "65"},
      {"-s", "-1"},
      {"-F", "4"},
      {"-F", "-1"},
      {"-t", "-1"},
      {"-C", "-1"},
      {"-S", "2"},
      {"-w", "-S", "2"},
      {"-h"},
      {"--help"},
      {"-c"},
      {"--cou", "1"},
      {"--Count", "5"},
      {"-D", tooLong},
      {"-p", tooLong},
      {"-c", "0", "-D", "never-read"},
      {"-i", "800"},
      {"-w", "-F", "1", "-i", "FFFF"},
      {"-i", "-1", "-F", "0"},
      {"-F", "2", "-i", "20000000"},
      {"-i", "20000000", "-F", "3"},
      {"--mark", "-s", "7"},
      {"-w", "--mark", "-F", "1"},
      {"-F", "3", "-w", "--mark"},
  };
  for (const Words& words : refused) {
    SCOPED_TRACE(testing::PrintToString(words).substr(0, 80));
    TesterHarness<TypeParam> run;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(run.Init(words));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(run.out.rfind("Usage: tester <device>", 0), 0u);
    EXPECT_TRUE(Fake().calls.empty());
    EXPECT_EQ(run.tester.m_can, nullptr);
  }
}

TYPED_TEST(OptionFormTest, TakesTextsThatFitTheirFields) {
  const std::string longest(255, 'p');
  ASSERT_TRUE(this->m_run.Init({"-S", "2", "-p", longest}));
  EXPECT_EQ(std::string(this->Tester().m_path), longest);
}

TYPED_TEST(OptionFormTest, ReportsAnUnopenableChannelWithoutUsage) {
  Fake().failing = "SIOCGIFINDEX";
  EXPECT_FALSE(this->m_run.Init({"-D", "nosuch0"}));
  EXPECT_EQ(this->m_run.out,
            std::string(TypeParam::Channel::FrameFormat::kIndexFailure) + "\n");
  EXPECT_EQ(this->Tester().m_can, nullptr);
}

TEST(FdOptionFormTest, TakesFdLengthsAndTheBitRateSwitch) {
  for (const char* length : {"12", "16", "20", "24", "32", "48", "64"}) {
    TesterHarness<FdVariant> run;
    EXPECT_TRUE(run.Init({"-s", length}));
  }
  TesterHarness<FdVariant> plain;
  ASSERT_TRUE(plain.Init({}));
  EXPECT_EQ(plain.tester.m_can->m_format.m_brs, 0);
  TesterHarness<FdVariant> brs;
  ASSERT_TRUE(brs.Init({"-B"}));
  EXPECT_EQ(brs.tester.m_format.m_brs, 1);
  EXPECT_EQ(brs.tester.m_can->m_format.m_brs, 1);
  TesterHarness<FdVariant> longBrs;
  ASSERT_TRUE(longBrs.Init({"--BRS"}));
  EXPECT_EQ(longBrs.tester.m_can->m_format.m_brs, 1);
}

TEST(ClassicOptionFormTest, RefusesFdLengthsAndTheBitRateSwitch) {
  for (const Words& words :
       {Words{"-s", "12"}, Words{"-s", "64"}, Words{"-B"}, Words{"--BRS"}}) {
    TesterHarness<ClassicVariant> run;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(run.Init(words));
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(Fake().calls.empty());
  }
}
