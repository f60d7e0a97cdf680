// SPDX-License-Identifier: MIT
#include "report/sequence/SequenceTrack.h"

#include <algorithm>
#include <iterator>

void SequenceTrack::Open(const SequenceShape& newShape,
                         const ReceivedFrame& sample, int64_t index,
                         SequenceTally* tally) {
  shape = newShape;
  m_sample = sample;
  m_tally = tally;
  m_inUse = true;
  m_lastUse = index;
  m_heldCount = 0;
}

bool SequenceTrack::IdlerThan(const SequenceTrack& other) const {
  if (Rose() != other.Rose()) return !Rose();
  if (shape.weak != other.shape.weak) return shape.weak;
  return m_lastUse < other.m_lastUse;
}

void SequenceTrack::Take(uint32_t id, int64_t index) {
  m_lastUse = index;
  if (m_active) {
    TakeFrame(id, index);
  } else {
    Begin(id, index);
  }
  fastKind = Rose() && m_heldCount == 0 && wholeStep != kUndecided
                 ? shape.kindLength
                 : SequenceShape::kNoKind;
}

void SequenceTrack::TakeFrame(uint32_t id, int64_t index) {
  const uint32_t ahead = (id - latestId) & shape.mask;
  if (ahead > kReach || (ahead == 0 && m_heldCount > 0)) {
    Hold(id, index);
    return;
  }
  if (m_heldCount > 0) {
    // The sequence goes on: what was held came late, unless it is a send
    // run started again that has come as far as the sequence had.
    if (NewRunReachedLatest(ahead)) {
      Promote(FirstRise());
      TakeFrame(id, index);
      return;
    }
    Resolve(0, m_heldCount);
  }
  Forward(ahead);
}

void SequenceTrack::Begin(uint32_t id, int64_t index) {
  m_active = true;
  m_rises = 0;
  m_baseId = id;
  latestId = id;
  latest = 0;
  m_first = 0;
  m_firstIndex = index;
  m_firstCount = 0;
  m_outOfOrder = 0;
  m_lateBeyond = 0;
  m_jumps = 0;
  wholeStep = kUndecided;
  std::fill(std::begin(counts), std::end(counts), 0);
  counts[0] = 1;
}

void SequenceTrack::Forward(uint32_t ahead) {
  if (ahead > 0) {
    Advance(latest + ahead);
    if (ahead == 1 || !shape.weak) ++m_rises;
    if (ahead > 1) ++m_jumps;
  }
  ++counts[latest & kSlotMask];
}

void SequenceTrack::Advance(int64_t step) {
  // The steps up to `last` leave the window; those after `latest` never
  // had a frame.
  const int64_t last = step - kWindow;
  int64_t leaving = std::max(latest - kWindow + 1, m_first);
  for (; leaving <= last && leaving <= latest; ++leaving) {
    Leave(leaving, counts[leaving & kSlotMask]);
  }
  if (leaving <= last) {
    m_steps.AddEmpty(leaving, last - leaving + 1);
    wholeStep = m_steps.Most();
  }
  if (step - latest >= kWindow) {
    std::fill(std::begin(counts), std::end(counts), 0);
  } else {
    for (int64_t next = latest + 1; next <= step; ++next) {
      counts[next & kSlotMask] = 0;
    }
  }
  latest = step;
  latestId = IdOf(step);
}

void SequenceTrack::Leave(int64_t step, uint64_t count) {
  if (step == m_first) {
    m_firstCount = count;
    m_steps = StepCounts(step);
  } else {
    m_steps.Add(step, count);
  }
  wholeStep = m_steps.Most();
}

void SequenceTrack::Close() {
  uint64_t edges[2];
  int edgeCount = 0;
  for (int64_t step = std::max(latest - kWindow + 1, m_first); step <= latest;
       ++step) {
    const uint64_t count = counts[step & kSlotMask];
    if (step == latest && step != m_first) {
      edges[edgeCount++] = count;
    } else {
      Leave(step, count);
    }
  }
  edges[edgeCount++] = m_firstCount;
  const StepCounts::Verdict verdict =
      m_steps.Decide(latest - 1, edges, edgeCount);
  m_active = false;
  wholeStep = kUndecided;
  const ReceivedFrame first = FrameOf(shape, m_baseId, m_sample);
  if (!Rose()) {
    m_tally->AddForeign(m_firstIndex, first);
    return;
  }
  SequenceTotals totals;
  totals.sequences = 1;
  totals.frames = verdict.frames + m_lateBeyond;
  for (int i = 0; i < edgeCount; ++i) {
    totals.frames += static_cast<int64_t>(edges[i]);
  }
  totals.kindBits = shape.kindBits;
  totals.length = shape.length;
  totals.fill = shape.length > 4 && !shape.weak
                    ? static_cast<int>(shape.fill & 0xFF)
                    : -1;
  totals.firstId = IdOf(m_first);
  totals.lastId = latestId;
  totals.firstMask = totals.lastMask = shape.mask;
  totals.fewestPerStep = totals.mostPerStep = verdict.perStep;
  totals.missing = verdict.missing;
  totals.repeated = verdict.repeated;
  totals.outOfOrder = m_outOfOrder;
  for (int i = 0; i < verdict.placeCount; ++i) {
    totals.places[i] = {IdOf(verdict.places[i].step - 1), shape.mask,
                        verdict.places[i].frames};
  }
  totals.placeCount = verdict.placeCount;
  totals.morePlaces = verdict.morePlaces;
  totals.placesKnown = verdict.placesKnown;
  totals.weak = shape.weak;
  totals.rises = m_rises;
  totals.jumps = m_jumps;
  totals.firstIndex = totals.lastIndex = m_firstIndex;
  totals.firstFrame = first;
  m_tally->AddSequence(totals);
}

void SequenceTrack::End() {
  while (m_heldCount > 0) Settle();
  if (m_active) Close();
  fastKind = SequenceShape::kNoKind;
  m_inUse = false;
}

void SequenceTrack::Hold(uint32_t id, int64_t index) {
  m_held[m_heldCount] = id;
  m_heldIndex[m_heldCount] = index;
  if (++m_heldCount == kHold) Settle();
}

void SequenceTrack::Settle() {
  const int from = FirstRise();
  if (from < m_heldCount && LooksNew(from, 0)) {
    Promote(from);
  } else {
    Resolve(0, m_heldCount);
  }
}

bool SequenceTrack::NewRunReachedLatest(uint32_t ahead) const {
  const int from = RisingFrom();
  return m_held[m_heldCount - 1] == latestId && Rose(from) &&
         (!shape.weak || ahead == 1) && LooksNew(from, 2);
}

bool SequenceTrack::LooksNew(int from, int fewestSteps) const {
  // Late frames fill steps that lacked them; a new run's frames come to
  // steps that were whole, and double them. The first step may have come in
  // part: it tells only when they overfill it.
  const uint64_t perStep = EstimatePerStep();
  uint64_t added[kWindow] = {};
  for (int i = from; i < m_heldCount; ++i) {
    const int64_t step =
        latest - static_cast<int64_t>((latestId - m_held[i]) & shape.mask);
    if (step >= m_first && step > latest - kWindow) ++added[step & kSlotMask];
  }
  uint64_t steps = 0, frames = 0;
  for (int64_t step = std::max(m_first, latest - kWindow + 1); step <= latest;
       ++step) {
    const uint64_t slot = step & kSlotMask;
    if (added[slot] == 0 ||
        (step == m_first && counts[slot] + added[slot] <= perStep)) {
      continue;
    }
    ++steps;
    frames += counts[slot] + added[slot];
  }
  return steps >= static_cast<uint64_t>(fewestSteps) &&
         (steps == 0 || 2 * frames > 3 * perStep * steps);
}

void SequenceTrack::Resolve(int from, int to) {
  // What a whole step is, told once before the held frames count: only a
  // weak shape's frames need it.
  const uint64_t perStep = shape.weak ? EstimatePerStep() : 0;
  for (int i = from; i < to; ++i) {
    ResolveOne(m_held[i], m_heldIndex[i], perStep);
  }
  std::copy(m_held + to, m_held + m_heldCount, m_held + from);
  std::copy(m_heldIndex + to, m_heldIndex + m_heldCount, m_heldIndex + from);
  m_heldCount -= to - from;
}

void SequenceTrack::ResolveOne(uint32_t id, int64_t index, uint64_t perStep) {
  const uint32_t behind = (latestId - id) & shape.mask;
  if (behind == 0) {
    ++counts[latest & kSlotMask];
    return;
  }
  ++m_jumps;
  if (behind < kWindow) {
    const int64_t step = latest - static_cast<int64_t>(behind);
    uint64_t& count = counts[step & kSlotMask];
    // Of a weak shape, a frame for a step that had come whole is more
    // likely other traffic than late.
    if (!shape.weak || count < perStep) {
      ++m_outOfOrder;
      ++count;
      m_first = std::min(m_first, step);
      return;
    }
  } else if (behind < Span() && !shape.weak) {
    ++m_outOfOrder;
    ++m_lateBeyond;
    return;
  }
  m_tally->AddForeign(index, FrameOf(shape, id, m_sample));
}

void SequenceTrack::Promote(int from) {
  // What was held before the rising frames came late.
  Resolve(0, from);
  uint32_t ids[kHold];
  int64_t indexes[kHold];
  const int n = m_heldCount;
  std::copy(m_held, m_held + n, ids);
  std::copy(m_heldIndex, m_heldIndex + n, indexes);
  m_heldCount = 0;
  const uint32_t behind = (latestId - ids[0]) & shape.mask;
  const uint32_t ahead = (ids[0] - latestId) & shape.mask;
  // Ahead of the sequence, at identifiers it has not sent, and within half
  // the identifier space: frames were lost. Anywhere else: a new run.
  if (behind >= Span() && Span() <= shape.mask && ahead <= shape.mask / 2) {
    Forward(ahead);
  } else {
    Close();
    Begin(ids[0], indexes[0]);
  }
  for (int i = 1; i < n; ++i) TakeFrame(ids[i], indexes[i]);
}

int SequenceTrack::FirstRise() const {
  for (int i = 0; i + 1 < m_heldCount; ++i) {
    if (m_held[i + 1] != m_held[i] && Follows(m_held[i], m_held[i + 1])) {
      // From the first frame of the step it rose from.
      while (i > 0 && m_held[i - 1] == m_held[i]) --i;
      return i;
    }
  }
  return m_heldCount;
}

int SequenceTrack::RisingFrom() const {
  int from = m_heldCount - 1;
  while (from > 0 && Follows(m_held[from - 1], m_held[from])) --from;
  return from;
}

bool SequenceTrack::Rose(int from) const {
  for (int i = from + 1; i < m_heldCount; ++i) {
    if (m_held[i] != m_held[i - 1]) return true;
  }
  return false;
}

bool SequenceTrack::Follows(uint32_t before, uint32_t after) const {
  return ((after - before) & shape.mask) <= (shape.weak ? 1 : kReach);
}

uint64_t SequenceTrack::EstimatePerStep() const {
  // The steps within the window but the latest, told by the same rule as
  // at the end (larger counts as one); until there are enough, the most
  // frames one came with.
  constexpr uint64_t kTop = 32;
  uint64_t steps[kTop + 1] = {};
  uint64_t most = 1;
  for (int64_t step = std::max(latest - kWindow + 1, m_first); step < latest;
       ++step) {
    const uint64_t count = counts[step & kSlotMask];
    most = std::max(most, count);
    if (step > m_first) ++steps[std::min(count, kTop)];
  }
  if (Span() <= kFewestToTell) return most;
  uint64_t values[kTop + 1];
  for (uint64_t count = 0; count <= kTop; ++count) values[count] = count;
  const uint64_t perStep = PerStepOf(values, steps, kTop + 1);
  return perStep > 0 ? perStep : most;
}
