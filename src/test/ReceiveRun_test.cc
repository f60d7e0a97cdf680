// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <linux/can.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "report/UnreadLine.h"
#include "testsupport/ChannelTestSupport.h"
#include "testsupport/FakeClock.h"
#include "testsupport/FakeSystemCalls.h"
#include "testsupport/TesterHarness.h"
#include "time/Clock.h"

namespace {

template <class Variant>
FakeSystem::Arrival Frame(canid_t id, std::vector<unsigned char> data,
                          int64_t at = -1) {
  using Image = typename Variant::Channel::Image;
  return {ImageBytes<Image>(id, static_cast<int>(data.size()), data), at};
}

std::string FileText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

const char kLines[] =
    "stand_data    00000123 2 AB 01 \n"
    "expand_remote 00001234 0 \n"
    "stand_remote  0000005A 1 07 \n";
// The totals of the three frames that ReceiveRunTest sets up: both ways of
// timing see 1000 us from the first frame to the latest, and to the end.
const char kTotals[] = "\nreceive frames:3\ntime:1000 us\nspeed:3000 f/s\n";

}  // namespace

template <class Variant>
class ReceiveRunTest : public testing::Test {
 protected:
  void SetUp() override {
    InterruptWhenIdle();
    Fake().reads = {
        Frame<Variant>(0x123, {0xAB, 0x01}, 1000),
        Frame<Variant>(CAN_EFF_FLAG | CAN_RTR_FLAG | 0x1234, {}, 1500),
        Frame<Variant>(CAN_RTR_FLAG | 0x5A, {7}, 2000)};
  }
  // Runs the options as a receive run; returns its output after
  // "Testing...".
  std::string Receive(const std::vector<std::string>& words) {
    EXPECT_TRUE(m_run.Init(words));
    EXPECT_TRUE(m_run.Test());
    EXPECT_EQ(m_run.out.rfind("Testing...\n", 0), 0u);
    return m_run.out.substr(std::string("Testing...\n").size());
  }
  TesterHarness<Variant> m_run;
};
TYPED_TEST_SUITE(ReceiveRunTest, Variants, );

TYPED_TEST(ReceiveRunTest, EndsWithACountOfZeroWhenNoFrameCame) {
  Fake().reads.clear();
  EXPECT_EQ(this->Receive({"-S", "1"}), "\nreceive frames:0\n");
}

TYPED_TEST(ReceiveRunTest, ShowsEachFrameOnTheScreen) {
  EXPECT_EQ(this->Receive({"-S", "1"}), std::string(kLines) + kTotals);
}

TYPED_TEST(ReceiveRunTest, CountsWithoutShowingInOtherModes) {
  for (const char* mode : {"0", "3", "-1"}) {
    TesterHarness<TypeParam> run;
    InterruptWhenIdle();
    Fake().reads = {Frame<TypeParam>(0x1, {1}, 100),
                    Frame<TypeParam>(0x2, {2}, 300)};
    ASSERT_TRUE(run.Init({"-S", mode}));
    EXPECT_TRUE(run.Test());
    EXPECT_EQ(run.out,
              "Testing...\n\nreceive frames:2\ntime:200 us\n"
              "speed:10000 f/s\n");
  }
}

TYPED_TEST(ReceiveRunTest, WritesFrameLinesIntoAnEmptiedFile) {
  char path[] = "/tmp/receive-run-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "old contents\n", 13), 13);
  close(fd);
  EXPECT_EQ(this->Receive({"-S", "2", "-p", path}), kTotals);
  EXPECT_EQ(FileText(path), kLines);
  unlink(path);
}

TYPED_TEST(ReceiveRunTest, StopsWithoutReadingWhenTheFileCannotBeOpened) {
  ASSERT_TRUE(this->m_run.Init({"-S", "2", "-p", "/nonexistent/dir/frames"}));
  EXPECT_FALSE(this->m_run.Test());
  EXPECT_EQ(this->m_run.out, "Testing...\nOpen file error\n");
  EXPECT_EQ(std::count(Fake().calls.begin(), Fake().calls.end(), "read"), 0);
}

TYPED_TEST(ReceiveRunTest, IgnoresImagesOfTheWrongSize) {
  FakeSystem::Bytes cut = Fake().reads[0].image;
  cut.resize(cut.size() - 1);
  Fake().reads.push_front({cut});
  EXPECT_EQ(this->Receive({"-S", "1"}), std::string(kLines) + kTotals);
}

TYPED_TEST(ReceiveRunTest, SaysOnStandardErrorHowManyFramesTheSocketDropped) {
  struct Case {
    std::string failing;
    uint32_t drops;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"", 0, ""},
      {"", 97,
       "dropped frames:97, which reached can1 while the receive buffer was "
       "full (read faster, with display none or file, or raise "
       "net.core.rmem_default)\n"},
      {"SO_MEMINFO", 97, ""},  // a kernel that cannot tell
  };
  for (const Case& c : cases) {
    TesterHarness<TypeParam> run;
    InterruptWhenIdle();
    Fake().failing = c.failing;
    Fake().drops = c.drops;
    ASSERT_TRUE(run.Init({"-D", "can1"}));
    EXPECT_TRUE(run.Test());
    EXPECT_EQ(run.out, "Testing...\n\nreceive frames:0\n");
    EXPECT_EQ(run.err, c.message);
  }
}

TYPED_TEST(ReceiveRunTest, AsksForBatchSchedulingBeforeItsFirstRead) {
  Fake().failing = "sched_setscheduler";  // a refusal changes nothing
  EXPECT_EQ(this->Receive({"-S", "1"}), std::string(kLines) + kTotals);
  const std::vector<std::string>& calls = Fake().calls;
  const auto batch =
      std::find(calls.begin(), calls.end(), "sched_setscheduler");
  ASSERT_NE(batch, calls.end());
  EXPECT_EQ(std::find(calls.begin(), batch, "read"), batch);
}

TYPED_TEST(ReceiveRunTest, EndsOnceAfterTwoPressesOfCtrlC) {
  Fake().whenIdle = [] {
    raise(SIGINT);
    raise(SIGINT);
  };
  EXPECT_EQ(this->Receive({}), kTotals);
}

// A receive run of `reads` that Ctrl-C (or `sig`) ends once they have come,
// with the clock then at `end` (unless negative); returns its output.
template <class Variant>
std::string ReceiveThenStop(std::deque<FakeSystem::Arrival> reads,
                            int64_t end = -1,
                            const std::vector<std::string>& words = {},
                            int sig = SIGINT) {
  TesterHarness<Variant> run;
  Fake().reads = std::move(reads);
  Fake().whenIdle = [end, sig] {
    if (end >= 0) SetFakeClock(end);
    raise(sig);
  };
  EXPECT_TRUE(run.Init(words));
  EXPECT_TRUE(run.Test());
  return run.out;
}

TYPED_TEST(ReceiveRunTest, EndsOnSigtermAndSighupAsOnCtrlC) {
  using V = TypeParam;
  for (const int sig : {SIGTERM, SIGHUP}) {
    EXPECT_EQ(ReceiveThenStop<V>({Frame<V>(1, {}, 5000), Frame<V>(2, {}, 6000)},
                                 6000, {}, sig),
              "Testing...\n\nreceive frames:2\ntime:1000 us\nspeed:2000 f/s\n");
  }
}

TEST(FdReceiveRunTest, TimesFromTheFirstToTheLatestFrame) {
  using V = FdVariant;
  EXPECT_EQ(
      ReceiveThenStop<V>({Frame<V>(1, {}, 5000), Frame<V>(2, {}, 6000)}, 90000),
      "Testing...\n\nreceive frames:2\ntime:1000 us\nspeed:2000 f/s\n");
  EXPECT_EQ(ReceiveThenStop<V>({Frame<V>(1, {}, 5000)}, 90000),
            "Testing...\n\nreceive frames:1\n");
}

TEST(ClassicReceiveRunTest, TimesFromTheFirstFrameToTheEndOfTheRun) {
  using V = ClassicVariant;
  EXPECT_EQ(
      ReceiveThenStop<V>({Frame<V>(1, {}, 5000), Frame<V>(2, {}, 6000)}, 9000),
      "Testing...\n\nreceive frames:2\ntime:4000 us\nspeed:500 f/s\n");
  EXPECT_EQ(ReceiveThenStop<V>({Frame<V>(1, {}, 5000)}),
            "Testing...\n\nreceive frames:1\ntime:0 us\nspeed:0 f/s\n");
}

// Three frames, with Ctrl-C as the first of them arrives.
template <class Variant>
std::deque<FakeSystem::Arrival> InterruptedTraffic() {
  std::deque<FakeSystem::Arrival> reads = {
      Frame<Variant>(1, {}), Frame<Variant>(2, {}), Frame<Variant>(3, {})};
  reads[0].interrupt = true;
  return reads;
}

TEST(FdReceiveRunTest, StopsAtTheReadAfterCtrlC) {
  EXPECT_EQ(ReceiveThenStop<FdVariant>(InterruptedTraffic<FdVariant>()),
            "Testing...\n\nreceive frames:1\n");
}

TEST(ClassicReceiveRunTest, KeepsReadingWhileFramesKeepComing) {
  EXPECT_EQ(
      ReceiveThenStop<ClassicVariant>(InterruptedTraffic<ClassicVariant>()),
      "Testing...\n\nreceive frames:3\ntime:0 us\nspeed:0 f/s\n");
}

// Frames that never stop, 1 ms apart, and Ctrl-C at the first: the classic
// run reads on for 100 ms, then says how many it left unread.
TEST(ClassicReceiveRunTest, EndsUnderEndlessTraffic100MsAfterCtrlC) {
  using V = ClassicVariant;
  for (const char* show : {"0", "2"}) {
    TesterHarness<V> run;
    Fake().reads = InterruptedTraffic<V>();
    Fake().reads.resize(1);
    // Cut short after 1000 frames: a run that misses Ctrl-C fails, not hangs.
    Fake().whenIdle = [supplied = 0]() mutable {
      SetFakeClock(ClockMicros() + 1000);
      if (++supplied <= 1000) Fake().reads.push_back(Frame<V>(2, {}));
    };
    ASSERT_TRUE(run.Init({"-S", show, "-p", "/dev/null"}));
    EXPECT_TRUE(run.Test());
    EXPECT_EQ(run.out,
              "Testing...\n\nreceive frames:101\ntime:100000 us\n"
              "speed:1010 f/s\n");
    // Unread: the reads of the next 100 ms, 1 ms apart.
    EXPECT_NE(run.err.find(UnreadLine("can0", 100)), std::string::npos)
        << run.err;
  }
}

TEST(FdReceiveRunTest, DropsClassicFrames) {
  EXPECT_EQ(
      ReceiveThenStop<FdVariant>(
          {{BytesOf(can_frame{})}, Frame<FdVariant>(3, {})}, -1, {"-S", "1"}),
      "Testing...\nstand_data    00000003 0 \n\nreceive frames:1\n");
}

TYPED_TEST(ReceiveRunTest, JudgesTheSequenceOfAGrowModeRunInEveryMode) {
  using V = TypeParam;
  const std::string judged =
      "sequence of can0:10 frames, identifiers 7FA to 003, 1 frame per step, "
      "none missing, repeated or out of order\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
      {{"-S", "0"}, judged},
      {{"-S", "1"}, judged},
      {{"-S", "2", "-p", "/dev/null"}, judged},
      {{"-f"}, ""},  // one identifier in 256: nothing to judge
  };
  for (const auto& row : rows) {
    TesterHarness<V> run;
    Fake().reads.clear();
    for (uint32_t id = 0x7FA; id != 0x004; id = (id + 1) & CAN_SFF_MASK) {
      Fake().reads.push_back(Frame<V>(
          id, {static_cast<unsigned char>(id), static_cast<unsigned char>(id >> 8),
               0, 0}));
    }
    InterruptWhenIdle();
    ASSERT_TRUE(run.Init(row.first));
    EXPECT_TRUE(run.Test());
    EXPECT_EQ(run.err, row.second) << row.first[0];
  }
}
