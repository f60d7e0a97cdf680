// SPDX-License-Identifier: MIT
#include "verdict/GrowShapes.h"

#include <gtest/gtest.h>
#include <linux/can.h>

#include <string>
#include <vector>

#include "report/SequenceLine.h"
#include "testsupport/GrowStreamTesting.h"
#include "verdict/FrameVerdict.h"

namespace {

using GrowRun = GrowStreamTesting::Run;

VerdictReport Judged(const std::vector<canfd_frame>& frames) {
  FrameVerdict verdict(sizeof(canfd_frame::data));
  for (const canfd_frame& frame : frames) verdict.Take(frame);
  return verdict.Finish(static_cast<int64_t>(frames.size()));
}

// Every figure sender `i`'s line prints is its truth; `told`: none reads
// cannot tell.
void ExpectTruth(const GrowStreamTesting& stream, const VerdictReport& report,
                 size_t i, bool told) {
  const GrowStreamTesting::Truth& truth = stream.TruthOf(i);
  const ShapeTotals* line = stream.LineOf(report, i);
  SCOPED_TRACE(SequenceLines("can0", report));
  if (truth.sequences == 0) {
    EXPECT_EQ(line, nullptr);
    return;
  }
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->frames, truth.frames);
  const std::vector<std::pair<const Figure*, int64_t>> figures = {
      {&line->sequences, truth.sequences},
      {&line->missing, truth.missing},
      {&line->repeated, truth.repeated},
      {&line->outOfOrder, truth.outOfOrder}};
  for (const auto& figure : figures) {
    if (figure.first->known) {
      EXPECT_EQ(figure.first->value, figure.second);
    }
    if (told) {
      EXPECT_TRUE(figure.first->known);
    }
  }
  if (line->identifiersKnown) {
    EXPECT_EQ(line->firstId, truth.firstId);
    EXPECT_EQ(line->lastId, truth.lastId);
  }
  if (line->perStepKnown) {
    EXPECT_EQ(line->fewestPerStep, truth.fewestPerStep);
    EXPECT_EQ(line->mostPerStep, truth.mostPerStep);
  }
  if (told) {
    EXPECT_TRUE(line->identifiersKnown && line->perStepKnown);
  }
}

// Other nodes' traffic of fixed identifiers: CANopen's SYNC, a heartbeat,
// a value sent over and over.
void AddFixedTraffic(GrowStreamTesting* stream, int64_t each) {
  stream->AddOther({0x080, 0, 0, 0, 0, {}}, each);
  stream->AddOther({0x705, 1, 0, 0, 0, {0x05}}, each);
  stream->AddOther({0x181, 8, 0, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}}, each);
}

// A run of `steps` steps started again after the one before, from its
// first identifier; the one before ends more than 128 identifiers before
// it, as a restart that the check can tell apart needs.
std::vector<GrowRun> Restarted(GrowStreamTesting* stream, int runs, int perStep,
                           double loss, double twice) {
  std::vector<GrowRun> list;
  const uint32_t first = stream->Random(0x800);
  for (int i = 0; i < runs; ++i) {
    const int64_t steps =
        runs > 1 && i < runs - 1 ? 200 + stream->Random(1700) : 20 + stream->Random(1880);
    list.push_back({first, steps, perStep, loss, twice});
  }
  return list;
}

}  // namespace

// The common cases: one sender, runs of 20 steps and more, 1 to 4 frames a
// step, up to a tenth lost and a hundredth doubled, started again from the
// first identifier after 200 steps, with fixed traffic of other nodes: the
// figures are the truth, and none reads cannot tell.
TEST(GrowShapesTest, TellCommonCasesExactly) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    GrowStreamTesting stream(seed);
    const int perStep = 1 + static_cast<int>(seed % 4);
    const bool extended = seed % 3 == 0;
    stream.AddSender(extended ? CAN_EFF_FLAG : 0, 4 + stream.Random(5), 0xA5,
                     Restarted(&stream, 1 + static_cast<int>(stream.Random(3)),
                               perStep, stream.Random(11) / 100.0,
                               stream.Random(2) / 100.0));
    AddFixedTraffic(&stream, stream.Random(300));
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    ExpectTruth(stream, Judged(stream.Frames()), 0, true);
  }
}

// The streams on which the check used to state faults that never happened:
// each figure printed is the truth, or reads cannot tell.
TEST(GrowShapesTest, NeverStateWhatDidNotHappen) {
  struct Family {
    const char* name;
    std::vector<std::vector<GrowRun>> senders;
  };
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GrowStreamTesting stream(seed);
    const uint32_t first = stream.Random(0x800);
    const auto late = [&](GrowRun run) {
      run.lateFrames = 2;
      run.lateSteps = 3;
      return run;
    };
    const std::vector<Family> families = {
        {"a short lossy run started again",
         {{{0, 100, 1, 0.6}, {0, 100, 1}}}},
        {"128 + 129/2 steps, two a step, started again",
         {{{0, 192, 2}, {0, 192, 2}}}},
        {"late frames just before a restart",
         {{late({first, 300, 1}), {first, 300, 1}}}},
        {"many frames a step, some lost",
         {{{first, 300, 49 + static_cast<int>(stream.Random(60)), 0.1}}}},
        {"a gap of more than 128 steps, then one step",
         {{{first, 300, 1}, {(first + 500) & 0x7FF, 1, 1}}}},
        {"2,000 steps from 000, twice", {{{0, 2000, 1}, {0, 2000, 1}}}},
        {"heavy faults", {{{first, 20 + stream.Random(2000),
                            1 + static_cast<int>(stream.Random(6)),
                            stream.Random(80) / 100.0, stream.Random(30) / 100.0}}}},
        {"two senders of one shape, far apart",
         {{{first, 400, 1}}, {{(first + 1024) & 0x7FF, 400, 1}}}},
        {"short runs started again", {{{first, 60, 1}, {first, 60, 1}}}},
        {"eight senders", {}},
    };
    const Family& family = families[seed % families.size()];
    std::vector<std::vector<GrowRun>> senders = family.senders;
    if (senders.empty()) {
      for (uint32_t i = 0; i < 8; ++i) senders.push_back({{first, 300, 1, 0.05}});
    }
    for (size_t i = 0; i < senders.size(); ++i) {
      const bool oneShape = family.senders.size() == 2;
      stream.AddSender(0, 8, static_cast<unsigned char>(oneShape ? 0x11 : 0x11 * (i + 1)),
                       senders[i]);
    }
    AddFixedTraffic(&stream, 100);
    // Remote frames polled in turn, and frames too short to carry their
    // identifier: no sequence, whatever their identifiers do.
    for (uint32_t id = 0x701; id <= 0x705; ++id) {
      stream.AddOther({CAN_RTR_FLAG | id, 0, 0, 0, 0, {}}, 50);
    }
    stream.AddOther({0, 65, 0, 0, 0, {}}, 200);
    const VerdictReport report = Judged(stream.Frames());
    SCOPED_TRACE(testing::Message() << "seed " << seed << ": " << family.name);
    if (family.senders.size() == 2) {
      // One line for both, of which no figure but the frames can be told.
      const ShapeTotals* line = stream.LineOf(report, 0);
      ASSERT_NE(line, nullptr);
      EXPECT_EQ(line->frames,
                stream.TruthOf(0).frames + stream.TruthOf(1).frames);
      EXPECT_FALSE(line->sequences.known || line->missing.known ||
                   line->repeated.known || line->outOfOrder.known);
      continue;
    }
    for (size_t i = 0; i < senders.size(); ++i) {
      ExpectTruth(stream, report, i, false);
    }
    EXPECT_LE(report.shapeCount, static_cast<int>(senders.size()));
  }
}
