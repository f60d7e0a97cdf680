// SPDX-License-Identifier: MIT
#include "verdict/GrowTally.h"

#include <algorithm>

namespace {

bool SameShape(const ShapeTotals& line, const SequenceResult& sequence) {
  return line.kindBits == sequence.kindBits &&
         line.firstMask == sequence.idMask && line.length == sequence.length &&
         line.fill == sequence.fill;
}

void Add(Figure* figure, int64_t value, bool known) {
  figure->value += value;
  figure->known = figure->known && known;
}

void AddPlaces(ShapeTotals* line, const EmptySteps* places, int count,
               bool more) {
  for (int i = 0; i < count; ++i) {
    if (line->placeCount < ShapeTotals::kPlaces) {
      line->places[line->placeCount++] = places[i];
    } else {
      line->morePlaces = true;
    }
  }
  line->morePlaces = line->morePlaces || more;
}

// The figures of a line whose frames may not tell one story.
void Doubt(ShapeTotals* line) {
  line->sequences.known = false;
  line->identifiersKnown = false;
  line->perStepKnown = false;
  line->missing.known = false;
  line->repeated.known = false;
  line->outOfOrder.known = false;
}

// `sequence`, which rose, into `line`.
void Merge(ShapeTotals* line, const SequenceResult& sequence, bool first) {
  if (first) {
    line->firstId = sequence.firstId;
    line->firstMask = sequence.idMask;
  }
  line->lastId = sequence.lastId;
  line->lastMask = sequence.idMask;
  Add(&line->sequences, 1, true);
  const StepHistogram::Verdict& perStep = sequence.perStep;
  if (perStep.known) {
    line->fewestPerStep = first ? perStep.perStep
                                : std::min(line->fewestPerStep, perStep.perStep);
    line->mostPerStep = std::max(line->mostPerStep, perStep.perStep);
  } else {
    line->perStepKnown = false;
  }
  Add(&line->missing, perStep.missing, perStep.known);
  Add(&line->repeated, perStep.repeated, perStep.known);
  Add(&line->outOfOrder, sequence.outOfOrder, true);
  AddPlaces(line, sequence.places, sequence.placeCount, sequence.morePlaces);
}

// Two lines' totals into one, of the later shapes.
void Merge(ShapeTotals* line, const ShapeTotals& other) {
  line->mixed = true;
  line->frames += other.frames;
  line->identifiersKnown = line->identifiersKnown && other.identifiersKnown;
  Add(&line->sequences, other.sequences.value, other.sequences.known);
  line->lastId = other.lastId;
  line->lastMask = other.lastMask;
  line->perStepKnown = line->perStepKnown && other.perStepKnown;
  line->fewestPerStep = std::min(line->fewestPerStep, other.fewestPerStep);
  line->mostPerStep = std::max(line->mostPerStep, other.mostPerStep);
  Add(&line->missing, other.missing.value, other.missing.known);
  Add(&line->repeated, other.repeated.value, other.repeated.known);
  Add(&line->outOfOrder, other.outOfOrder.value, other.outOfOrder.known);
  AddPlaces(line, other.places, other.placeCount, other.morePlaces);
}

}  // namespace

void GrowTally::Add(const SequenceResult& sequence) {
  int at = 0;
  while (at < m_shapeCount && !SameShape(m_shapes[at], sequence)) ++at;
  if (at == m_shapeCount) {
    if (m_shapeCount == kShapes) {
      // Past the shapes kept, the last takes the later ones.
      at = kShapes - 1;
      m_shapes[at].mixed = true;
    } else {
      ShapeTotals& line = m_shapes[m_shapeCount++];
      line.kindBits = sequence.kindBits;
      line.firstMask = sequence.idMask;
      line.length = sequence.length;
      line.fill = sequence.fill;
      line.order = sequence.order;
      line.sequences.value = 0;
      m_samples[at] = sequence.sample;
    }
  }
  ShapeTotals& line = m_shapes[at];
  if (sequence.order < line.order) {
    line.order = sequence.order;
    m_samples[at] = sequence.sample;
  }
  line.frames += sequence.frames;
  if (sequence.rose) {
    Merge(&line, sequence, !m_rose[at]);
    m_rose[at] = true;
  }
  if (sequence.doubt) Doubt(&line);
}

int64_t GrowTally::Frames() const {
  int64_t frames = 0;
  for (int i = 0; i < m_shapeCount; ++i) {
    if (m_rose[i]) frames += m_shapes[i].frames;
  }
  return frames;
}

int64_t GrowTally::FirstUnrisenIndex() const {
  int64_t first = std::numeric_limits<int64_t>::max();
  for (int i = 0; i < m_shapeCount; ++i) {
    if (!m_rose[i]) first = std::min(first, m_shapes[i].order);
  }
  return first;
}

const ReceivedFrame& GrowTally::FirstUnrisen() const {
  int earliest = 0;
  for (int i = 0; i < m_shapeCount; ++i) {
    if (!m_rose[i] && (m_rose[earliest] ||
                       m_shapes[i].order < m_shapes[earliest].order)) {
      earliest = i;
    }
  }
  return m_samples[earliest];
}

int GrowTally::Lines(ShapeTotals* lines, int most) const {
  const ShapeTotals* risen[kShapes];
  int risenCount = 0;
  for (int i = 0; i < m_shapeCount; ++i) {
    if (m_rose[i]) risen[risenCount++] = &m_shapes[i];
  }
  std::sort(risen, risen + risenCount,
            [](const ShapeTotals* a, const ShapeTotals* b) {
              return a->order < b->order;
            });
  int count = 0;
  for (int i = 0; i < risenCount; ++i) {
    if (count < most) {
      lines[count++] = *risen[i];
    } else {
      Merge(&lines[most - 1], *risen[i]);
    }
  }
  return count;
}
