// SPDX-License-Identifier: MIT
#include "test/SequenceCheck.h"

#include <linux/can.h>

#include <algorithm>
#include <iterator>
#include <limits>

namespace {

// The bytes below `length` of an 8-byte word, `length` from 0 to 8.
uint64_t BytesMask(unsigned length) {
  return length >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * length)) - 1;
}

}  // namespace

bool SequenceCheck::ShapeOf(uint32_t canId, unsigned length,
                            const unsigned char* data, Shape* shape) const {
  shape->mask = (canId & CAN_EFF_FLAG) != 0 ? CAN_EFF_MASK : CAN_SFF_MASK;
  shape->flagMask = ~shape->mask;
  shape->kindBits = canId & shape->flagMask;
  if ((shape->kindBits & ~(CAN_EFF_FLAG | CAN_RTR_FLAG)) != 0 ||
      length > m_capacity) {
    return false;
  }
  shape->length = length;
  // A remote frame carries no data on the bus: only its identifier counts.
  const unsigned idBytes = shape->mask == CAN_SFF_MASK ? 2 : 4;
  shape->weak = (canId & CAN_RTR_FLAG) != 0 || length < idBytes;
  if ((canId & CAN_RTR_FLAG) != 0) return true;
  if (length > 4) shape->fill = 0x0101010101010101ULL * data[4];
  shape->headFill = shape->fill & ~uint64_t{0xFFFFFFFF};
  shape->headMask = BytesMask(std::min(length, 8u));
  for (unsigned word = 0; word < kRestWords; ++word) {
    const unsigned start = 8 * (word + 1);
    shape->restMask[word] = BytesMask(length > start ? length - start : 0);
  }
  return true;
}

void SequenceCheck::TakeOther(uint32_t canId, unsigned length,
                              const unsigned char* data) {
  if ((canId & CAN_RTR_FLAG) == 0) {
    const uint32_t id =
        canId & ((canId & CAN_EFF_FLAG) != 0 ? CAN_EFF_MASK : CAN_SFF_MASK);
    uint32_t head;
    std::memcpy(&head, data, sizeof head);
    if (((head ^ id) &
         static_cast<uint32_t>(BytesMask(std::min(length, 4u)))) != 0) {
      Foreign(canId, length, data);
      return;
    }
  }
  TakeSlowly(canId, length, data);
}

void SequenceCheck::TakeSlowly(uint32_t canId, unsigned length,
                               const unsigned char* data) {
  Shape shape;
  if (!ShapeOf(canId, length, data, &shape) ||
      Head(shape, canId & shape.mask, data) != 0 ||
      (length > 8 && Rest(shape, data) != 0)) {
    Foreign(canId, length, data);
    return;
  }
  const uint32_t id = canId & shape.mask;
  if (m_hasCandidate) {
    // The first two frames may have swapped places.
    if (shape == m_candidateShape &&
        (((id - m_candidateId) & shape.mask) < kWindow ||
         ((m_candidateId - id) & shape.mask) < kWindow)) {
      StartFromCandidate();
      TakeInSequence(id);
      return;
    }
    ResolveCandidate();
  }
  const bool fits = m_active && shape == m_shape;
  if (fits && TakeInSequence(id)) return;
  m_hasCandidate = true;
  m_candidateShape = shape;
  m_candidateId = id;
  m_fallback = fits ? Fallback::kLate : Fallback::kForeign;
  Keep(&m_candidate, canId, length, data);
  m_fastLength = kNoLength;
}

bool SequenceCheck::TakeInSequence(uint32_t id) {
  const uint32_t ahead = (id - m_latestId) & m_shape.mask;
  const int64_t step = ahead <= m_shape.mask / 2
                           ? m_latest + ahead
                           : m_latest - ((m_latestId - id) & m_shape.mask);
  if (m_shape.weak && step != m_latest && step != m_latest + 1) ++m_weakJumps;
  if (step > m_latest) {
    Advance(step);
  } else if (step <= m_latest - kWindow) {
    return false;
  } else if (step < m_latest) {
    ++m_totals.outOfOrder;
    m_first = std::min(m_first, step);
  }
  ++m_counts[step & kSlotMask];
  return true;
}

void SequenceCheck::Advance(int64_t step) {
  // The steps up to `last` leave the window; those after m_latest never
  // had a frame.
  const int64_t last = step - kWindow;
  int64_t leaving = m_latest - kWindow + 1;
  for (; leaving <= last && leaving <= m_latest; ++leaving) {
    Judge(leaving, m_counts[leaving & kSlotMask], false);
  }
  if (leaving <= last) {
    DecidePerStep();
    const int64_t steps = last - leaving + 1;
    Miss(leaving, steps, steps * static_cast<int64_t>(m_perStep));
  }
  if (step - m_latest >= kWindow) {
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
  } else {
    for (int64_t next = m_latest + 1; next <= step; ++next) {
      m_counts[next & kSlotMask] = 0;
    }
  }
  m_latest = step;
  m_latestId = IdOf(step);
}

void SequenceCheck::Judge(int64_t step, uint64_t count, bool closing) {
  if (step < m_first) return;
  DecidePerStep();
  if (count > m_perStep) {
    m_totals.repeated += static_cast<int64_t>(count - m_perStep);
  } else if (count < m_perStep && step != m_first &&
             !(closing && step == m_latest)) {
    // Frames before the first one received and after the last one are not
    // implied: the receiver may have started or stopped within a step.
    Miss(step, 1, static_cast<int64_t>(m_perStep - count));
  }
}

void SequenceCheck::Miss(int64_t step, int64_t steps, int64_t frames) {
  m_totals.missing += frames;
  if (step - 1 == m_lastMissed) {
    if (m_placeOpen) m_totals.places[m_totals.placeCount - 1].frames += frames;
  } else if (m_totals.placeCount < SequenceTotals::kPlaces) {
    m_totals.places[m_totals.placeCount++] = {IdOf(step - 1), m_shape.mask,
                                              frames};
    m_placeOpen = true;
  } else {
    m_totals.morePlaces = true;
    m_placeOpen = false;
  }
  m_lastMissed = step + steps - 1;
}

void SequenceCheck::DecidePerStep() {
  if (m_perStep != kUndecided) return;
  // The count that most identifiers came with; of equals the larger, since
  // the first and last steps may have come in part.
  uint64_t counts[kWindow];
  int n = 0;
  for (int64_t step = std::max(m_first, m_latest - kWindow + 1);
       step <= m_latest; ++step) {
    const uint64_t count = m_counts[step & kSlotMask];
    if (count > 0) counts[n++] = count;
  }
  std::sort(counts, counts + n);
  uint64_t best = 1;
  int bestRun = 0;
  for (int i = 0; i < n;) {
    int j = i;
    while (j < n && counts[j] == counts[i]) ++j;
    if (j - i >= bestRun) {
      bestRun = j - i;
      best = counts[i];
    }
    i = j;
  }
  m_perStep = best;
}

void SequenceCheck::StartFromCandidate() {
  if (m_active) Close();
  m_active = true;
  ++m_totals.sequences;
  m_shape = m_candidateShape;
  m_fastLength = m_shape.length;
  m_baseId = m_candidateId;
  m_latestId = m_candidateId;
  m_latest = 0;
  m_first = 0;
  m_perStep = kUndecided;
  m_lastMissed = std::numeric_limits<int64_t>::min();
  m_placeOpen = false;
  std::fill(std::begin(m_counts), std::end(m_counts), 0);
  m_counts[0] = 1;
  m_hasCandidate = false;
}

void SequenceCheck::ResolveCandidate() {
  m_hasCandidate = false;
  if (m_fallback == Fallback::kLate) {
    // Of the current sequence, but later than the window: its step has
    // been judged already.
    ++m_totals.outOfOrder;
  } else {
    Foreign(m_candidate.canId, m_candidate.length, m_candidate.data);
  }
  if (m_active) m_fastLength = m_shape.length;
}

void SequenceCheck::Close() {
  for (int64_t step = m_latest - kWindow + 1; step <= m_latest; ++step) {
    Judge(step, m_counts[step & kSlotMask], true);
  }
  SequenceTotals& totals = m_totals;
  m_spansIdentifiers = m_spansIdentifiers || m_latest > m_first;
  if (totals.sequences == 1) {
    totals.firstId = IdOf(m_first);
    totals.firstMask = m_shape.mask;
    totals.fewestPerStep = m_perStep;
  }
  totals.lastId = m_latestId;
  totals.lastMask = m_shape.mask;
  totals.fewestPerStep = std::min(totals.fewestPerStep, m_perStep);
  totals.mostPerStep = std::max(totals.mostPerStep, m_perStep);
  m_active = false;
}

void SequenceCheck::Keep(ReceivedFrame* frame, uint32_t canId, unsigned length,
                         const unsigned char* data) const {
  frame->canId = canId;
  frame->length = length;
  std::memcpy(frame->data, data,
              std::min<size_t>(m_capacity, sizeof frame->data));
}

void SequenceCheck::Foreign(uint32_t canId, unsigned length,
                            const unsigned char* data) {
  if (m_totals.foreign++ == 0) {
    Keep(&m_totals.firstForeign, canId, length, data);
  }
}

SequenceTotals SequenceCheck::Finish(int64_t taken) {
  if (m_hasCandidate) ResolveCandidate();
  if (m_active) Close();
  m_fastLength = kNoLength;
  // Each frame taken went to a sequence or was foreign.
  m_totals.frames = taken - m_totals.foreign;
  // Remote frames, frames of length 0 and those too short for the whole
  // identifier fit a sequence by chance: random identifiers would make
  // sequences full of gaps. A grow-mode run's frames mostly follow the
  // frame before them.
  m_totals.judged = m_spansIdentifiers && m_weakJumps <= m_totals.frames / 2;
  return m_totals;
}
