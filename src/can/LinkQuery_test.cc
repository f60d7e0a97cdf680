// SPDX-License-Identifier: MIT
#include "can/LinkQuery.h"

#include <gtest/gtest.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <cstring>

#include "testsupport/FakeClock.h"
#include "testsupport/FakeSystemCalls.h"
#include "testsupport/LinkReplyTesting.h"

namespace {

LinkFacts Troubled() {
  LinkFacts facts = FdControllerFacts();
  facts.state = CAN_STATE_BUS_OFF;
  facts.errors = {255, 3};
  facts.device = {1, 2, 3, 4, 5, 6};
  facts.rxOver = 7;
  facts.rxFifo = 8;
  facts.rxMissed = 9;
  return facts;
}

void ExpectFacts(const LinkFacts& read, const LinkFacts& told) {
  EXPECT_EQ(read.can, told.can);
  const LinkTiming& a = read.timing;
  const LinkTiming& b = told.timing;
  EXPECT_EQ(a.clock, b.clock);
  EXPECT_EQ(std::memcmp(&a.nominal, &b.nominal, sizeof a.nominal), 0);
  EXPECT_EQ(std::memcmp(&a.data, &b.data, sizeof a.data), 0);
  EXPECT_EQ(a.ctrlmode, b.ctrlmode);
  EXPECT_EQ(a.supported, b.supported);
  EXPECT_TRUE(a.tdc.present && a.tdc.valueTold);
  EXPECT_EQ(a.tdc.tdcv + a.tdc.tdco * 1000, b.tdc.tdcv + b.tdc.tdco * 1000);
  EXPECT_EQ(read.restartMs, told.restartMs);
  EXPECT_EQ(read.state, told.state);
  EXPECT_EQ(read.errors.txerr, told.errors.txerr);
  EXPECT_EQ(read.errors.rxerr, told.errors.rxerr);
  EXPECT_EQ(std::memcmp(&read.device, &told.device, sizeof read.device), 0);
  EXPECT_EQ(read.Lost(), told.Lost());
}

TEST(LinkQueryTest, AsksForTheLinkAndReadsWhatTheKernelTold) {
  Fake() = FakeSystem();
  Fake().netlinkReplies = {{LinkReplyOf(Troubled())}};
  ExpectFacts(ReadLinkFacts(4), Troubled());
  ASSERT_EQ(Fake().netlinkRequests.size(), 1u);
  const FakeSystem::Bytes& request = Fake().netlinkRequests[0];
  ASSERT_EQ(request.size(), NLMSG_LENGTH(sizeof(ifinfomsg)));
  nlmsghdr header;
  std::memcpy(&header, request.data(), sizeof header);
  ifinfomsg link;
  std::memcpy(&link, request.data() + NLMSG_HDRLEN, sizeof link);
  EXPECT_EQ(header.nlmsg_type, RTM_GETLINK);
  EXPECT_EQ(header.nlmsg_flags, NLM_F_REQUEST);
  EXPECT_EQ(link.ifi_index, 4);
  EXPECT_EQ(Fake().calls,
            (std::vector<std::string>{"socket netlink", "send netlink",
                                      "receive netlink", "close"}));
}

TEST(LinkQueryTest, WaitsOnPastOtherMessagesWithinItsTime) {
  Fake() = FakeSystem();
  SetFakeClockStep(20000);
  Fake().netlinkReplies = {{LinkReplyOf(Troubled()), 1234},
                           {LinkReplyOf(Troubled()), 0, false},
                           {LinkReplyOf(Troubled())}};
  ExpectFacts(ReadLinkFacts(4), Troubled());
  EXPECT_EQ(Fake().waits, (std::vector<int>{80, 60, 40}));
  SetFakeClockStep(0);
}

TEST(LinkQueryTest, GivesUpAfterItsTime) {
  Fake() = FakeSystem();
  SetFakeClockStep(30000);
  Fake().netlinkReplies.assign(8, {LinkReplyOf(Troubled()), 1234});
  EXPECT_FALSE(ReadLinkFacts(4).can);
  EXPECT_EQ(Fake().waits, (std::vector<int>{70, 40, 10}));
  SetFakeClockStep(0);
  EXPECT_EQ(Fake().calls.back(), "close");
}

TEST(LinkQueryTest, HasNoFactsOfOtherKindsOrWithoutASocket) {
  Fake() = FakeSystem();
  Fake().netlinkReplies = {{LinkReplyOf(Troubled(), "vcan")}};
  EXPECT_FALSE(ReadLinkFacts(4).can);
  Fake() = FakeSystem();
  Fake().failing = "socket netlink";
  EXPECT_FALSE(ReadLinkFacts(4).can);
  EXPECT_TRUE(Fake().netlinkRequests.empty());
}

}  // namespace
