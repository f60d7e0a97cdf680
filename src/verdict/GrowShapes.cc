// SPDX-License-Identifier: MIT
#include "verdict/GrowShapes.h"

bool GrowShapes::Take(uint32_t canId, unsigned length,
                      const unsigned char* data, int64_t index) {
  GrowShape shape;
  if (!ShapeOf(canId, length, data, m_capacity, &shape)) return false;
  m_fast->Touch(index);
  GrowTrack* track = TrackOf(shape, index);
  track->Take(canId & shape.mask, index);
  m_fast = track->fastKind != GrowShape::kNoKind ? track : &m_none;
  return true;
}

GrowTrack* GrowShapes::TrackOf(const GrowShape& shape, int64_t index) {
  for (GrowTrack& track : m_tracks) {
    if (track.InUse() && track.shape == shape) return &track;
  }
  GrowTrack* idlest = nullptr;
  for (GrowTrack& track : m_tracks) {
    if (!track.InUse()) {
      idlest = &track;
      break;
    }
    if (idlest == nullptr || track.IdlerThan(*idlest)) idlest = &track;
  }
  if (idlest->InUse()) {
    // Its send run may go on, and come back as a sequence of its own.
    idlest->End(true);
    if (m_fast == idlest) m_fast = &m_none;
  }
  idlest->Open(shape, index, &m_tally);
  return idlest;
}

void GrowShapes::Finish(VerdictReport* report) {
  m_fast = &m_none;
  for (GrowTrack& track : m_tracks) {
    if (track.InUse()) track.End(false);
  }
  report->shapeCount = m_tally.Lines(report->shapes, VerdictReport::kLines);
}
