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

constexpr uint64_t kAll = ~uint64_t{0};

// Numbers that leave the window not seen: in the word whose lowest bit is
// number `base`, the bits `unseen`; or, where `unseen` is kAll, every
// number from `base` to `end`, whole words of them.
struct Piece {
  int64_t base;
  int64_t end;
  uint64_t unseen;
};

// The runs of numbers of `piece`, lowest first: `visit(first, count)`.
template <class Visit>
void ForEachRange(const Piece& piece, Visit visit) {
  if (piece.unseen == kAll) {
    visit(piece.base, piece.end - piece.base);
    return;
  }
  ForEachRun(piece.unseen, [&](int start, int length) {
    visit(piece.base + start, int64_t{length});
  });
}

// The ranges that begin in `pieces[i]`, not those that go on from the one
// below it.
int RangeStarts(const Piece* pieces, int i) {
  const Piece& piece = pieces[i];
  const bool joins = i > 0 && pieces[i - 1].end == piece.base &&
                     (pieces[i - 1].unseen >> 63) != 0 && (piece.unseen & 1) != 0;
  return (piece.unseen == kAll ? 1 : RunStarts(piece.unseen)) - (joins ? 1 : 0);
}

}  // namespace

void MarkedRun::Begin(uint32_t tag, int64_t number, int64_t order,
                      bool last, bool damaged) {
  m_tag = tag;
  m_order = order;
  m_latest = number;
  m_lastNumber = last ? number : -1;
  m_unplaced = 0;
  m_notCame = number;
  m_repeated = 0;
  m_outOfOrder = 0;
  m_damaged = damaged ? 1 : 0;
  m_exact = true;
  m_placeCount = 0;
  m_placesClosed = false;
  m_rangeCount = 0;
  m_rangesFrom = 0;
  m_archived = false;
  // The numbers before the first frame did not come (yet): those below the
  // window at once, those within it as clear slots. Numbers below 0 do not
  // exist: their slots read as come.
  std::fill(std::begin(m_seen), std::end(m_seen), 0);
  if (number < kWindow) {
    m_seen[number / 64] = kAll << (number % 64);
    std::fill(m_seen + number / 64 + 1, std::end(m_seen), kAll);
  } else {
    m_seen[Slot(number) / 64] = uint64_t{1} << (Slot(number) % 64);
    Missed(0, number - kWindow + 1);
  }
}

void MarkedRun::Place(int64_t first, int64_t count) {
  if (m_placeCount > 0 && m_places[m_placeCount - 1].last + 1 == first) {
    m_places[m_placeCount - 1].last += count;
  } else if (m_placesClosed) {
    return;
  } else if (m_placeCount < MarkedTotals::kPlaces) {
    m_places[m_placeCount++] = {first, first + count - 1};
  } else {
    m_placesClosed = true;
  }
}

void MarkedRun::DropOldRanges() {
  // Below the end of the ranges that go, missing numbers are not known.
  m_rangesFrom = m_ranges[kRanges - 1].last + 1;
  std::copy(m_ranges + kRanges, m_ranges + m_rangeCount, m_ranges);
  m_rangeCount -= kRanges;
}

void MarkedRun::KeepRange(int64_t first, int64_t count) {
  if (m_rangeCount > 0 && m_ranges[m_rangeCount - 1].last + 1 == first) {
    m_ranges[m_rangeCount - 1].last += count;
    return;
  }
  if (m_rangeCount == kRangeRoom) DropOldRanges();
  m_ranges[m_rangeCount++] = {first, first + count - 1};
}

void MarkedRun::Missed(int64_t first, int64_t count) {
  Place(first, count);
  KeepRange(first, count);
}

void MarkedRun::Leave(int64_t first, int64_t count, bool keepRanges) {
  Piece pieces[kWords + 1];
  int pieceCount = 0;
  // The bits of part of a word.
  const auto leavePart = [&](int64_t number, int64_t take) {
    const int64_t bit = Slot(number) % 64;
    const uint64_t mask = ((uint64_t{1} << take) - 1) << bit;
    uint64_t& word = m_seen[Slot(number) / 64];
    const uint64_t unseen = ~word & mask;
    word &= ~mask;
    if (unseen != 0) pieces[pieceCount++] = {number - bit, number - bit + 64, unseen};
  };
  int64_t number = first;
  const int64_t end = first + count;
  if (number < end && (Slot(number) % 64 != 0 || end - number < 64)) {
    const int64_t take = std::min<int64_t>(64 - Slot(number) % 64, end - number);
    leavePart(number, take);
    number += take;
  }
  // Whole words: those none of whose numbers came make one piece.
  const auto words = static_cast<uint64_t>((end - number) / 64);
  const auto firstWord = static_cast<uint64_t>(Slot(number) / 64);
  for (uint64_t i = 0; i < words;) {
    uint64_t& word = m_seen[(firstWord + i) % kWords];
    if (word == 0) {
      const uint64_t from = i;
      do {
        ++i;
      } while (i < words && m_seen[(firstWord + i) % kWords] == 0);
      pieces[pieceCount++] = {number + static_cast<int64_t>(from) * 64,
                              number + static_cast<int64_t>(i) * 64, kAll};
      continue;
    }
    const uint64_t unseen = ~word;
    word = 0;
    if (unseen != 0) {
      const int64_t base = number + static_cast<int64_t>(i) * 64;
      pieces[pieceCount++] = {base, base + 64, unseen};
    }
    ++i;
  }
  number += static_cast<int64_t>(words) * 64;
  if (number < end) leavePart(number, end - number);
  // The first places, from the bottom, while the line has room for them.
  for (int i = 0; i < pieceCount && !m_placesClosed; ++i) {
    ForEachRange(pieces[i], [&](int64_t at, int64_t length) { Place(at, length); });
  }
  if (!keepRanges) return;
  // The latest ranges: those of the top pieces, as many as are kept.
  int from = pieceCount;
  for (int kept = 0; from > 0; --from) {
    kept += RangeStarts(pieces, from - 1);
    if (kept > kRanges) break;
  }
  if (from > 0) {
    m_rangesFrom = std::max(m_rangesFrom, pieces[from - 1].end);
    m_rangeCount = 0;
  }
  for (int i = from; i < pieceCount; ++i) {
    ForEachRange(pieces[i], [&](int64_t at, int64_t length) { KeepRange(at, length); });
  }
}

void MarkedRun::PlaceLeft() {
  // Only the first places matter: the scan ends once they are closed. The
  // window's lowest number need not begin a word: the words are read from
  // the one it is in, its bits below the window's masked in the first and
  // read in the last.
  const int64_t first = m_latest - kWindow + 1;
  const int64_t offset = Slot(first) % 64;
  const int64_t base = first - offset;
  const auto firstWord = static_cast<uint64_t>(Slot(first) / 64);
  const uint64_t low = kAll << offset;
  for (int64_t i = 0; i <= kWords && !m_placesClosed;) {
    const uint64_t inWindow = i == 0 ? low : i == kWords ? ~low : kAll;
    const uint64_t unseen = ~m_seen[(firstWord + static_cast<uint64_t>(i)) % kWords] & inWindow;
    const int64_t number = base + 64 * i;
    if (unseen == 0 || unseen == kAll) {
      // Whole words alike, all seen or none, at once.
      int64_t words = 1;
      while (i + words < kWords &&
             m_seen[(firstWord + static_cast<uint64_t>(i + words)) % kWords] == ~unseen) {
        ++words;
      }
      if (unseen == kAll) Place(number, 64 * words);
      i += words;
      continue;
    }
    ForEachRun(unseen, [&](int start, int length) { Place(number + start, length); });
    ++i;
  }
}

void MarkedRun::Take(int64_t number, bool last, bool damaged) {
  if (last) m_lastNumber = number;
  m_damaged += damaged ? 1 : 0;
  if (number == m_latest + 1) {
    TakeNext();
    return;
  }
  if (number > m_latest) {
    const int64_t ahead = number - m_latest;
    m_notCame += ahead - 1;
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
    } else if (ahead <= kFewAhead) {
      // The slots of the numbers that come in now, one by one, as TakeNext.
      for (int64_t coming = m_latest + 1; coming <= number; ++coming) {
        uint64_t& word = m_seen[Slot(coming) / 64];
        const uint64_t bit = uint64_t{1} << (Slot(coming) % 64);
        if ((word & bit) == 0) Missed(coming - kWindow, 1);
        word &= ~bit;
      }
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
    --m_notCame;
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
  MissingRange* range = std::lower_bound(
      m_ranges, m_ranges + m_rangeCount, number,
      [](const MissingRange& r, int64_t n) { return r.last < n; });
  if (range == m_ranges + m_rangeCount || range->first > number) {
    ++m_repeated;
    return;
  }
  Found(number);
  if (range->first == range->last) {
    std::copy(range + 1, m_ranges + m_rangeCount, range);
    --m_rangeCount;
  } else if (number == range->first) {
    ++range->first;
  } else if (number == range->last) {
    --range->last;
  } else {
    if (m_rangeCount == kRangeRoom) {
      // No room to cut it out: the oldest ranges go first, and with them
      // what is known below their end.
      const bool old = range - m_ranges < kRanges;
      DropOldRanges();
      if (old) return;
      range -= kRanges;
    }
    std::copy_backward(range + 1, m_ranges + m_rangeCount,
                       m_ranges + m_rangeCount + 1);
    ++m_rangeCount;
    range[1] = {number + 1, range->last};
    range->last = number - 1;
  }
}

void MarkedRun::Found(int64_t number) {
  --m_notCame;
  for (int i = 0; i < m_placeCount; ++i) {
    MissingRange& place = m_places[i];
    if (number < place.first || number > place.last) continue;
    if (place.first == place.last) {
      std::copy(m_places + i + 1, m_places + m_placeCount, m_places + i);
      --m_placeCount;
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
      // No room for the part above: the places end below it.
      place.last = number - 1;
      m_placeCount = i + 1;
      m_placesClosed = true;
    }
    return;
  }
}

MarkedTotals MarkedRun::Finish() {
  PlaceLeft();
  MarkedTotals totals;
  totals.tag = m_tag;
  totals.order = m_order;
  totals.frames = m_latest + 1 - m_notCame + m_repeated + m_unplaced;
  totals.latest = m_latest;
  totals.lastCame = m_lastNumber >= 0 && m_lastNumber == m_latest;
  totals.missing = m_notCame;
  totals.repeated = m_repeated;
  totals.outOfOrder = m_outOfOrder;
  totals.damaged = m_damaged;
  totals.exact = m_exact;
  std::copy(m_places, m_places + m_placeCount, totals.places);
  totals.placeCount = m_placeCount;
  int64_t placed = 0;
  for (int i = 0; i < m_placeCount; ++i) {
    placed += m_places[i].last - m_places[i].first + 1;
  }
  totals.morePlaces = placed < m_notCame;
  return totals;
}
