// SPDX-License-Identifier: MIT
#include "verdict/FrameVerdict.h"

#include <algorithm>

#include "can/FrameImage.h"
#include "frame/GrowPayload.h"

void FrameVerdict::TakeSlowly(uint32_t canId, unsigned length, bool brs,
                              const unsigned char* data) {
  const uint64_t head = canId | uint64_t{length} << 32 |
                        uint64_t{brs ? 1u : 0u} << 40;
  const uint64_t word = LoadMark(data);
  const unsigned char fill = m_capacity > kMarkBytes ? data[kMarkBytes] : 0;
  if (head == m_otherHead && word == m_otherWord && fill == m_otherFill) {
    return;
  }
  ++m_index;
  if (m_marked.Take(canId, length, brs, data, m_capacity, m_index)) {
    m_markedLast = true;
    return;
  }
  const bool carries =
      (canId & (CAN_RTR_FLAG | CAN_ERR_FLAG)) == 0 &&
      CarriesGrowId(data, length, canId & IdentifierMaskOf(canId));
  if (carries && m_grow.Take(canId, length, data, m_index)) {
    m_markedLast = false;
    return;
  }
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
