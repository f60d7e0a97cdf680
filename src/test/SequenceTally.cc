// SPDX-License-Identifier: MIT
#include "test/SequenceTally.h"

#include <algorithm>

namespace {

bool SameShape(const SequenceTotals& a, const SequenceTotals& b) {
  return a.kindBits == b.kindBits && a.firstMask == b.firstMask &&
         a.length == b.length && a.fill == b.fill;
}

void Merge(SequenceTotals* line, const SequenceTotals& sequence) {
  if (!SameShape(*line, sequence)) line->mixed = true;
  line->sequences += 1;
  line->frames += sequence.frames;
  line->lastId = sequence.lastId;
  line->lastMask = sequence.lastMask;
  line->fewestPerStep = std::min(line->fewestPerStep, sequence.fewestPerStep);
  line->mostPerStep = std::max(line->mostPerStep, sequence.mostPerStep);
  line->missing += sequence.missing;
  line->repeated += sequence.repeated;
  line->outOfOrder += sequence.outOfOrder;
  line->placesKnown = line->placesKnown && sequence.placesKnown;
  for (int i = 0; i < sequence.placeCount; ++i) {
    if (line->placeCount < SequenceTotals::kPlaces) {
      line->places[line->placeCount++] = sequence.places[i];
    } else {
      line->morePlaces = true;
    }
  }
  line->morePlaces = line->morePlaces || sequence.morePlaces;
  line->weak = line->weak || sequence.weak;
  line->rises += sequence.rises;
  line->jumps += sequence.jumps;
  if (sequence.firstIndex < line->firstIndex) {
    line->firstIndex = sequence.firstIndex;
    line->firstFrame = sequence.firstFrame;
  }
}

// Remote frames and frames too short for the whole identifier fit a
// sequence by chance: random identifiers would make sequences full of
// jumps. A grow-mode run's frames mostly rise by one from the frame before.
bool Judged(const SequenceTotals& line) {
  return !line.weak || line.rises >= 2 * line.jumps;
}

}  // namespace

void SequenceTally::AddSequence(const SequenceTotals& sequence) {
  for (int i = 0; i < m_lineCount; ++i) {
    if (SameShape(m_lines[i], sequence)) {
      Merge(&m_lines[i], sequence);
      return;
    }
  }
  // Past the last line, the sequences of further shapes share it.
  if (m_lineCount == SequenceReport::kLines) {
    Merge(&m_lines[m_lineCount - 1], sequence);
    return;
  }
  m_lines[m_lineCount++] = sequence;
}

void SequenceTally::AddForeign(int64_t index, const ReceivedFrame& frame) {
  if (index < m_firstForeignIndex) {
    m_firstForeignIndex = index;
    m_firstForeign = frame;
  }
}

SequenceReport SequenceTally::Report(int64_t taken) const {
  SequenceReport report;
  report.foreign = taken;
  int64_t firstForeign = m_firstForeignIndex;
  report.firstForeign = m_firstForeign;
  for (int i = 0; i < m_lineCount; ++i) {
    const SequenceTotals& line = m_lines[i];
    if (Judged(line)) {
      report.lines[report.lineCount++] = line;
      report.foreign -= line.frames;
    } else if (line.firstIndex < firstForeign) {
      firstForeign = line.firstIndex;
      report.firstForeign = line.firstFrame;
    }
  }
  std::sort(report.lines, report.lines + report.lineCount,
            [](const SequenceTotals& a, const SequenceTotals& b) {
              return a.firstIndex < b.firstIndex;
            });
  return report;
}
