// SPDX-License-Identifier: MIT
#include "verdict/MarkedRuns.h"

#include <gtest/gtest.h>
#include <linux/can.h>

#include <random>
#include <string>
#include <vector>

#include "report/MarkedRunLine.h"
#include "testsupport/MarkedStreamTesting.h"
#include "verdict/FrameVerdict.h"

namespace {

using RunOfFrames = MarkedStreamTesting::Run;
using Faults = MarkedStreamTesting::Faults;

template <class Image>
VerdictReport Judged(const std::vector<canfd_frame>& frames) {
  FrameVerdict verdict(sizeof(Image::data));
  for (const canfd_frame& frame : frames) {
    Image image{};
    std::memcpy(&image, &frame, sizeof image);
    verdict.Take(image);
  }
  return verdict.Finish(static_cast<int64_t>(frames.size()));
}

// Every run's line holds its truth; `exact`: none reads cannot tell.
void ExpectTruth(const MarkedStreamTesting& stream, const VerdictReport& report,
                 bool exact) {
  const auto& truths = stream.Truths();
  ASSERT_EQ(report.markedCount, static_cast<int>(truths.size()));
  EXPECT_EQ(report.other, stream.OtherFrames());
  for (const MarkedStreamTesting::Truth& truth : truths) {
    const MarkedTotals* line = nullptr;
    for (int i = 0; i < report.markedCount; ++i) {
      if (report.marked[i].tag == truth.tag) line = &report.marked[i];
    }
    ASSERT_NE(line, nullptr);
    SCOPED_TRACE(MarkedRunLines("can0", report));
    EXPECT_EQ(line->frames, truth.frames);
    EXPECT_EQ(line->latest, truth.latest);
    EXPECT_EQ(line->lastCame, truth.lastCame);
    EXPECT_EQ(line->outOfOrder, truth.outOfOrder);
    EXPECT_EQ(line->damaged, truth.damaged);
    if (exact) {
      EXPECT_TRUE(line->exact);
    }
    if (line->exact) {
      EXPECT_EQ(line->missing, truth.missing);
      EXPECT_EQ(line->repeated, truth.repeated);
    }
  }
}

}  // namespace

// Streams made at random, judged against the truth of what became of each
// number: 1 to 8 senders at once, even of one shape, each of up to three
// runs one after the other; loss, duplication, damage, reordering up to
// 4,096 frames back, outages of up to 5.4 million frames, 1 to 1,000
// frames a step of grown identifiers that wrap; other traffic among them.
TEST(MarkedRunsTest, TellTheTruthOfRandomStreams) {
  int64_t frames = 0;
  for (uint32_t seed = 1; seed <= 120; ++seed) {
    MarkedStreamTesting stream(seed);
    const uint32_t senders = 1 + stream.Random(8);
    const bool fd = seed % 2 == 0;
    const uint32_t runsEach = std::max(1u, 8 / senders - stream.Random(2));
    for (uint32_t sender = 0; sender < senders; ++sender) {
      std::vector<RunOfFrames> runs;
      for (uint32_t i = 0; i < std::min(runsEach, 3u); ++i) {
        RunOfFrames run{1 + stream.Random(seed % 7 == 0 ? 60000 : 6000), true, 1, {}};
        run.counted = stream.Random(4) != 0;
        run.perStep = stream.Random(3) == 0 ? 1 + static_cast<int>(stream.Random(1000)) : 1;
        Faults& f = run.faults;
        f.loss = stream.Random(100) / 100.0 * (seed % 5 == 0 ? 0.99 : 0.3);
        f.twice = stream.Random(10) / 100.0;
        f.damage = stream.Random(5) / 100.0;
        f.garble = stream.Random(3) / 100.0;
        f.late = stream.Random(20) / 100.0;
        // Up to 4,096 frames back, with the numbers lost between in the
        // window of 65,536 numbers.
        f.lateBy = 1 + stream.Random(static_cast<uint32_t>(
                           std::min(4096.0, 60000 * (1 - f.loss))));
        if (seed % 3 == 0) {
          f.gapAt = stream.Random(static_cast<uint32_t>(run.frames));
          f.gapFrames = 1 + stream.Random(5400000);
          run.frames += f.gapFrames;
        }
        runs.push_back(run);
      }
      // Senders at once alike in kind, length and fill byte now and then.
      const uint32_t flags = stream.Random(2) == 0 ? 0 : CAN_EFF_FLAG;
      const unsigned length = fd ? 8 + 4 * stream.Random(15) : 8;
      stream.AddSender(flags | stream.Random(0x800), stream.Random(2) == 0,
                       length > 64 ? 64 : length, fd && stream.Random(2) == 0,
                       static_cast<unsigned char>(seed % 4 == 0 ? 0x55 : 0x11 * sender),
                       runs);
    }
    const std::vector<canfd_frame> all = stream.Frames(stream.Random(3000));
    frames += static_cast<int64_t>(all.size());
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    if (fd) {
      ExpectTruth(stream, Judged<canfd_frame>(all), true);
    } else {
      ExpectTruth(stream, Judged<can_frame>(all), true);
    }
  }
  EXPECT_GT(frames, 3000000);
}

// Beyond the bounds the numbers tell, and where a late frame's number was
// not kept, the figures read cannot tell, never a wrong number.
TEST(MarkedRunsTest, SayCannotTellBeyondWhatTheNumbersTell) {
  struct Row {
    const char* name;
    RunOfFrames run;
    bool exact;
  };
  const std::vector<Row> rows = {
      {"a gap of 9 million", {9100000, true, 1, {0, 0, 0, 0, 0, 1, 5000, 9000000}}, false},
      {"a gap of 8 million", {8100000, true, 1, {0, 0, 0, 0, 0, 1, 5000, 8000000}}, true},
      {"late by 100,000, little lost",
       {300000, true, 1, {0.0001, 0, 0, 0, 0.001, 100000}}, true},
      {"late by 100,000, much lost",
       {300000, true, 1, {0.2, 0.01, 0, 0, 0.001, 100000}}, false},
  };
  for (const Row& row : rows) {
    MarkedStreamTesting stream(7);
    stream.AddSender(0x100, true, 8, false, 0, {row.run});
    SCOPED_TRACE(row.name);
    const VerdictReport report = Judged<can_frame>(stream.Frames(0));
    ExpectTruth(stream, report, row.exact);
    EXPECT_EQ(report.marked[0].exact, row.exact);
  }
}

// A frame of other traffic passes the check about once in 2^20; a plain or
// grow-mode run's frames, alike run after run, never begin a run.
TEST(MarkedRunsTest, TellOtherTrafficFromMarkedFrames) {
  std::mt19937_64 random(20261208);
  constexpr int64_t kFrames = int64_t{1} << 22;
  FrameVerdict verdict(sizeof(canfd_frame::data));
  for (int64_t i = 0; i < kFrames; ++i) {
    canfd_frame frame{};
    frame.can_id = static_cast<uint32_t>(random()) & (CAN_EFF_FLAG | CAN_EFF_MASK);
    frame.len = static_cast<__u8>(8 + random() % 57);
    for (unsigned char& byte : frame.data) byte = static_cast<unsigned char>(random());
    verdict.Take(frame);
  }
  const VerdictReport report = verdict.Finish(kFrames);
  // Expected 4; 16 or more once in a million.
  EXPECT_LT(report.marked[report.markedCount > 0 ? report.markedCount - 1 : 0].runs +
                report.markedCount - 1,
            16);

  // A plain and a grow-mode payload that pass the check by chance, found
  // among the extended identifiers: their copies begin no run.
  const auto passes = [](const canfd_frame& frame) {
    const uint64_t word = LoadMark(frame.data);
    return MarkCheck(MarkFrameWord(frame.can_id, frame.len, false, 0),
                     MarkNumberOf(word), MarkTagOf(word), MarkLastOf(word)) ==
           MarkCheckOf(word);
  };
  for (const bool grown : {false, true}) {
    canfd_frame frame{CAN_EFF_FLAG, 8, 0, 0, 0, {}};
    std::memset(frame.data, 0xA5, 8);
    SCOPED_TRACE(grown ? "grown" : "plain");
    // One in 2^20 passes: 2^24 tries find one but once in 10^6 searches.
    do {
      ++frame.can_id;
      const uint32_t id = frame.can_id & CAN_EFF_MASK;
      if (grown) std::memcpy(frame.data, &id, 4);
    } while (!passes(frame) && (frame.can_id & CAN_EFF_MASK) < (1u << 24));
    ASSERT_TRUE(passes(frame));
    FrameVerdict copies(sizeof(canfd_frame::data));
    for (int i = 0; i < 3; ++i) copies.Take(frame);
    EXPECT_EQ(copies.Finish(3).markedCount, 0);
  }
}

// A run that ended, its tag taken by one of eight others, whose frames
// come again: a new run, whose numbers before its first came in the old
// one, so that its missing and repeated cannot be told.
TEST(MarkedRunsTest, TellATagSeenAgainCannotBeJudged) {
  const auto marked = [](uint32_t tag, uint64_t number) {
    canfd_frame frame{0x123, 8, 0, 0, 0, {}};
    StoreMark(frame.data, MarkWord(MarkFrameWord(0x123, 8, false, 0), number,
                                   tag, false));
    return frame;
  };
  FrameVerdict verdict(sizeof(canfd_frame::data));
  for (uint64_t number = 0; number < 10; ++number) verdict.Take(marked(0x111, number));
  for (uint32_t tag = 0x200; tag < 0x200 + MarkedRuns::kRuns; ++tag) {
    verdict.Take(marked(tag, 0));
  }
  for (uint64_t number = 10; number < 20; ++number) verdict.Take(marked(0x111, number));
  const VerdictReport report = verdict.Finish(20 + MarkedRuns::kRuns);
  ASSERT_EQ(report.markedCount, VerdictReport::kLines);
  EXPECT_EQ(report.marked[0].tag, 0x111u);
  EXPECT_TRUE(report.marked[0].exact);
  // The later runs share the last line, the run seen again among them.
  EXPECT_FALSE(report.marked[VerdictReport::kLines - 1].exact);
}
