// SPDX-License-Identifier: MIT
#include "verdict/MarkedRun.h"

#include <algorithm>

void MarkedRun::Begin(uint32_t tag, int64_t number, int64_t order,
                      bool last, bool damaged) {
  *this = MarkedRun();
  m_tag = tag;
  m_order = order;
  m_latest = number;
  ++m_frames;
  if (last) m_lastNumber = number;
  if (damaged) ++m_damaged;
  // Numbers below 0 do not exist: their slots read as come.
  for (uint64_t& word : m_seen) word = ~uint64_t{0};
  // The numbers before the first frame did not come (yet): those below the
  // window at once, those within it as free slots (their slots, set, leave
  // without counting).
  const int64_t windowStart = std::max<int64_t>(number - kWindow + 1, 0);
  if (windowStart > 0) Missed(0, windowStart);
  Leave(windowStart, number - windowStart);
}

void MarkedRun::Missed(int64_t first, int64_t count) {
  m_missing += count;
  if (!m_rangesWhole) return;
  if (m_rangeCount > 0 && m_ranges[m_rangeCount - 1].last + 1 == first) {
    m_ranges[m_rangeCount - 1].last += count;
  } else if (m_rangeCount < kRanges) {
    m_ranges[m_rangeCount++] = {first, first + count - 1};
  } else {
    m_rangesWhole = false;
  }
}

void MarkedRun::Leave(int64_t first, int64_t count) {
  while (count > 0) {
    const int64_t slot = Slot(first);
    const int64_t bit = slot % 64;
    const int64_t take = std::min<int64_t>(64 - bit, count);
    const uint64_t mask =
        (take == 64 ? ~uint64_t{0} : (uint64_t{1} << take) - 1) << bit;
    uint64_t& word = m_seen[slot / 64];
    uint64_t unseen = ~word & mask;
    word &= ~mask;
    if (!m_rangesWhole) {
      m_missing += __builtin_popcountll(unseen);
    }
    while (m_rangesWhole && unseen != 0) {
      const int start = __builtin_ctzll(unseen);
      const uint64_t rest = ~(unseen >> start);
      const int length = rest == 0 ? 64 - start : __builtin_ctzll(rest);
      Missed(first + (start - bit), length);
      unseen &= length + start >= 64 ? 0 : ~uint64_t{0} << (start + length);
      if (!m_rangesWhole) m_missing += __builtin_popcountll(unseen);
    }
    first += take;
    count -= take;
  }
}

void MarkedRun::Take(int64_t number, bool last, bool damaged) {
  if (last) m_lastNumber = number;
  m_damaged += damaged ? 1 : 0;
  if (number == m_latest + 1 && !damaged) {
    --m_frames;  // TakeNext counts it
    TakeNext(last);
    return;
  }
  ++m_frames;
  if (number > m_latest) {
    const int64_t ahead = number - m_latest;
    // The slots of the numbers that come in now hold those a window below.
    Leave(m_latest - kWindow + 1, std::min(ahead, kWindow));
    // Numbers of the gap that never even reach the window.
    if (ahead > kWindow) Missed(m_latest + 1, ahead - kWindow);
    m_latest = number;
    m_seen[Slot(number) / 64] |= uint64_t{1} << (Slot(number) % 64);
    return;
  }
  ++m_outOfOrder;
  if (number == m_latest) --m_outOfOrder;  // twice in a row is in order
  if (number <= m_latest - kWindow) {
    TakeFarBehind(number);
    return;
  }
  uint64_t& word = m_seen[Slot(number) / 64];
  const uint64_t bit = uint64_t{1} << (Slot(number) % 64);
  if ((word & bit) != 0) {
    ++m_repeated;
  } else {
    word |= bit;
  }
}

void MarkedRun::TakeFarBehind(int64_t number) {
  MissingRange* const end = m_ranges + m_rangeCount;
  MissingRange* range = std::lower_bound(
      m_ranges, end, number,
      [](const MissingRange& r, int64_t n) { return r.last < n; });
  if (range == end || range->first > number) {
    // Not missing, so it came before: a repeat, if every missing number
    // was kept.
    if (m_rangesWhole) {
      ++m_repeated;
    } else {
      m_exact = false;
    }
    return;
  }
  --m_missing;
  if (range->first == range->last) {
    std::copy(range + 1, end, range);
    --m_rangeCount;
  } else if (number == range->first) {
    ++range->first;
  } else if (number == range->last) {
    --range->last;
  } else if (m_rangeCount < kRanges) {
    std::copy_backward(range + 1, end, end + 1);
    ++m_rangeCount;
    range[1] = {number + 1, range->last};
    range->last = number - 1;
  } else {
    // The number cannot be cut out: a later frame of it could not be told
    // from one that never came.
    m_exact = false;
  }
}

MarkedTotals MarkedRun::Finish() {
  // What is left in the window leaves it.
  Leave(m_latest - kWindow + 1, kWindow);
  MarkedTotals totals;
  totals.tag = m_tag;
  totals.order = m_order;
  totals.frames = m_frames;
  totals.latest = m_latest;
  totals.lastCame = m_lastNumber >= 0 && m_lastNumber == m_latest;
  totals.missing = m_missing;
  totals.repeated = m_repeated;
  totals.outOfOrder = m_outOfOrder;
  totals.damaged = m_damaged;
  totals.exact = m_exact;
  totals.placeCount = std::min(m_rangeCount, MarkedTotals::kPlaces);
  std::copy(m_ranges, m_ranges + totals.placeCount, totals.places);
  totals.morePlaces = m_rangeCount > totals.placeCount || !m_rangesWhole;
  return totals;
}
