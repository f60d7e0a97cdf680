// SPDX-License-Identifier: MIT
#include "verdict/MarkedRun.h"

#include <algorithm>
#include <iterator>

namespace {

// The runs of set bits in `bits`, lowest first: `visit(start, length)`.
template <class Visit>
void ForEachRun(uint64_t bits, Visit visit) {
  while (bits != 0) {
    const int start = __builtin_ctzll(bits);
    const uint64_t rest = ~(bits >> start);
    const int length = rest == 0 ? 64 - start : __builtin_ctzll(rest);
    visit(start, length);
    bits &= start + length >= 64 ? 0 : ~uint64_t{0} << (start + length);
  }
}

// Runs that begin in `bits`, a run through bit 0 counted.
int RunStarts(uint64_t bits) { return __builtin_popcountll(bits & ~(bits << 1)); }

}  // namespace

void MarkedRun::Begin(uint32_t tag, int64_t number, int64_t order,
                      bool last, bool damaged) {
  *this = MarkedRun();
  m_tag = tag;
  m_order = order;
  m_latest = number;
  if (last) m_lastNumber = number;
  if (damaged) ++m_damaged;
  // Numbers below 0 do not exist: their slots read as come.
  std::fill(std::begin(m_seen), std::end(m_seen), ~uint64_t{0});
  // The numbers before the first frame did not come (yet): those below the
  // window at once, those within it as free slots (set, they leave without
  // counting).
  const int64_t windowStart = std::max<int64_t>(number - kWindow + 1, 0);
  if (windowStart > 0) Missed(0, windowStart);
  Leave(windowStart, number - windowStart, true);
}

void MarkedRun::Place(int64_t first, int64_t count) {
  if (m_placeCount > 0 && m_places[m_placeCount - 1].last + 1 == first) {
    m_places[m_placeCount - 1].last += count;
  } else if (m_placeCount < MarkedTotals::kPlaces) {
    m_places[m_placeCount++] = {first, first + count - 1};
  } else {
    m_morePlaces = true;
  }
}

void MarkedRun::Missed(int64_t first, int64_t count) {
  m_missing += count;
  Place(first, count);
  if (m_rangeCount > 0 && m_ranges[m_rangeCount - 1].last + 1 == first) {
    m_ranges[m_rangeCount - 1].last += count;
    return;
  }
  if (m_rangeCount == kRanges) {
    // The oldest range goes: below its end, missing numbers are not known.
    m_rangesFrom = m_ranges[0].last + 1;
    std::copy(m_ranges + 1, m_ranges + kRanges, m_ranges);
    --m_rangeCount;
  }
  m_ranges[m_rangeCount++] = {first, first + count - 1};
}

void MarkedRun::LeftOne(int64_t number) { Missed(number, 1); }

void MarkedRun::Leave(int64_t first, int64_t count, bool keepRanges) {
  // The slots as pieces of words: the bits of numbers not seen, and the
  // number of each piece's lowest bit.
  struct Piece {
    int64_t base;
    uint64_t unseen;
  };
  Piece pieces[kWords + 1];
  int pieceCount = 0;
  int runs = 0;
  int64_t missing = 0;
  for (int64_t number = first, left = count; left > 0;) {
    const int64_t slot = Slot(number);
    const int64_t bit = slot % 64;
    const int64_t take = std::min<int64_t>(64 - bit, left);
    const uint64_t mask =
        (take == 64 ? ~uint64_t{0} : (uint64_t{1} << take) - 1) << bit;
    uint64_t& word = m_seen[slot / 64];
    const uint64_t unseen = ~word & mask;
    word &= ~mask;
    if (unseen != 0) {
      pieces[pieceCount++] = {number - bit, unseen};
      runs += RunStarts(unseen);
      missing += __builtin_popcountll(unseen);
    }
    number += take;
    left -= take;
  }
  m_missing += missing;
  // The first places, from the bottom, while the line has room for them.
  int64_t placed = 0;
  for (int i = 0; i < pieceCount && m_placeCount < MarkedTotals::kPlaces; ++i) {
    ForEachRun(pieces[i].unseen, [&](int start, int length) {
      Place(pieces[i].base + start, length);
      placed += length;
    });
  }
  if (placed < missing) m_morePlaces = true;
  if (!keepRanges) return;
  // The latest ranges: those of the top pieces, as many as are kept.
  int from = 0;
  for (int kept = runs; from < pieceCount && kept > kRanges; ++from) {
    kept -= RunStarts(pieces[from].unseen);
  }
  if (from > 0) {
    m_rangesFrom = std::max(m_rangesFrom, pieces[from - 1].base + 64);
    m_rangeCount = 0;
  }
  for (int i = from; i < pieceCount; ++i) {
    ForEachRun(pieces[i].unseen, [&](int start, int length) {
      const int64_t at = pieces[i].base + start;
      if (m_rangeCount > 0 && m_ranges[m_rangeCount - 1].last + 1 == at) {
        m_ranges[m_rangeCount - 1].last += length;
        return;
      }
      if (m_rangeCount == kRanges) {
        m_rangesFrom = m_ranges[0].last + 1;
        std::copy(m_ranges + 1, m_ranges + kRanges, m_ranges);
        --m_rangeCount;
      }
      m_ranges[m_rangeCount++] = {at, at + length - 1};
    });
  }
}

void MarkedRun::Take(int64_t number, bool last, bool damaged) {
  if (last) m_lastNumber = number;
  m_damaged += damaged ? 1 : 0;
  if (number == m_latest + 1) {
    TakeNext(last);
    return;
  }
  if (number > m_latest) {
    const int64_t ahead = number - m_latest;
    if (ahead >= kWindow) {
      // An outage: the window leaves at once, and is kept as the archive;
      // of the numbers below it nothing is known any more.
      m_archived = true;
      m_archiveFrom = m_latest - kWindow + 1;
      std::copy(std::begin(m_seen), std::end(m_seen), std::begin(m_archive));
      Leave(m_archiveFrom, kWindow, false);
      m_rangesFrom = m_archiveFrom;
      m_rangeCount = 0;
      if (ahead > kWindow) Missed(m_latest + 1, ahead - kWindow);
    } else {
      // The slots of the numbers that come in now hold those a window below.
      Leave(m_latest - kWindow + 1, ahead, true);
    }
    m_latest = number;
    m_seen[Slot(number) / 64] |= uint64_t{1} << (Slot(number) % 64);
    return;
  }
  if (number < m_latest) ++m_outOfOrder;
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
  if (m_archived && number >= m_archiveFrom &&
      number < m_archiveFrom + kWindow) {
    uint64_t& word = m_archive[Slot(number) / 64];
    const uint64_t bit = uint64_t{1} << (Slot(number) % 64);
    if ((word & bit) != 0) {
      ++m_repeated;
    } else {
      word |= bit;
      Found(number);
    }
    return;
  }
  if (number < m_rangesFrom) {
    // Below what the ranges cover: a repeat, or a number that was missing.
    ++m_unplaced;
    m_exact = false;
    return;
  }
  MissingRange* const end = m_ranges + m_rangeCount;
  MissingRange* range = std::lower_bound(
      m_ranges, end, number,
      [](const MissingRange& r, int64_t n) { return r.last < n; });
  if (range == end || range->first > number) {
    ++m_repeated;
    return;
  }
  Found(number);
  if (range->first == range->last) {
    std::copy(range + 1, end, range);
    --m_rangeCount;
  } else if (number == range->first) {
    ++range->first;
  } else if (number == range->last) {
    --range->last;
  } else {
    if (m_rangeCount == kRanges) {
      // No room to cut it out: the oldest range goes first, and with it
      // what is known below its end.
      m_rangesFrom = m_ranges[0].last + 1;
      const bool oldest = range == m_ranges;
      std::copy(m_ranges + 1, end, m_ranges);
      --m_rangeCount;
      if (oldest) return;
      --range;
    }
    std::copy_backward(range + 1, m_ranges + m_rangeCount,
                       m_ranges + m_rangeCount + 1);
    ++m_rangeCount;
    range[1] = {number + 1, range->last};
    range->last = number - 1;
  }
}

void MarkedRun::Found(int64_t number) {
  --m_missing;
  for (int i = 0; i < m_placeCount; ++i) {
    MissingRange& place = m_places[i];
    if (number < place.first || number > place.last) continue;
    if (place.first == place.last) {
      std::copy(m_places + i + 1, m_places + m_placeCount, m_places + i);
      --m_placeCount;
      m_morePlaces = m_morePlaces || m_missing > 0;
    } else if (number == place.first) {
      ++place.first;
    } else if (number == place.last) {
      --place.last;
    } else if (m_placeCount < MarkedTotals::kPlaces) {
      std::copy_backward(m_places + i + 1, m_places + m_placeCount,
                         m_places + m_placeCount + 1);
      ++m_placeCount;
      m_places[i + 1] = {number + 1, place.last};
      place.last = number - 1;
    } else {
      place.last = number - 1;
      m_morePlaces = true;
    }
    return;
  }
}

MarkedTotals MarkedRun::Finish() {
  // What is left in the window leaves it.
  Leave(m_latest - kWindow + 1, kWindow, false);
  MarkedTotals totals;
  totals.tag = m_tag;
  totals.order = m_order;
  totals.frames = m_latest + 1 - m_missing + m_repeated + m_unplaced;
  totals.latest = m_latest;
  totals.lastCame = m_lastNumber >= 0 && m_lastNumber == m_latest;
  totals.missing = m_missing;
  totals.repeated = m_repeated;
  totals.outOfOrder = m_outOfOrder;
  totals.damaged = m_damaged;
  totals.exact = m_exact;
  std::copy(m_places, m_places + m_placeCount, totals.places);
  totals.placeCount = m_placeCount;
  totals.morePlaces = m_morePlaces;
  return totals;
}
