// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <linux/can.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <deque>
#include <string>
#include <vector>

#include "report/RefusalLine.h"
#include "testsupport/FakeSystemCalls.h"
#include "testsupport/FakeClock.h"
#include "testsupport/TesterHarness.h"

namespace {

// Identifier and first payload bytes of each written image; both formats
// start with can_id, then len, and the payload at byte 8.
struct Sent {
  canid_t id;
  std::vector<unsigned char> payload;
  bool operator==(const Sent& other) const {
    return id == other.id && payload == other.payload;
  }
  friend void PrintTo(const Sent& sent, std::ostream* os) {
    *os << std::hex << sent.id << ":" << testing::PrintToString(sent.payload);
  }
};

std::vector<Sent> SentFrames(std::ptrdiff_t bytes) {
  std::vector<Sent> sent;
  for (const FakeSystem::Bytes& image : Fake().written) {
    canid_t id;
    std::copy(image.begin(), image.begin() + 4,
              reinterpret_cast<unsigned char*>(&id));
    sent.push_back({id, {image.begin() + 8, image.begin() + 8 + bytes}});
  }
  return sent;
}

}  // namespace

template <class Variant>
class SendRunTest : public testing::Test {
 protected:
  // Runs the options as a send run; returns its output after "Testing...".
  std::string Send(std::vector<std::string> words) {
    words.insert(words.begin(), "-w");
    EXPECT_TRUE(m_run.Init(words));
    EXPECT_FALSE(m_run.Test());
    EXPECT_EQ(m_run.out.rfind("Testing...\n", 0), 0u);
    return m_run.out.substr(std::string("Testing...\n").size());
  }
  TesterHarness<Variant> m_run;
};
TYPED_TEST_SUITE(SendRunTest, Variants, );

TYPED_TEST(SendRunTest, SendsCountTimesCountOnceFramesAndReportsTheRate) {
  AdvanceClockPerWrite(250);
  EXPECT_EQ(this->Send({"-c", "3", "-C", "2", "-i", "123", "-d", "1AB"}),
            "\nsend frames:6\ntime:1500 us\nspeed:4000 f/s\n");
  EXPECT_EQ(this->m_run.tester.m_count, 0);
  const std::vector<unsigned char> fill(8, 0xAB);
  EXPECT_EQ(SentFrames(8), std::vector<Sent>(6, Sent{0x123, fill}));
}

TYPED_TEST(SendRunTest, KeepsItsScheduling) {
  this->Send({"-C", "1"});
  EXPECT_EQ(std::count(Fake().calls.begin(), Fake().calls.end(),
                       "sched_setscheduler"),
            0);
}

TYPED_TEST(SendRunTest, PausesAfterEveryStepOnlyWhenAskedTo) {
  this->Send({"-C", "3", "-c", "2"});
  EXPECT_TRUE(FakePauses().empty());
  TesterHarness<TypeParam> paced;
  ASSERT_TRUE(paced.Init({"-w", "-C", "3", "-c", "2", "-t", "250"}));
  paced.Test();
  EXPECT_EQ(FakePauses(), std::vector<int>(3, 250));
}

TYPED_TEST(SendRunTest, CountsOnlyWritesThatWentOut) {
  const auto whole =
      static_cast<ssize_t>(sizeof(typename TypeParam::Channel::Image));
  Fake().writeResults = {-1, whole, whole - 1, -1};
  AdvanceClockPerWrite(1000);
  EXPECT_EQ(this->Send({"-C", "4"}),
            "\nsend frames:1\ntime:4000 us\nspeed:250 f/s\n");
}

// The lines themselves are tested in RefusalLine_test.cc; here, that the
// run counts what the socket refused, a short write among it, and says so.
TYPED_TEST(SendRunTest, SaysOnStandardErrorWhyWritesWereRefused) {
  const auto whole =
      static_cast<ssize_t>(sizeof(typename TypeParam::Channel::Image));
  Fake().writeResults = {-ENOBUFS, whole, whole - 1, -ENOBUFS, -ENETDOWN};
  this->Send({"-C", "5"});
  WriteRefusals refusals;
  for (const int error : {ENOBUFS, 0, ENOBUFS, ENETDOWN}) refusals.Count(error);
  EXPECT_EQ(this->m_run.err, RefusalLine("can0", refusals, false));
  EXPECT_EQ(this->m_run.err.rfind("refused writes:4, most with \"No buffer", 0),
            0u);
}

TYPED_TEST(SendRunTest, GrowsStandardIdentifiersThroughTheirMask) {
  this->Send({"-g", "-i", "7FE", "-d", "55", "-C", "3"});
  const std::vector<Sent> expected = {
      {0x7FE, {0xFE, 0x07, 0, 0, 0x55, 0x55, 0x55, 0x55}},
      {0x7FF, {0xFF, 0x07, 0, 0, 0x55, 0x55, 0x55, 0x55}},
      {0x000, {0, 0, 0, 0, 0x55, 0x55, 0x55, 0x55}}};
  EXPECT_EQ(SentFrames(8), expected);
}

TYPED_TEST(SendRunTest, GrowsExtendedIdentifiersAndMasksTheFirst) {
  this->Send({"-g", "-F", "2", "-i", "FFFFFFFF", "-C", "2", "-s", "4"});
  const std::vector<Sent> expected = {
      {CAN_EFF_FLAG | 0x1FFFFFFF, {0xFF, 0xFF, 0xFF, 0x1F}},
      {CAN_EFF_FLAG | 0, {0, 0, 0, 0}}};
  EXPECT_EQ(SentFrames(4), expected);
}

TYPED_TEST(SendRunTest, GrowModeStartsAStandardIdAboveItsMaskAtZero) {
  this->Send({"-g", "-F", "1", "-i", "800", "-C", "2", "-s", "5", "-d", "EE"});
  const std::vector<Sent> expected = {{CAN_RTR_FLAG | 0, {0, 0, 0, 0, 0xEE}},
                                      {CAN_RTR_FLAG | 1, {1, 0, 0, 0, 0xEE}}};
  EXPECT_EQ(SentFrames(5), expected);
}

TYPED_TEST(SendRunTest, GrowModeWithAShortPayloadSendsTheLowIdBytes) {
  this->Send({"-g", "-i", "1234", "-s", "1", "-C", "1", "-d", "EE"});
  const std::vector<Sent> expected = {{0x234, {0x34, 0, 0, 0, 0, 0, 0, 0}}};
  EXPECT_EQ(SentFrames(8), expected);
}

TYPED_TEST(SendRunTest, PlainModeSendsTheWidestIdentifierOfItsKind) {
  this->Send({"-F", "2", "-i", "1FFFFFFF", "-C", "2", "-d", "3"});
  const std::vector<Sent> expected(
      2, Sent{0x1FFFFFFF | CAN_EFF_FLAG, std::vector<unsigned char>(8, 3)});
  EXPECT_EQ(SentFrames(8), expected);
}

TYPED_TEST(SendRunTest, CtrlCEndsTheRunAfterTheCurrentStep) {
  Fake().afterWrite = [] {
    SetFakeClock(static_cast<int64_t>(Fake().written.size()) * 100);
    raise(SIGINT);
  };
  EXPECT_EQ(this->Send({"-c", "2"}),
            "\nsend frames:2\ntime:200 us\nspeed:10000 f/s\n");
  EXPECT_EQ(Fake().written.size(), 2u);
}

TYPED_TEST(SendRunTest, CtrlCLeavesTheStepsThatWereLeft) {
  Fake().afterWrite = [] {
    if (Fake().written.size() == 2) raise(SIGINT);
  };
  this->Send({"-C", "5"});
  EXPECT_EQ(Fake().written.size(), 2u);
  EXPECT_EQ(this->m_run.tester.m_count, 4);
}

// Ctrl-C at the fifth write, 1 ms a write: a step, or a pause, that ends
// within 100 ms of it ends whole, a longer one when the 100 ms are over; the
// totals count what went out.
TYPED_TEST(SendRunTest, CtrlCEndsAnyStepWithin100Ms) {
  struct Row {
    std::vector<std::string> words;
    std::string totals;
    std::vector<int> pauses;
  };
  const std::vector<Row> rows = {
      {{"-w", "-c", "1000000"}, "105\ntime:105000 us\nspeed:1000", {}},
      {{"-w", "-c", "100"}, "100\ntime:100000 us\nspeed:1000", {}},
      {{"-w", "-c", "5", "-t", "60000"}, "5\ntime:65000 us\nspeed:76", {60000}},
      {{"-w", "-c", "5", "-t", "1000000"}, "5\ntime:105000 us\nspeed:47",
       {100000}},
  };
  for (const Row& row : rows) {
    TesterHarness<TypeParam> run;
    Fake().afterWrite = [] {
      SetFakeClock(static_cast<int64_t>(Fake().written.size()) * 1000);
      if (Fake().written.size() == 5) raise(SIGINT);
    };
    ASSERT_TRUE(run.Init(row.words));
    EXPECT_FALSE(run.Test());
    EXPECT_EQ(run.out, "Testing...\n\nsend frames:" + row.totals + " f/s\n");
    EXPECT_EQ(FakePauses(), row.pauses) << row.totals;
  }
}

TYPED_TEST(SendRunTest, ANegativeCountRunsUntilCtrlC) {
  this->m_run.tester.m_count = -3;
  Fake().afterWrite = [] {
    if (Fake().written.size() == 10) raise(SIGINT);
  };
  this->Send({});
  EXPECT_EQ(Fake().written.size(), 10u);
  EXPECT_EQ(this->m_run.tester.m_count, -3);
}

TEST(FdSendRunTest, PrintsNoRateWithoutMeasuredTime) {
  TesterHarness<FdVariant> run;
  ASSERT_TRUE(run.Init({"-w", "-C", "1", "-B", "-s", "64"}));
  EXPECT_FALSE(run.Test());
  EXPECT_EQ(run.out, "Testing...\n\nsend frames:1\n");
  EXPECT_EQ(Fake().written[0][5], CANFD_BRS);
}

TEST(ClassicSendRunTest, PrintsARateOfZeroForNoTime) {
  TesterHarness<ClassicVariant> run;
  ASSERT_TRUE(run.Init({"-w", "-C", "1"}));
  EXPECT_FALSE(run.Test());
  EXPECT_EQ(run.out, "Testing...\n\nsend frames:1\ntime:0 us\nspeed:0 f/s\n");
}

TEST(ClassicSendRunTest, PrintsANegativeTimeAsItIs) {
  TesterHarness<ClassicVariant> run;
  SetFakeClock(10000000);
  Fake().afterWrite = [] { SetFakeClock(9000000); };
  ASSERT_TRUE(run.Init({"-w", "-C", "2"}));
  EXPECT_FALSE(run.Test());
  EXPECT_EQ(run.out,
            "Testing...\n\nsend frames:2\ntime:-1000000 us\nspeed:-2 f/s\n");
}
