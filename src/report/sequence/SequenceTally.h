// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <limits>

#include "report/sequence/SequenceTotals.h"

// The totals of the sequences as they end, by kind, length and fill byte,
// and the first frame that belongs to none.
class SequenceTally {
 public:
  // A sequence ended: its totals, with `sequences` 1.
  void AddSequence(const SequenceTotals& sequence);
  // A frame of no sequence came as the `index`th checked, or began one that
  // never rose.
  void AddForeign(int64_t index, const ReceivedFrame& frame);

  // A line per kind, length and fill byte in the order they began; past
  // the last, those that began later share it. `taken`: every frame
  // checked.
  SequenceReport Report(int64_t taken) const;

 private:
  // Shapes kept apart; past this many, the later ones share the last.
  static constexpr int kShapes = 2 * SequenceReport::kLines;

  SequenceTotals m_shapes[kShapes];
  int m_shapeCount = 0;
  int64_t m_firstForeignIndex = std::numeric_limits<int64_t>::max();
  ReceivedFrame m_firstForeign;
};
