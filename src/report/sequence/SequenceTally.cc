// SPDX-License-Identifier: MIT
#include "report/sequence/SequenceTally.h"

#include <algorithm>

namespace {

bool SameShape(const SequenceTotals& a, const SequenceTotals& b) {
  return a.kindBits == b.kindBits && a.firstMask == b.firstMask &&
         a.length == b.length && a.fill == b.fill;
}

void Merge(SequenceTotals* line, const SequenceTotals& sequence) {
  if (!SameShape(*line, sequence)) line->mixed = true;
  line->sequences += sequence.sequences;
  line->frames += sequence.frames;
  if (sequence.lastIndex > line->lastIndex) {
    line->lastId = sequence.lastId;
    line->lastMask = sequence.lastMask;
    line->lastIndex = sequence.lastIndex;
  }
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
  for (int i = 0; i < m_shapeCount; ++i) {
    if (SameShape(m_shapes[i], sequence)) {
      Merge(&m_shapes[i], sequence);
      return;
    }
  }
  if (m_shapeCount == kShapes) {
    Merge(&m_shapes[kShapes - 1], sequence);
    return;
  }
  m_shapes[m_shapeCount++] = sequence;
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
  SequenceTotals judged[kShapes];
  int count = 0;
  for (int i = 0; i < m_shapeCount; ++i) {
    const SequenceTotals& shape = m_shapes[i];
    if (Judged(shape)) {
      judged[count++] = shape;
      report.foreign -= shape.frames;
    } else if (shape.firstIndex < firstForeign) {
      firstForeign = shape.firstIndex;
      report.firstForeign = shape.firstFrame;
    }
  }
  std::sort(judged, judged + count,
            [](const SequenceTotals& a, const SequenceTotals& b) {
              return a.firstIndex < b.firstIndex;
            });
  for (int i = 0; i < count; ++i) {
    if (i < SequenceReport::kLines) {
      report.lines[report.lineCount++] = judged[i];
    } else {
      Merge(&report.lines[SequenceReport::kLines - 1], judged[i]);
    }
  }
  return report;
}
