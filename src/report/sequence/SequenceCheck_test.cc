// SPDX-License-Identifier: MIT
#include "report/sequence/SequenceCheck.h"

#include <gtest/gtest.h>
#include <linux/can.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "can/FrameImage.h"
#include "report/sequence/SequenceLine.h"
#include "testsupport/GrowStreamTesting.h"

namespace {

using Steps = std::vector<int64_t>;
using Frames = std::vector<canfd_frame>;

Steps Range(int64_t first, int64_t last) {
  Steps steps;
  for (int64_t step = first; step <= last; ++step) steps.push_back(step);
  return steps;
}

Steps Cat(const std::vector<Steps>& parts) {
  Steps steps;
  for (const Steps& part : parts)
    steps.insert(steps.end(), part.begin(), part.end());
  return steps;
}

Frames Cat2(Frames a, const Frames& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The frames of a grow-mode send run that came in the order of `steps`.
Frames GrownFrames(const Steps& steps, uint32_t flags = 0,
                   uint32_t first = 0x100, int length = 8, int fill = 0xA5) {
  const uint32_t mask = IdentifierMaskOf(flags);
  Frames frames;
  for (int64_t step : steps) {
    frames.push_back(GrowStreamTesting::Frame(
        flags, (first + static_cast<uint32_t>(step)) & mask,
        static_cast<unsigned>(length), static_cast<unsigned char>(fill)));
  }
  return frames;
}

// The lines that the check of `frames`, as images of type Image, gives.
template <class Image = canfd_frame>
std::string JudgedLines(const Frames& frames) {
  SequenceCheck check(sizeof(Image::data));
  for (const canfd_frame& frame : frames) {
    Image image{};
    std::memcpy(&image, &frame, sizeof image);
    check.Take(image);
  }
  const SequenceReport report =
      check.Finish(static_cast<int64_t>(frames.size()));
  return SequenceLines("can0", report) + ForeignLine(report);
}

const std::string kWhole = "none missing, repeated or out of order\n";

// The sequence line of one frame a step.
std::string Line(const std::string& frames, const std::string& judgement) {
  return "sequence of can0:" + frames + ", 1 frame per step, " + judgement;
}

}  // namespace

TEST(SequenceCheckTest, JudgesStreamsOfFrames) {
  struct Row {
    const char* name;
    Frames frames;
    std::string lines;
  };
  const auto damaged = [](Frames frames, size_t at, int byte) {
    frames[at].data[byte] ^= 1;
    return frames;
  };
  const auto retyped = [](Frames frames, size_t at, uint32_t flags) {
    frames[at].can_id |= flags;
    return frames;
  };
  const std::vector<Row> rows = {
      {"whole", GrownFrames(Range(0, 9)),
       Line("10 frames, identifiers 100 to 109", kWhole)},
      {"lost", GrownFrames({0, 1, 2, 3, 4, 7, 8, 9}),
       Line("8 frames, identifiers 100 to 109",
            "2 missing (2 after 104), 0 repeated, 0 out of order\n")},
      {"the first two swapped", GrownFrames({1, 0, 2}),
       Line("3 frames, identifiers 100 to 102",
            "0 missing, 0 repeated, 1 out of order\n")},
      {"repeated and late", GrownFrames({0, 1, 1, 2, 4, 3, 5}),
       Line("7 frames, identifiers 100 to 105",
            "0 missing, 1 repeated, 1 out of order\n")},
      {"three a step, joined and left within a step",
       GrownFrames({0, 1, 1, 1, 2, 2, 3, 3, 3, 4}),
       "sequence of can0:10 frames, identifiers 100 to 104, 3 frames per "
       "step, 1 missing (1 after 101), 0 repeated, 0 out of order\n"},
      {"places after the first three", GrownFrames({0, 2, 4, 6, 8, 10}),
       Line("6 frames, identifiers 100 to 10A",
            "5 missing (1 after 100, 1 after 102, 1 after 104, ...), 0 "
            "repeated, 0 out of order\n")},
      {"a gap wider than the window",
       GrownFrames(Cat({Range(0, 9), Range(300, 309)})),
       Line("20 frames, identifiers 100 to 235",
            "290 missing (290 after 109), 0 repeated, 0 out of order\n")},
      {"later than the window",
       GrownFrames(Cat({Range(0, 199), {10}, Range(200, 209)})),
       Line("211 frames, identifiers 100 to 1D1",
            "0 missing, 0 repeated, 1 out of order\n")},
      {"started over", GrownFrames(Cat({Range(0, 199), Range(0, 9)})),
       Line("210 frames in 2 sequences, identifiers 100 to 109", kWhole)},
      {"standard identifiers wrap", GrownFrames(Range(0, 3), 0, 0x7FE),
       Line("4 frames, identifiers 7FE to 001", kWhole)},
      {"extended identifiers wrap",
       GrownFrames(Range(0, 2), CAN_EFF_FLAG, CAN_EFF_MASK),
       Line("3 frames, identifiers 1FFFFFFF to 00000001", kWhole)},
      {"remote frames carry no data",
       GrownFrames(Range(0, 4), CAN_RTR_FLAG, 0, 3),
       Line("5 frames, identifiers 000 to 004", kWhole)},
      {"one byte of identifier", GrownFrames(Range(0xFE, 0x102), 0, 0, 1),
       Line("5 frames, identifiers 0FE to 102", kWhole)},
      {"too few weak frames", GrownFrames(Range(0, 3), CAN_RTR_FLAG, 0, 3), ""},
      {"a damaged frame",
       damaged(GrownFrames(Range(0, 9), 0, 0x100, 12), 5, 10),
       Line("9 frames, identifiers 100 to 109",
            "1 missing (1 after 104), 0 repeated, 0 out of order\n") +
           "not of the sequence:1, the first: stand_data    00000105 12 05 "
           "01 00 00 A5 A5 A5 A5 A5 A5 A4 A5 \n"},
      {"a damaged first frame", damaged(GrownFrames(Range(0, 3)), 0, 0),
       Line("3 frames, identifiers 101 to 103", kWhole) +
           "not of the sequence:1, the first: stand_data    00000100 8 01 01 "
           "00 00 A5 A5 A5 A5 \n"},
      {"another kind", retyped(GrownFrames(Range(0, 3)), 2, CAN_RTR_FLAG),
       Line("3 frames, identifiers 100 to 103",
            "1 missing (1 after 101), 0 repeated, 0 out of order\n") +
           "not of the sequence:1, the first: stand_remote  00000102 8 02 01 "
           "00 00 A5 A5 A5 A5 \n"},
      {"one identifier", GrownFrames({0, 0, 0}), ""},
      {"started again after more than half the identifiers",
       GrownFrames(Cat({Range(0, 1099), Range(0, 1099)})),
       Line("2200 frames in 2 sequences, identifiers 100 to 54B", kWhole)},
      {"127 steps late",
       GrownFrames(Cat({Range(0, 9), Range(11, 137), {10}, Range(138, 140)})),
       Line("141 frames, identifiers 100 to 18C",
            "0 missing, 0 repeated, 1 out of order\n")},
      {"128 steps late",
       GrownFrames(Cat({Range(0, 9), Range(11, 138), {10}, Range(139, 140)})),
       Line("141 frames, identifiers 100 to 18C",
            "1 missing (1 after 109), 0 repeated, 1 out of order\n")},
      {"a late repeat, and the rest of the latest step",
       GrownFrames({0, 0, 1, 1, 2, 2,  3, 3,  4,  4,  5,  5,  6,  6, 7,
                    7, 8, 8, 9, 9, 10, 9, 10, 11, 11, 12, 12, 13, 13}),
       "sequence of can0:29 frames, identifiers 100 to 10D, 2 frames per "
       "step, 0 missing, 1 repeated, 1 out of order\n"},
      {"two kinds",
       Cat2(GrownFrames(Range(0, 4), CAN_EFF_FLAG, 0x500, 12, 0x5A),
            GrownFrames(Range(0, 9))),
       "sequence of can0 (expand_data, 12 bytes, fill 5A):5 frames, "
       "identifiers 00000500 to 00000504, 1 frame per step, " +
           kWhole +
           "sequence of can0 (stand_data, 8 bytes, fill A5):10 frames, "
           "identifiers 100 to 109, 1 frame per step, " +
           kWhole},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(JudgedLines(row.frames), row.lines) << row.name;
    if (row.frames[0].len <= 8) {
      EXPECT_EQ(JudgedLines<can_frame>(row.frames), row.lines) << row.name;
    }
  }
  // Plain-mode frames: the fill byte everywhere.
  Frames plain = GrownFrames(Range(0, 9));
  for (canfd_frame& frame : plain) std::memset(frame.data, 0xA5, 8);
  EXPECT_EQ(JudgedLines(plain), "");
}

// Streams made at random with known faults, judged against the truth of
// how each was made: send runs one after the other, several senders at
// once, loss and duplication, runs of late frames, other nodes' traffic.
TEST(SequenceCheckTest, TellsTheTruthOfRandomStreams) {
  const int64_t lengths[] = {2,   3,   7,    60,   127,  128,
                             129, 400, 1100, 2047, 2049, 2500};
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GrowStreamTesting stream(seed);
    const uint32_t profile = seed % 5;
    const uint32_t senders = profile == 1 ? 2 + stream.Random(3) : 1;
    for (uint32_t i = 0; i < senders; ++i) {
      const uint32_t flags = stream.Random(2) == 0 ? 0 : CAN_EFF_FLAG;
      // Senders at once differ by their fill byte: more than 4 bytes.
      const unsigned length = profile == 1 ? 5 + stream.Random(4)
                              : flags != 0 ? 4 + stream.Random(5)
                                           : 3 + stream.Random(6);
      GrowStreamTesting::Faults faults;
      std::vector<GrowStreamTesting::Run> runs;
      const int perStep =
          1 + static_cast<int>(stream.Random(profile == 2 ? 4 : 8));
      if (profile <= 1) {
        for (uint32_t run = 0, n = 1 + stream.Random(4); run < n; ++run) {
          stream.AddRun(&runs, lengths[stream.Random(std::size(lengths))],
                        perStep, IdentifierMaskOf(flags));
        }
      } else if (profile == 2) {
        // Heavy loss or duplication, decided over a whole run.
        runs.push_back({0, 5000, perStep});
        const double share = stream.Random(101) / 100.0;
        const bool twice = perStep == 1 || stream.Random(2) == 0;
        faults.loss =
            perStep == 1 || !twice ? share * (perStep == 1 ? 0.9 : 0.4) : 0;
        faults.twice = twice ? share * (perStep == 1 ? 0.1 : 0.05) : 0;
      } else if (profile == 4) {
        // A little of everything: loss, duplication, frames a step late.
        runs.push_back({0x700, 600, 1 + perStep % 3});
        faults = {0.025, 0.025, 20, 1, 1 + stream.Random(3)};
      } else {
        // Runs of late frames, within the window or beyond.
        runs.push_back({0x7F0, 3000, perStep});
        faults.lateRuns = 1 + static_cast<int>(stream.Random(5));
        faults.lateFrames = 1 + static_cast<int>(stream.Random(128));
        faults.lateSteps = stream.Random(2) == 0
                               ? 1 + stream.Random(static_cast<uint32_t>(
                                         127 - faults.lateFrames / perStep))
                               : 200 + stream.Random(150);
      }
      stream.AddSender(flags, length,
                       static_cast<unsigned char>(0x11 * (i + 1)), runs,
                       faults);
    }
    const std::vector<canfd_frame> frames = stream.Frames(
        seed % 3 == 0 || profile == 4 ? stream.Random(67) / 100.0 : 0);
    SequenceCheck check(sizeof(canfd_frame::data));
    for (const canfd_frame& frame : frames) check.Take(frame);
    const SequenceReport report =
        check.Finish(static_cast<int64_t>(frames.size()));
    SCOPED_TRACE(testing::Message()
                 << "seed " << seed << ": " << SequenceLines("can0", report));
    EXPECT_EQ(report.lineCount, static_cast<int>(senders));
    EXPECT_EQ(report.foreign, stream.OtherFrames());
    for (size_t i = 0; i < senders; ++i) {
      const SequenceTotals* line = stream.LineOf(report, i);
      ASSERT_NE(line, nullptr);
      const GrowStreamTesting::Truth& truth = stream.TruthOf(i);
      EXPECT_EQ(GrowStreamTesting::Counts(*line), truth.counts);
      for (int place = 0; place < line->placeCount; ++place) {
        const uint32_t step =
            (line->places[place].afterId + 1) & line->places[place].idMask;
        EXPECT_NE(std::count(truth.lacking.begin(), truth.lacking.end(), step),
                  0)
            << place;
      }
    }
  }
  // Nothing but random frames, every length byte included, many of them
  // too short to carry their identifier: nothing to say.
  std::mt19937 random(20261207);
  SequenceCheck check(sizeof(can_frame::data));
  for (int i = 0; i < 100000; ++i) {
    can_frame frame{};
    frame.can_id =
        static_cast<uint32_t>(random()) & (i % 2 == 0 ? ~0u : 0xC000003Fu);
    frame.len = static_cast<__u8>(random() % (i % 3 == 0 ? 256 : 3));
    for (unsigned char& byte : frame.data)
      byte = static_cast<unsigned char>(random() % 4);
    check.Take(frame);
  }
  const SequenceReport report = check.Finish(100000);
  EXPECT_EQ(SequenceLines("can0", report) + ForeignLine(report), "");
}
