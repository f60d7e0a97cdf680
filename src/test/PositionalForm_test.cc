// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "testsupport/FakeSystemCalls.h"
#include "testsupport/TesterHarness.h"

namespace {

const char kModePrompt[] = "Please Input model: 0-read, 1-write\n:";
const char kShowPrompt[] =
    "Please Input data show model: 0-none, 1-screen, 2-file\n:";
const char kFilePrompt[] = "Please input file name\n:";

template <class Variant>
std::string SendPrompts() {
  return std::string(kModePrompt) +
         "frametype: 0-standData, 1-standRemote, 2-expandData, "
         "3-expandRemote\n:Plase input frametype dlc(" +
         Variant::kTexts.lengths +
         ") sleeptime(us) sendFramesOnce(>=1)\n"
         "Plase input id(hex) data(1byte hex) isgrow(0/1)\n";
}

}  // namespace

template <class Variant>
class PositionalFormTest : public testing::Test {};
TYPED_TEST_SUITE(PositionalFormTest, Variants, );

TYPED_TEST(PositionalFormTest, AsksForAReceiveRun) {
  TesterHarness<TypeParam> run;
  ASSERT_TRUE(run.Init({"vcan0"}, "0\n1\n"));
  EXPECT_EQ(run.out, std::string(kModePrompt) + kShowPrompt);
  EXPECT_EQ(Fake().interfaceName, "vcan0");
  EXPECT_EQ(run.tester.m_model, 0);
  EXPECT_EQ(run.tester.m_showModel, 1);
  EXPECT_EQ(run.tester.m_can->m_countOnce, 1);
  EXPECT_EQ(run.tester.m_can->m_filter, 0);
  EXPECT_EQ(run.tester.m_can->m_rcvOwn, 0);
  EXPECT_EQ(run.tester.m_can->m_loopback, TypeParam::kPositionalLoopback);
  EXPECT_STREQ(run.tester.m_device, "can0");
}

TYPED_TEST(PositionalFormTest, AsksForASendRun) {
  TesterHarness<TypeParam> run;
  ASSERT_TRUE(run.Init({"vcan0", "1", "2", "3"}, "1\n2 8 100 3\n7FE 1AB 1\n"));
  EXPECT_EQ(run.out, SendPrompts<TypeParam>());
  auto& t = run.tester;
  EXPECT_EQ(t.m_model, 1);
  EXPECT_EQ(t.m_frameType, expandData);
  EXPECT_EQ(t.m_dlc, 8);
  EXPECT_EQ(t.m_sleepTime, 100);
  EXPECT_EQ(t.m_id, 0x7FEu);
  EXPECT_EQ(t.m_data, 0x1ABu);
  EXPECT_EQ(t.m_grow, 1);
  EXPECT_EQ(t.m_count, 0);
  EXPECT_EQ(t.m_countOnce, 1);
  EXPECT_EQ(t.m_can->m_countOnce, 3);
  EXPECT_EQ(t.m_can->m_filter, 1);
  EXPECT_EQ(t.m_can->m_loopback, 2);
  EXPECT_EQ(t.m_can->m_rcvOwn, 3);
}

TYPED_TEST(PositionalFormTest, TakesEachChannelValueFromItsPlace) {
  const int loopback = TypeParam::kPositionalLoopback;
  const std::vector<std::pair<std::vector<std::string>, std::vector<int>>>
      cases = {{{"can0"}, {0, loopback, 0}},
               {{"can0", "7"}, {7, loopback, 0}},
               {{"can0", "7", "8"}, {7, 8, 0}},
               {{"can0", "7", "8", "9"}, {7, 8, 9}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first.size());
    TesterHarness<TypeParam> run;
    ASSERT_TRUE(run.Init(c.first, "0\n0\n"));
    const auto& channel = *run.tester.m_can;
    EXPECT_EQ((std::vector<int>{channel.m_filter, channel.m_loopback,
                                channel.m_rcvOwn}),
              c.second);
  }
}

TYPED_TEST(PositionalFormTest, KeepsDefaultsForRepliesThatAreNoNumbers) {
  TesterHarness<TypeParam> receive;
  ASSERT_TRUE(receive.Init({"can0", "on"}, "x\n"));
  EXPECT_EQ(receive.out, std::string(kModePrompt) + kShowPrompt);
  EXPECT_EQ(receive.tester.m_model, 0);
  EXPECT_EQ(receive.tester.m_showModel, 0);
  EXPECT_EQ(receive.tester.m_can->m_filter, 0);

  TesterHarness<TypeParam> send;
  ASSERT_TRUE(send.Init({"can0"}, "1\n"));
  EXPECT_EQ(send.tester.m_dlc, 8);
  EXPECT_EQ(send.tester.m_can->m_countOnce, 1);

  TesterHarness<TypeParam> other;
  ASSERT_TRUE(other.Init({"can0"}, "2\n3\n"));
  EXPECT_EQ(other.tester.m_model, 2);
  EXPECT_EQ(other.tester.m_showModel, 3);
}

TYPED_TEST(PositionalFormTest, TakesTheFirstWordOfTheFileName) {
  TesterHarness<TypeParam> run;
  ASSERT_TRUE(run.Init({"can0"}, "0\n2\nmy file.txt\n"));
  EXPECT_EQ(run.out, std::string(kModePrompt) + kShowPrompt + kFilePrompt);
  EXPECT_STREQ(run.tester.m_path, "my");
  const std::string longest(255, 'f');
  TesterHarness<TypeParam> full;
  ASSERT_TRUE(full.Init({"can0"}, "0\n2\n" + longest + "\n"));
  EXPECT_EQ(std::string(full.tester.m_path), longest);
}

TYPED_TEST(PositionalFormTest, RefusesRepliesBeyondTheLimitsOfARun) {
  const std::vector<std::string> replies = {
      "1\n0 65 0 1\n",
      "1\n0 -1 0 1\n",
      "1\n0 9 0 1\n",
      "1\n4 8 0 1\n",
      "1\n-1 8 0 1\n",
      "1\n0 8 -1 1\n",
      "1\n0 8 0 0\n",
      "1\n0 8 0 -5\n",
      "1\n1 0 0 1\n800 0 0\n",
      "1\n3 8 0 1\nFFFFFFFF 0 0\n",
      "0\n2\n" + std::string(256, 'f') + "\n"};
  for (const std::string& reply : replies) {
    SCOPED_TRACE(reply.substr(0, 20));
    TesterHarness<TypeParam> run;
    EXPECT_FALSE(run.Init({"can0"}, reply));
    EXPECT_NE(run.out.find("Usage: tester <device>"), std::string::npos);
    EXPECT_TRUE(Fake().calls.empty());
  }
}

TYPED_TEST(PositionalFormTest, TakesIdentifiersThatFitTheirKindOrGrow) {
  const std::vector<std::pair<std::string, uint32_t>> replies = {
      {"1\n1 0 0 1\n7FF 0 0\n", 0x7FF},
      {"1\n2 8 0 1\n1FFFFFFF 0 0\n", 0x1FFFFFFF},
      {"1\n0 8 0 1\nFFFF 0 1\n", 0xFFFF}};
  for (const auto& [reply, id] : replies) {
    SCOPED_TRACE(reply);
    TesterHarness<TypeParam> run;
    ASSERT_TRUE(run.Init({"can0"}, reply));
    EXPECT_EQ(run.tester.m_id, id);
  }
}

TYPED_TEST(PositionalFormTest, RefusesTooManyWordsBeforeAnyPrompt) {
  std::vector<std::string> words(TypeParam::kMaxArgc, "1");
  words[0] = "can0";
  TesterHarness<TypeParam> run;
  EXPECT_FALSE(run.Init(words, "1\n"));
  EXPECT_EQ(run.out.rfind("Usage: tester <device>", 0), 0u);
  EXPECT_TRUE(Fake().calls.empty());
}

TYPED_TEST(PositionalFormTest, ReportsAWrongDeviceAfterThePrompts) {
  TesterHarness<TypeParam> run;
  Fake().failing = "SIOCGIFINDEX";
  EXPECT_FALSE(run.Init({""}, "0\n0\n"));
  EXPECT_EQ(run.out, std::string(kModePrompt) + kShowPrompt +
                         TypeParam::Channel::FrameFormat::kIndexFailure + "\n");
  EXPECT_EQ(Fake().interfaceName, "");
}

TEST(FdPositionalFormTest, SwitchesBitRateUnlessTheFifthWordSaysNo) {
  TesterHarness<FdVariant> fourWords;
  ASSERT_TRUE(fourWords.Init({"can0", "1", "1", "1"}, "0\n0\n"));
  EXPECT_EQ(fourWords.tester.m_can->m_format.m_brs, 1);
  EXPECT_EQ(fourWords.tester.m_can->m_loopback, 1);
  EXPECT_EQ(fourWords.tester.m_format.m_brs, 0);

  TesterHarness<FdVariant> fiveWords;
  ASSERT_TRUE(fiveWords.Init({"can0", "1", "1", "1", "0"}, "0\n0\n"));
  EXPECT_EQ(fiveWords.tester.m_can->m_format.m_brs, 0);
}

TEST(FdPositionalFormTest, TakesFdLengthsFromTheReplies) {
  TesterHarness<FdVariant> run;
  ASSERT_TRUE(run.Init({"can0"}, "1\n0 64 0 1\n0 0 0\n"));
  EXPECT_EQ(run.tester.m_dlc, 64);
}
