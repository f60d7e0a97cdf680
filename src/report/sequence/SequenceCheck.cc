// SPDX-License-Identifier: MIT
#include "report/sequence/SequenceCheck.h"

#include <linux/can.h>

#include <algorithm>

#include "can/FrameImage.h"

ReceivedFrame SequenceCheck::Received(uint32_t canId, unsigned length,
                                      const unsigned char* data) const {
  ReceivedFrame frame;
  frame.canId = canId;
  frame.length = length;
  std::memcpy(frame.data, data,
              std::min<size_t>(m_capacity, sizeof frame.data));
  return frame;
}

void SequenceCheck::Foreign(uint32_t canId, unsigned length,
                            const unsigned char* data) {
  // After the frame before, but not yet another that took the slow path.
  m_tally.AddForeign(m_index + 1, Received(canId, length, data));
  m_foreignSeen = true;
}

void SequenceCheck::TakeOther(uint32_t canId, unsigned length,
                              const unsigned char* data) {
  // Most foreign frames are told by their first bytes at once; only the
  // first of them is kept.
  if ((canId & CAN_RTR_FLAG) == 0 &&
      !CarriesGrowId(data, length, canId & IdentifierMaskOf(canId))) {
    if (!m_foreignSeen) Foreign(canId, length, data);
    return;
  }
  TakeSlowly(canId, length, data);
}

void SequenceCheck::TakeSlowly(uint32_t canId, unsigned length,
                               const unsigned char* data) {
  SequenceShape shape;
  if (!ShapeOf(canId, length, data, m_capacity, &shape) ||
      !shape.Fits(canId, length, data)) {
    if (!m_foreignSeen) Foreign(canId, length, data);
    return;
  }
  ++m_index;
  m_fast->Touch(m_index);
  SequenceTrack* track = TrackOf(shape, canId, length, data);
  track->Take(canId & shape.mask, m_index);
  if (track->fastKind != SequenceShape::kNoKind) {
    m_fast = track;
  } else if (m_fast == track) {
    m_fast = &m_none;
  }
}

SequenceTrack* SequenceCheck::TrackOf(const SequenceShape& shape,
                                      uint32_t canId, unsigned length,
                                      const unsigned char* data) {
  SequenceTrack* idlest = nullptr;
  for (SequenceTrack& track : m_tracks) {
    if (track.InUse() && track.shape == shape) return &track;
  }
  for (SequenceTrack& track : m_tracks) {
    if (!track.InUse()) {
      idlest = &track;
      break;
    }
    if (idlest == nullptr || track.IdlerThan(*idlest)) idlest = &track;
  }
  if (idlest->InUse()) {
    idlest->End();
    if (m_fast == idlest) m_fast = &m_none;
  }
  idlest->Open(shape, Received(canId, length, data), m_index, &m_tally);
  return idlest;
}

SequenceReport SequenceCheck::Finish(int64_t taken) {
  m_fast = &m_none;
  for (SequenceTrack& track : m_tracks) {
    if (track.InUse()) track.End();
  }
  return m_tally.Report(taken);
}
