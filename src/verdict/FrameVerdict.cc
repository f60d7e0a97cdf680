// SPDX-License-Identifier: MIT
#include "verdict/FrameVerdict.h"

#include <algorithm>

#include "can/FrameImage.h"
#include "frame/GrowPayload.h"

void FrameVerdict::TakeSlowly(uint64_t head, bool brs,
                              const unsigned char* data) {
  const auto canId = static_cast<uint32_t>(head);
  const auto length = static_cast<unsigned>(head >> 32) & 0xFF;
  const uint64_t word = LoadMark(data);
  const unsigned char fill = m_capacity > kMarkBytes ? data[kMarkBytes] : 0;
  ++m_index;
  m_markedBefore = m_marked.Take(canId, length, brs, data, m_capacity, m_index);
  if (m_markedBefore) return;
  const bool carries =
      (canId & (CAN_RTR_FLAG | CAN_ERR_FLAG)) == 0 &&
      CarriesGrowId(data, length, canId & IdentifierMaskOf(canId));
  if (carries && m_grow.Take(canId, length, data, m_index)) return;
  // Neither, for what its first bytes hold, and so its copies.
  if (!carries || length <= kMarkBytes) {
    m_otherHead = head;
    m_otherWord = word;
    m_otherFill = fill;
  }
  if (m_index < m_firstOtherIndex) {
    m_firstOtherIndex = m_index;
    m_firstOther.canId = canId;
    m_firstOther.length = length;
    std::copy(data, data + std::min<unsigned>(m_capacity, length),
              m_firstOther.data);
  }
}

VerdictReport FrameVerdict::Finish(int64_t taken) {
  VerdictReport report;
  m_marked.Finish(&report);
  m_grow.Finish(&report);
  report.other = taken - m_marked.Frames() - m_grow.Tally().Frames();
  report.firstOther = m_firstOther;
  if (m_grow.Tally().FirstUnrisenIndex() < m_firstOtherIndex) {
    report.firstOther = m_grow.Tally().FirstUnrisen();
  }
  return report;
}
