// SPDX-License-Identifier: MIT
#include "test/Unattended.h"

#include <gtest/gtest.h>
#include <linux/can.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "testsupport/ChannelTestSupport.h"
#include "testsupport/FakeClock.h"
#include "testsupport/TesterHarness.h"
#include "time/Clock.h"

namespace {

template <class Variant>
FakeSystem::Arrival Frame(canid_t id, int64_t at = -1) {
  using Image = typename Variant::Channel::Image;
  return {ImageBytes<Image>(id, 1, {0x11}), at};
}

std::string FileText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

TEST(UnattendedOptionsTest, TakesCountsAndSecondsStrictly) {
  const struct {
    std::vector<std::string> words;
    bool accepted;
    int64_t frames, quiet, duration;
  } rows[] = {
      {{"--number", "5"}, true, 5, 0, 0},
      {{"--number", "5x"}, false, 0, 0, 0},
      {{"--number", "-1"}, false, 0, 0, 0},
      {{"--number", "99999999999999999999"}, false, 0, 0, 0},
      {{"--quiet-for", "0.5"}, true, 0, 500000, 0},
      {{"--duration", "1."}, true, 0, 0, 1000000},
      {{"--du", "0.000001"}, true, 0, 0, 1},
      {{"--duration", "1.0000001"}, false, 0, 0, 0},
      {{"--duration", ".5"}, false, 0, 0, 0},
      {{"--duration", "1e3"}, false, 0, 0, 0},
      {{"--duration", "100000001"}, false, 0, 0, 0},
      {{"-w", "--duration", "3"}, true, 0, 0, 3000000},
      {{"-w", "--number", "3"}, false, 0, 0, 0},
      {{"-w", "--quiet-for", "3"}, false, 0, 0, 0},
      {{"-w", "--journal", "x"}, false, 0, 0, 0},
  };
  for (const auto& row : rows) {
    TesterHarness<ClassicVariant> run;
    EXPECT_EQ(run.Init(row.words), row.accepted) << row.words[1];
    if (!row.accepted) continue;
    const UnattendedOptions& options = run.tester.m_unattended;
    EXPECT_EQ(options.frames, row.frames) << row.words[1];
    EXPECT_EQ(options.quietMicros, row.quiet) << row.words[1];
    EXPECT_EQ(options.durationMicros, row.duration) << row.words[1];
  }
}

template <class Variant>
class UnattendedRunTest : public testing::Test {
 protected:
  // Runs `words`; returns the standard output after "Testing...".
  std::string Run(const std::vector<std::string>& words) {
    EXPECT_TRUE(m_run.Init(words));
    m_run.Test();
    return m_run.out.substr(std::string("Testing...\n").size());
  }
  TesterHarness<Variant> m_run;
};
TYPED_TEST_SUITE(UnattendedRunTest, Variants, );

// Five frames waiting: the run ends at the third, the rest left unread,
// and says so as after Ctrl-C.
TYPED_TEST(UnattendedRunTest, EndsAfterItsNumberOfFrames) {
  using V = TypeParam;
  for (canid_t i = 1; i <= 5; ++i) Fake().reads.push_back(Frame<V>(i, 1000 * i));
  const std::string out = this->Run({"--number", "3", "--verdict"});
  EXPECT_EQ(out.substr(0, 19), "\nreceive frames:3\nt");
  EXPECT_NE(this->m_run.err.find("unread frames:2,"), std::string::npos);
  EXPECT_EQ(this->m_run.tester.m_summary.ending, Ending::kFrames);
  EXPECT_EQ(this->m_run.tester.ExitStatus(), 2);  // the unread frames
}

// A frame, then reads that find nothing, each 300 ms later: the run ends
// once a second has passed without a frame, and not much after.
TYPED_TEST(UnattendedRunTest, EndsAfterItsQuietTime) {
  using V = TypeParam;
  Fake().reads = {Frame<V>(1, 0)};
  Fake().whenIdle = [] { SetFakeClock(ClockMicros() + 300000); };
  this->Run({"--quiet-for", "1", "--verdict"});
  EXPECT_EQ(this->m_run.tester.m_summary.ending, Ending::kQuiet);
  // The loop's reads after the frame each came 300 ms later.
  const auto reads =
      std::count(Fake().calls.begin(), Fake().calls.end(), "read") - 1;
  EXPECT_GE(reads * 300000, 1000000);
  EXPECT_LE(reads * 300000, 1000000 + 2 * 300000);
  // Reads wait no longer than a twentieth of the quiet time: the socket's
  // time-out set after the set-up's 5 seconds.
  const FakeSystem::Bytes& look = Fake().options.back().second;
  ASSERT_EQ(Fake().options.back().first, "SO_RCVTIMEO");
  EXPECT_EQ(look, BytesOf(timeval{0, 50000}));
  EXPECT_EQ(this->m_run.tester.ExitStatus(), 0);
}

// The alarm of --duration ends either run as Ctrl-C does.
TYPED_TEST(UnattendedRunTest, EndsWhenItsDurationIsOver) {
  using V = TypeParam;
  Fake().reads = {Frame<V>(1, 0), Frame<V>(2, 100)};
  Fake().whenIdle = [] { raise(SIGALRM); };
  EXPECT_EQ(this->Run({"--duration", "2.5"}), "\nreceive frames:2\ntime:100 us\nspeed:20000 f/s\n");
  EXPECT_EQ(Fake().alarms, (std::vector<int64_t>{2500000, 0}));
  EXPECT_EQ(this->m_run.tester.m_summary.ending, Ending::kDuration);

  TesterHarness<V> send;
  Fake().afterWrite = [] {
    if (Fake().written.size() == 4) raise(SIGALRM);
  };
  ASSERT_TRUE(send.Init({"-w", "--duration", "0.25", "--verdict"}));
  send.Test();
  EXPECT_EQ(send.out.substr(0, 26), "Testing...\n\nsend frames:4\n");
  EXPECT_EQ(Fake().alarms, (std::vector<int64_t>{250000, 0}));
  EXPECT_EQ(send.tester.m_summary.ending, Ending::kDuration);
  EXPECT_EQ(send.tester.ExitStatus(), 0);
}

// Each frame counted, with the kernel's time, in candump's log format.
TYPED_TEST(UnattendedRunTest, LogsTheFramesItCounts) {
  using V = TypeParam;
  char path[] = "/tmp/journal-XXXXXX";
  close(mkstemp(path));
  Fake().reads = {Frame<V>(0x123), Frame<V>(CAN_EFF_FLAG | 0x1234)};
  Fake().reads[0].stamp = {1700000000, 42};
  Fake().reads[1].stamp = {1700000001, 999999};
  Fake().reads.push_front({{1, 2, 3}});  // no whole frame: neither counted nor logged
  InterruptWhenIdle();
  this->Run({"-S", "1", "--journal", path});
  const std::string flags = V::kFd ? "#0" : "";
  EXPECT_EQ(FileText(path), "(1700000000.000042) can0 123#" + flags +
                                "11\n(1700000001.999999) can0 00001234#" +
                                flags + "11\n");
  EXPECT_NE(this->m_run.out.find("stand_data    00000123 1 11 \n"),
            std::string::npos);
  EXPECT_NE(this->m_run.template Option<int>("SO_TIMESTAMP"), 0);
  unlink(path);
}

// Without --verdict the specified statuses; with it 0, 2, or 1 for a test
// that could not be made or lost its output.
TYPED_TEST(UnattendedRunTest, SaysPassOrFailInItsExitStatus) {
  using V = TypeParam;
  const struct {
    std::vector<std::string> words;
    int frames;
    std::vector<ssize_t> writes;
    int status;
  } rows[] = {
      {{}, 0, {}, 0},
      {{"-w", "-C", "3"}, 0, {}, 1},
      {{"--verdict"}, 2, {}, 0},
      {{"--verdict"}, 0, {}, 2},
      {{"--verdict", "--number", "3"}, 2, {}, 2},
      {{"--verdict", "-S", "2", "-p", "/dev/full"}, 2, {}, 1},
      {{"--verdict", "-S", "2", "-p", "/nonexistent/dir/f"}, 2, {}, 1},
      {{"-w", "-C", "3", "--verdict"}, 0, {}, 0},
      {{"-w", "-C", "3", "--verdict"}, 0, {-ENOBUFS}, 2},
  };
  for (const auto& row : rows) {
    TesterHarness<V> run;
    for (canid_t i = 0; i < static_cast<canid_t>(row.frames); ++i) Fake().reads.push_back(Frame<V>(i));
    Fake().writeResults.assign(row.writes.begin(), row.writes.end());
    InterruptWhenIdle();
    ASSERT_TRUE(run.Init(row.words));
    run.Test();
    EXPECT_EQ(run.tester.ExitStatus(), row.status)
        << testing::PrintToString(row.words) << " " << row.frames;
  }
}
