// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <limits>

#include "verdict/StepHistogram.h"
#include "verdict/VerdictReport.h"

// One grow-mode sequence as it ended.
struct SequenceResult {
  uint32_t kindBits = 0;
  uint32_t idMask = 0;
  unsigned length = 0;
  int fill = -1;
  int64_t order = 0;  // when its first frame came
  int64_t frames = 0;
  // It rose by a step at least: without that, one frame of other traffic
  // that carries its identifier could make a sequence.
  bool rose = false;
  // Its frames may belong to two sequences, or it may have gone on unseen.
  bool doubt = false;
  uint32_t firstId = 0;
  uint32_t lastId = 0;
  StepHistogram::Verdict perStep;
  int64_t outOfOrder = 0;
  EmptySteps places[ShapeTotals::kPlaces] = {};
  int placeCount = 0;
  bool morePlaces = false;
  ReceivedFrame sample;  // its first frame
};

// The totals of the sequences as they end, by kind, length and fill byte.
// A shape gets a line once a sequence of it rose; the frames of the others
// are of no sequence.
class GrowTally {
 public:
  void Add(const SequenceResult& sequence);

  // The frames of the shapes with a line.
  int64_t Frames() const;
  // A line per shape in the order they began, at most `most`; past the
  // last, those that began later share it. Returns the lines' count.
  int Lines(ShapeTotals* lines, int most) const;
  // The first frame of a shape without a line, and when it came; INT64_MAX
  // when there was none.
  int64_t FirstUnrisenIndex() const;
  const ReceivedFrame& FirstUnrisen() const;

 private:
  // Shapes kept apart; past this many, the later ones share the last.
  static constexpr int kShapes = 16;

  ShapeTotals m_shapes[kShapes];
  bool m_rose[kShapes] = {};
  ReceivedFrame m_samples[kShapes];  // each shape's first frame
  int m_shapeCount = 0;
};
