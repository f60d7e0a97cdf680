// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <linux/can/error.h>
#include <linux/can/netlink.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "report/RefusalLine.h"
#include "report/SettingAdvice.h"
#include "report/TimingLines.h"
#include "report/TroubleLine.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakeSystemCalls.h"
#include "testsupport/LinkReplyTesting.h"
#include "testsupport/TesterHarness.h"

// What the runs say of the controller, read from the link facts the fake
// kernel gives before and after the run.

namespace {

// A send run of `words` over the fake's replies; returns standard error.
template <class Variant>
std::string SendErr(const std::vector<std::string>& words,
                    TesterHarness<Variant>* run) {
  std::vector<std::string> all = {"-w"};
  all.insert(all.end(), words.begin(), words.end());
  EXPECT_TRUE(run->Init(all));
  EXPECT_FALSE(run->Test());
  return run->err;
}

// A send run after the replies to `facts`, the clock advancing by
// `microsPerWrite` at each write.
template <class Variant>
std::string SendErrOver(const LinkFacts& facts, int64_t microsPerWrite,
                        const std::vector<std::string>& words) {
  TesterHarness<Variant> run;
  ReplyToRun(facts, facts);
  AdvanceClockPerWrite(microsPerWrite);
  return SendErr(words, &run);
}

const char kClassic8[] =
    "bus limit of can0:500000 bit/s, 111 bits, 222.0 us a frame, 4504 f/s "
    "at most";

}  // namespace

// The bits of the frames a run sent, plain, grown or switched, reach the
// bus-limit line, whose text BusLimitLine_test.cc checks.
TEST(BusLimitRunTest, SetsTheRunAgainstWhatTheBusCarries) {
  const std::vector<std::string> plain = {"-C", "10", "-i", "2AA", "-d", "55"};
  std::vector<std::string> grow = plain;
  grow.push_back("-g");
  EXPECT_EQ(SendErrOver<ClassicVariant>(ControllerFacts(), 250, plain),
            std::string(kClassic8) + "; this run 88% of it\n");
  EXPECT_EQ(SendErrOver<ClassicVariant>(ControllerFacts(), 300, grow),
            "bus limit of can0:500000 bit/s, 111 to 135 bits, 222.0 to 270.0 "
            "us a frame, 3703 to 4504 f/s at most; this run 74% to 90% of "
            "it\n");
  EXPECT_EQ(SendErrOver<FdVariant>(
                ControllerFacts(1000000, 5000000), 250,
                {"-C", "10", "-i", "555", "-d", "55", "-s", "64", "-B"}),
            "bus limit of can0:1000000/5000000 bit/s, 30+549 bits, 139.8 us a "
            "frame, 7153 f/s at most; this run 55% of it\n");
}

// Every reply below is refused or ignored: the run prints what it prints
// without link facts.
TEST(BusLimitRunTest, HostileRepliesChangeNothing) {
  using Bytes = FakeSystem::Bytes;
  const Bytes good = LinkReplyOf(ControllerFacts());
  const auto patched = [&good](size_t at, uint16_t value) {
    Bytes bytes = good;
    std::memcpy(&bytes[at], &value, sizeof value);
    return bytes;
  };
  const size_t firstAttribute = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(ifinfomsg));
  const auto kindAt =
      static_cast<size_t>(std::search(good.begin(), good.end(),
                                      std::begin("can"), std::end("can")) -
                          good.begin() - std::ptrdiff_t{sizeof(rtattr)});
  const unsigned char timingHeader[] = {RTA_LENGTH(sizeof(can_bittiming)), 0,
                                        IFLA_CAN_BITTIMING, 0};
  const auto timingAt = static_cast<size_t>(
      std::search(good.begin(), good.end(), std::begin(timingHeader),
                  std::end(timingHeader)) -
      good.begin());
  ASSERT_LT(kindAt, good.size());
  ASSERT_LT(timingAt, good.size());
  // Eight bytes of bit timing, the rest of its room an attribute of no
  // meaning: only the bit timing's own length is wrong.
  Bytes shortTiming = patched(timingAt, RTA_LENGTH(8));
  const rtattr filler{sizeof(can_bittiming) - 8, IFLA_CAN_UNSPEC};
  std::memcpy(&shortTiming[timingAt + RTA_LENGTH(8)], &filler, sizeof filler);
  nlmsghdr header{};
  header.nlmsg_len = NLMSG_LENGTH(sizeof(nlmsgerr));
  header.nlmsg_type = NLMSG_ERROR;
  nlmsgerr error{};
  error.error = -EOPNOTSUPP;
  Bytes refusal = BytesOf(header);
  const Bytes errorBytes = BytesOf(error);
  refusal.resize(refusal.size() + errorBytes.size());
  std::copy(errorBytes.begin(), errorBytes.end(),
            refusal.end() - static_cast<long>(errorBytes.size()));
  struct Row {
    const char* name;
    std::deque<FakeSystem::NetlinkReply> replies;
  };
  WriteRefusals fullQueue;
  fullQueue.Count(ENOBUFS);
  const std::vector<Row> rows = {
      {"no reply", {}},
      {"cut in the header", {{Bytes(good.begin(), good.begin() + 10)}}},
      {"cut in the middle", {{Bytes(good.begin(), good.begin() + 60)}}},
      {"message length below its header", {{patched(0, 8)}}},
      {"attribute overrunning the message",
       {{patched(firstAttribute, 0xFFF0)}}},
      {"attribute length below its header", {{patched(firstAttribute, 2)}}},
      {"nested attribute overrunning its nest", {{patched(kindAt, 0x7FF0)}}},
      {"bit timing shorter than its type", {{shortTiming}}},
      {"wrong sequence number", {{good, 0, false}}},
      {"wrong sender", {{good, 4321}}},
      {"NLMSG_ERROR", {{refusal}}},
      {"another interface", {{LinkReplyOf(ControllerFacts(), "can", 5)}}},
      {"another kind", {{LinkReplyOf(ControllerFacts(), "vcan")}}},
  };
  for (const Row& row : rows) {
    TesterHarness<ClassicVariant> run;
    Fake().netlinkReplies = row.replies;
    Fake().netlinkReplies.insert(Fake().netlinkReplies.end(),
                                 row.replies.begin(), row.replies.end());
    Fake().writeResults = {-ENOBUFS};
    AdvanceClockPerWrite(250);
    EXPECT_EQ(SendErr({"-C", "2", "-i", "2AA", "-d", "55"}, &run),
              RefusalLine("can0", fullQueue, false))
        << row.name;
    EXPECT_EQ(run.out,
              "Testing...\n\nsend frames:1\ntime:500 us\nspeed:2000 f/s\n")
        << row.name;
  }
}

// What the controller saw reaches the refusal line and the bus-trouble
// line, whose texts TroubleLine_test.cc checks with the cases; after them
// the advice on restart-ms and bus-error reporting, both the kernel's
// defaults here, and the timing facts.
TEST(ControllerRunTest, TellsOfTroubleAndFollowsItInTheRefusalLine) {
  LinkFacts before = ControllerFacts();
  before.restartMs = 0;
  LinkFacts after = before;
  after.state = CAN_STATE_BUS_OFF;
  after.errors = {256, 0};
  after.device.bus_off = 1;
  TesterHarness<ClassicVariant> run;
  ReplyToRun(before, after);
  Fake().writeResults = {-ENOBUFS};
  WriteRefusals refusals;
  refusals.Count(ENOBUFS);
  EXPECT_EQ(SendErr({"-C", "2", "-i", "2AA", "-d", "55"}, &run),
            RefusalLine("can0", refusals, true) + kClassic8 + "\n" +
                TroubleLine("can0", before, after) +
                SettingAdvice("can0", before, after, true) +
                TimingLines("can0", after.timing));
  EXPECT_NE(run.err.find("\nrestart-ms of can0 is 0"), std::string::npos);
  EXPECT_NE(run.err.find("\nbus-error reporting of can0 is off"),
            std::string::npos);
}

namespace {

template <class Image>
FakeSystem::Arrival Arriving(canid_t id, bool interrupt = false) {
  Image image{};
  image.can_id = id;
  return {BytesOf(image), -1, interrupt};
}

// The calls to the netlink socket and to the frame socket's reads and
// writes, in their order.
std::vector<std::string> SocketCalls() {
  std::vector<std::string> calls;
  for (const std::string& call : Fake().calls) {
    if (call == "socket netlink" || call == "read" || call == "write") {
      if (calls.empty() || calls.back() != call) calls.push_back(call);
    }
  }
  return calls;
}

}  // namespace

// What reached the receiving node = received + unread + dropped + lost.
TEST(ControllerRunTest, AReceiveRunAccountsForEveryFrameThatReachedTheNode) {
  TesterHarness<FdVariant> run;
  LinkFacts after = ControllerFacts(1000000, 5000000);
  after.rxOver = 3;
  after.rxFifo = 1;
  ReplyToRun(ControllerFacts(1000000, 5000000), after);
  Fake().reads = {Arriving<canfd_frame>(1), Arriving<canfd_frame>(2, true),
                  Arriving<canfd_frame>(3), Arriving<canfd_frame>(4)};
  Fake().drops = 5;
  ASSERT_TRUE(run.Init({"-D", "can1"}));
  EXPECT_TRUE(run.Test());
  EXPECT_EQ(run.out, "Testing...\n\nreceive frames:2\n");
  // Two frames of length 0 make no sequence: other traffic looks alike.
  EXPECT_EQ(run.err,
            "unread frames:2, which reached can1 after the count ended\n"
            "dropped frames:5, which reached can1 while the receive buffer was "
            "full (read faster, with display none or file, or raise "
            "net.core.rmem_default)\n"
            "lost frames:4, which the controller of can1 lost: the driver did "
            "not empty it in time (interrupt load, CPU frequency, a slow bus "
            "driver such as SPI)\n");
  EXPECT_TRUE(Fake().reads.empty());
  EXPECT_EQ(SocketCalls(), (std::vector<std::string>{"socket netlink", "read",
                                                     "socket netlink"}));
}

TEST(ControllerRunTest, ReadsTheFactsOnlyBeforeAndAfterTheFrames) {
  TesterHarness<ClassicVariant> run;
  LinkFacts sent = ControllerFacts();
  sent.txPackets = 5;
  ReplyToRun(ControllerFacts(), sent);
  ASSERT_TRUE(run.Init({"-w", "-C", "5"}));
  run.Test();
  EXPECT_EQ(SocketCalls(), (std::vector<std::string>{"socket netlink", "write",
                                                     "socket netlink"}));
  // The netlink socket of each read, and the error-frame socket.
  EXPECT_EQ(std::count(Fake().calls.begin(), Fake().calls.end(), "close"), 3);
}

// vcan and vxcan have kinds of their own: nothing new is said.
TEST(ControllerRunTest, SaysNothingNewOfAnotherKind) {
  LinkFacts lossy = ControllerFacts();
  lossy.rxOver = 50;
  lossy.state = CAN_STATE_BUS_OFF;
  TesterHarness<ClassicVariant> run;
  Fake().netlinkReplies = {{LinkReplyOf(ControllerFacts(), "vcan")},
                           {LinkReplyOf(lossy, "vcan")}};
  InterruptWhenIdle();
  Fake().reads = {Arriving<can_frame>(1)};
  ASSERT_TRUE(run.Init({}));
  EXPECT_TRUE(run.Test());
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "Testing...\n\nreceive frames:1\ntime:0 us\nspeed:0 f/s\n");
}

namespace {

// A receive run of one frame over the fake kernel's answers `before` and
// `after`; returns its standard error.
std::string ReceiveErrOver(const FakeSystem::Bytes& before,
                           const FakeSystem::Bytes& after,
                           const std::vector<std::string>& words = {}) {
  TesterHarness<FdVariant> run;
  Fake().netlinkReplies = {{before}, {after}};
  Fake().reads = {Arriving<canfd_frame>(1, true)};
  EXPECT_TRUE(run.Init(words));
  EXPECT_TRUE(run.Test());
  EXPECT_EQ(run.out, "Testing...\n\nreceive frames:1\n");
  return run.err;
}

}  // namespace

// The settings that spoil the test come before the run, over rtnetlink as
// the kernel tells them, and only for a CAN controller that answered.
TEST(ControllerRunTest, TellsTheSettingsThatSpoilTheTestBeforeTheRun) {
  const auto with = [](uint32_t on, uint32_t off, bool tdc = true) {
    LinkFacts facts = FdControllerFacts();
    facts.timing.ctrlmode = (facts.timing.ctrlmode | on) & ~off;
    facts.timing.tdc.present = tdc;
    facts.timing.supported = tdc ? facts.timing.supported : 0;
    return LinkReplyOf(facts);
  };
  const std::string mend =
      " (ip link set can0 down; ip link set can0 type can ";
  const struct {
    FakeSystem::Bytes reply;
    std::string err;
  } rows[] = {
      {with(CAN_CTRLMODE_LOOPBACK, 0),
       "loopback mode of can0 is on: its frames come back from the "
       "controller itself, so the test proves nothing of the bus" +
           mend + "loopback off; ip link set can0 up)\n"},
      {with(CAN_CTRLMODE_LISTENONLY, 0),
       "listen-only mode of can0 is on: it neither sends nor acknowledges "
       "frames" +
           mend + "listen-only off; ip link set can0 up)\n"},
      {with(CAN_CTRLMODE_PRESUME_ACK | CAN_CTRLMODE_ONE_SHOT, 0),
       "presume-ack mode of can0 is on: it takes frames as sent without "
       "another node's acknowledgement, so a missing node goes unnoticed" +
           mend +
           "presume-ack off; ip link set can0 up)\n"
           "one-shot mode of can0 is on: a frame that fails is dropped, not "
           "sent again" +
           mend + "one-shot off; ip link set can0 up)\n"},
      {with(0, CAN_CTRLMODE_TDC_AUTO),
       "TDC of can0 is off at a data bit rate of 2000000 bit/s: above 1 "
       "Mbit/s frames can go unacknowledged (the kernel turns it on where "
       "the data prescaler is 1 or 2, now 2: ip link set can0 down; ip link "
       "set can0 type can bitrate 500000 sample-point 0.875 dbitrate 2000000 "
       "dsample-point 0.750 fd on; ip link set can0 up)\n"},
      {with(0, CAN_CTRLMODE_TDC_AUTO, false), ""},  // a kernel before 5.16
      {LinkReplyOf(FdControllerFacts(), "vcan"), ""},
      {with(0, 0), ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ReceiveErrOver(row.reply, with(0, 0)), row.err);
  }
}

// --explain asks for the timing facts after any run.
TEST(ControllerRunTest, ExplainsTheTimingWhenAskedFor) {
  const LinkFacts facts = FdControllerFacts();
  const FakeSystem::Bytes reply = LinkReplyOf(facts);
  EXPECT_EQ(ReceiveErrOver(reply, reply, {"--explain"}),
            TimingLines("can0", facts.timing));
  const FakeSystem::Bytes vcan = LinkReplyOf(facts, "vcan");
  EXPECT_EQ(ReceiveErrOver(vcan, vcan, {"--explain"}),
            "timing of can0: none (no CAN controller, or the kernel did not "
            "tell)\n");
  EXPECT_EQ(ReceiveErrOver(reply, reply), "");
}

namespace {

FakeSystem::ErrorArrival ErrorArriving(canid_t classes, uint8_t kind,
                                       uint8_t place, uint32_t drops = 0) {
  can_frame frame{};
  frame.can_id = CAN_ERR_FLAG | classes;
  frame.data[2] = kind;
  frame.data[3] = place;
  return {BytesOf(frame), drops};
}

}  // namespace

// Error frames that came during a send run: drained at the looks, at most
// about 8 a second, and named by class with the likely cause.
TEST(ControllerRunTest, NamesTheErrorFramesAndTheirLikelyCause) {
  TesterHarness<FdVariant> run;
  LinkFacts after = FdControllerFacts();
  after.device.bus_error = 3;
  ReplyToRun(FdControllerFacts(), after);
  const auto dataBit = ErrorArriving(CAN_ERR_PROT | CAN_ERR_BUSERROR,
                                     CAN_ERR_PROT_BIT1 | CAN_ERR_PROT_TX,
                                     CAN_ERR_PROT_LOC_DATA, 4);
  Fake().errorFrames = {dataBit, dataBit};
  Fake().afterWrite = [&dataBit] {
    SetFakeClock(static_cast<int64_t>(Fake().written.size()) * 1000);
    if (Fake().written.size() == 1000) Fake().errorFrames.push_back(dataBit);
  };
  ASSERT_TRUE(run.Init({"-w", "-C", "2000", "-s", "64", "-B"}));
  EXPECT_FALSE(run.Test());
  const auto drains =
      std::count(Fake().calls.begin(), Fake().calls.end(), "read errors");
  EXPECT_GE(drains, 12);
  EXPECT_LE(drains, 24);
  const std::string trouble =
      "bus trouble:3 bus errors, 0 error-warning, 0 error-passive, 0 bus-off, "
      "0 restarts; can0 ended ERROR-ACTIVE, tx errors 0, rx errors 0; error "
      "frames, at least: 3 bit-1 errors in the data phase (bit errors in the "
      "data phase: transmitter delay compensation (TDC) or the transceiver's "
      "loop delay? ip -details -statistics link show can0)\n";
  EXPECT_NE(run.err.find("\n" + trouble), std::string::npos) << run.err;
  EXPECT_EQ(run.err.substr(run.err.size() - 34),
            "timing of can0: modes FD TDC-AUTO\n");
}
