// SPDX-License-Identifier: MIT
#include "test/SequenceCheck.h"

#include <gtest/gtest.h>
#include <linux/can.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "test/SequenceLine.h"

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

// The frames of a grow-mode send run that came in the order of `steps`.
Frames GrownFrames(const Steps& steps, uint32_t flags = 0,
                   uint32_t first = 0x100, int length = 8) {
  const uint32_t mask =
      (flags & CAN_EFF_FLAG) != 0 ? CAN_EFF_MASK : CAN_SFF_MASK;
  Frames frames;
  for (int64_t step : steps) {
    canfd_frame frame{};
    const uint32_t id = (first + static_cast<uint32_t>(step)) & mask;
    frame.can_id = flags | id;
    frame.len = static_cast<__u8>(length);
    std::memset(frame.data, 0xA5, sizeof frame.data);
    std::memcpy(frame.data, &id, 4);
    frames.push_back(frame);
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
  const SequenceTotals totals =
      check.Finish(static_cast<int64_t>(frames.size()));
  return SequenceLine("can0", totals) + ForeignLine(totals);
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
       GrownFrames(Range(0, 2), CAN_RTR_FLAG, 0, 3),
       Line("3 frames, identifiers 000 to 002", kWhole)},
      {"one byte of identifier", GrownFrames(Range(0xFE, 0x101), 0, 0, 1),
       Line("4 frames, identifiers 0FE to 101", kWhole)},
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

// Random losses, repeats and swaps against counts kept per step; frames from
// outside of any shape around them.
TEST(SequenceCheckTest, AccountsForRandomFaultsAndIgnoresRandomFrames) {
  std::mt19937 random(20261207);  // 32-bit results
  for (int round = 0; round < 200; ++round) {
    const int perStep = 1 + round % 3;
    Steps steps;
    for (int64_t step = 0; step < 600; ++step) {
      for (int i = 0; i < perStep; ++i) {
        const auto fault = random() % 40;
        if (fault != 0 || step == 0 || step == 599) steps.push_back(step);
        if (fault == 1) steps.push_back(step);
      }
    }
    for (size_t at = 1; at + 1 < steps.size(); at += 2 + random() % 50) {
      std::swap(steps[at], steps[at + 1]);
    }
    std::map<int64_t, int64_t> counts;
    int64_t missing = 0, repeated = 0, late = 0, latest = -1;
    for (int64_t step : steps) {
      ++counts[step];
      if (step < latest) ++late;
      latest = std::max(latest, step);
    }
    for (int64_t step = 0; step < 600; ++step) {
      const int64_t count = counts[step];
      if (count > perStep) repeated += count - perStep;
      if (count < perStep && step > 0 && step < 599) missing += perStep - count;
    }
    Frames frames = GrownFrames(steps, round % 2 == 0 ? 0 : CAN_EFF_FLAG);
    for (int junk = 0; junk < 20; ++junk) {
      canfd_frame frame{};
      frame.can_id = static_cast<uint32_t>(random());
      frame.len = static_cast<__u8>(5 + random() % 251);
      for (unsigned char& byte : frame.data)
        byte = static_cast<unsigned char>(random());
      frames.insert(
          frames.begin() + static_cast<long>(random() % frames.size()), frame);
    }
    SequenceCheck check(sizeof(canfd_frame::data));
    for (const canfd_frame& frame : frames) check.Take(frame);
    const SequenceTotals t = check.Finish(static_cast<int64_t>(frames.size()));
    SCOPED_TRACE(round);
    EXPECT_EQ(t.sequences, 1);
    EXPECT_EQ(t.mostPerStep, static_cast<uint64_t>(perStep));
    EXPECT_EQ(t.missing, missing);
    EXPECT_EQ(t.repeated, repeated);
    EXPECT_EQ(t.outOfOrder, late);
    EXPECT_EQ(t.foreign, 20);
  }
  // Nothing but random frames, every length byte included, many of them
  // too short to carry their identifier: nothing to say.
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
  const SequenceTotals t = check.Finish(100000);
  EXPECT_GT(t.sequences, 0);
  EXPECT_EQ(SequenceLine("can0", t) + ForeignLine(t), "");
}
