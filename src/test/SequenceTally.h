// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <limits>

#include "test/SequenceTotals.h"

// The totals of the sequences as they end, one line per kind, length and
// fill byte, and the first frame that belongs to none.
class SequenceTally {
 public:
  // A sequence ended: its totals, with `sequences` 1.
  void AddSequence(const SequenceTotals& sequence);
  // A frame of no sequence came as the `index`th checked, or began one that
  // never rose.
  void AddForeign(int64_t index, const ReceivedFrame& frame);

  // `taken`: every frame checked.
  SequenceReport Report(int64_t taken) const;

 private:
  SequenceTotals m_lines[SequenceReport::kLines];
  int m_lineCount = 0;
  int64_t m_firstForeignIndex = std::numeric_limits<int64_t>::max();
  ReceivedFrame m_firstForeign;
};
