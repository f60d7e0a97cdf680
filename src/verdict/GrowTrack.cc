// SPDX-License-Identifier: MIT
#include "verdict/GrowTrack.h"

#include <algorithm>
#include <iterator>

void GrowTrack::Open(const GrowShape& newShape, int64_t index,
                     GrowTally* tally) {
  shape = newShape;
  m_tally = tally;
  m_lastUse = index;
  m_active = false;
}

bool GrowTrack::IdlerThan(const GrowTrack& other) const {
  const bool rose = m_active && latest > 0;
  const bool otherRose = other.m_active && other.latest > 0;
  if (rose != otherRose) return !rose;
  return m_lastUse < other.m_lastUse;
}

void GrowTrack::Begin(uint32_t id, int64_t index) {
  m_active = true;
  m_firstId = id;
  m_firstIndex = index;
  m_firstCount = 0;
  m_outOfOrder = 0;
  m_doubt = false;
  m_placeCount = 0;
  m_morePlaces = false;
  m_lastEmpty = -2;
  latestId = id;
  latest = 0;
  steps = StepHistogram();
  sameCount = kNoCount;
  m_recordedTo = 0;
  std::fill(std::begin(counts), std::end(counts), 0);
  counts[0] = 1;
  fastKind = GrowShape::kNoKind;
}

void GrowTrack::Take(uint32_t id, int64_t index) {
  m_lastUse = index;
  if (m_active) {
    TakeFrame(id, index);
  } else {
    Begin(id, index);
  }
  fastKind = m_active && latest >= kWindow ? shape.kindLength
                                           : GrowShape::kNoKind;
}

void GrowTrack::TakeFrame(uint32_t id, int64_t index) {
  const uint32_t ahead = (id - latestId) & shape.mask;
  const uint32_t behind = (latestId - id) & shape.mask;
  if (ahead == 0) {
    ++counts[latest & kSlotMask];
    return;
  }
  if (ahead <= kReach) {
    // The first identifier again, but not next: a send run started again,
    // or a gap before it, cannot be told apart.
    if (id == m_firstId && ahead > 1) m_doubt = true;
    Advance(latest + ahead);
    counts[latest & kSlotMask] = 1;
    return;
  }
  if (behind < kWindow && behind <= latest) {
    const int64_t step = latest - behind;
    // The first step again, when it had come whole: a late frame of it, or
    // a short send run started again.
    if (step == 0 && FirstStepWhole()) {
      End(true);
      Begin(id, index);
      m_doubt = true;
      return;
    }
    ++counts[step & kSlotMask];
    ++m_outOfOrder;
    return;
  }
  // Far from the sequence: a send run started again from its first
  // identifier, or else one started elsewhere, a jump, a frame too late:
  // those look alike.
  End(!NearFirst(id));
  Begin(id, index);
}

bool GrowTrack::FirstStepWhole() const {
  const uint64_t first = counts[0];
  for (int64_t step = 1; step <= latest; ++step) {
    if (counts[step & kSlotMask] > first) return false;
  }
  return true;
}

void GrowTrack::Advance(int64_t step) {
  // The steps up to step - kWindow leave the window; those after `latest`
  // among them never had a frame.
  const int64_t last = step - kWindow;
  LeaveSteps(std::max<int64_t>(latest - kWindow + 1, 0),
             std::min(last, latest) + 1);
  if (last > latest) LeaveEmpty(latest + 1, last - latest);
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

void GrowTrack::RecordUpTo(int64_t step) {
  if (step > m_recordedTo) steps.Add(sameCount, step - m_recordedTo);
  m_recordedTo = step;
}

void GrowTrack::Leave(int64_t step, uint64_t count) {
  RecordUpTo(step);
  m_recordedTo = step + 1;
  if (step == 0) {
    m_firstCount = count;
  } else if (count == 0) {
    steps.Add(0);
    NoteEmpty(step, 1);
  } else {
    steps.Add(count);
    sameCount = count;
  }
}

void GrowTrack::LeaveSteps(int64_t from, int64_t end) {
  for (int64_t step = from; step < end;) {
    const uint64_t count = counts[step & kSlotMask];
    if (count != 0 || step == 0) {
      Leave(step, count);
      ++step;
      continue;
    }
    // Steps with no frame leave together.
    int64_t empty = 1;
    while (step + empty < end && counts[(step + empty) & kSlotMask] == 0) ++empty;
    LeaveEmpty(step, empty);
    step += empty;
  }
}

void GrowTrack::LeaveEmpty(int64_t step, int64_t count) {
  RecordUpTo(step);
  m_recordedTo = step + count;
  steps.Add(0, count);
  NoteEmpty(step, count);
}

void GrowTrack::NoteEmpty(int64_t step, int64_t count) {
  if (step == m_lastEmpty + 1 && m_placeCount > 0) {
    m_places[m_placeCount - 1].steps += count;
  } else if (m_placeCount < ShapeTotals::kPlaces) {
    m_places[m_placeCount++] = {IdOf(step - 1), shape.mask, count};
  } else {
    m_morePlaces = true;
  }
  m_lastEmpty = step + count - 1;
}

void GrowTrack::End(bool cut) {
  if (m_active) {
    // A sequence that never rose is no send run's yet.
    m_doubt = m_doubt || (cut && latest > 0);
    Close();
  }
  m_active = false;
  fastKind = GrowShape::kNoKind;
}

void GrowTrack::Close() {
  // The steps still in the window leave it; the last, an edge, may have
  // come in part.
  uint64_t edges[2];
  int edgeCount = 0;
  LeaveSteps(std::max<int64_t>(latest - kWindow + 1, 0), latest);
  if (latest == 0) {
    Leave(0, counts[0]);
  } else {
    edges[edgeCount++] = counts[latest & kSlotMask];
  }
  edges[edgeCount++] = m_firstCount;
  SequenceResult result;
  result.kindBits = shape.kindBits;
  result.idMask = shape.mask;
  result.length = shape.length;
  result.fill = shape.length > kGrowIdBytes
                    ? static_cast<int>(shape.fill & 0xFF)
                    : -1;
  result.order = m_firstIndex;
  result.frames = steps.Frames() + static_cast<int64_t>(edges[0]) +
                  (edgeCount > 1 ? static_cast<int64_t>(edges[1]) : 0);
  result.rose = latest > 0;
  result.doubt = m_doubt;
  result.firstId = m_firstId;
  result.lastId = latestId;
  if (!m_doubt) result.perStep = steps.Decide(edges, edgeCount);
  result.outOfOrder = m_outOfOrder;
  std::copy(m_places, m_places + m_placeCount, result.places);
  result.placeCount = m_placeCount;
  result.morePlaces = m_morePlaces;
  result.sample = shape.FrameOf(m_firstId);
  m_tally->Add(result);
}
