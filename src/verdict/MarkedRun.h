// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "verdict/VerdictReport.h"

// One marked send run as a receive run gets it: which of its numbers came,
// once, twice or late, in fixed memory however long the run. See DESIGN.md.
//
// Numbers are the frames' full numbers (run positions from 0). Those from
// kWindow below the latest to the latest are told apart by a ring of bits.
// When the run jumps a window ahead at once (an outage), the window's bits
// are kept as the archive; numbers that leave it one by one, when missing,
// as at least the latest kRanges ranges. A frame later than the window is told
// exactly from these: a late arrival where its number was missing, else a
// repeat; below what they cover, `cannot tell`.
class MarkedRun {
 public:
  // Reordering up to this many numbers back is told exactly: 4,096 frames
  // back with up to 15 in 16 lost between. The bits cost kWindow / 8
  // bytes, twice, a run.
  static constexpr int64_t kWindow = 65536;
  // The missing ranges kept below the window, the latest, at least. Room
  // for twice as many lets the oldest half go at once, not one by one.
  static constexpr int kRanges = 64;
  static constexpr int kRangeRoom = 2 * kRanges;
  // A jump ahead of up to this many numbers frees their slots one by one.
  static constexpr int64_t kFewAhead = 64;
  // No run's tag, for a run that takes no frame.
  static constexpr uint32_t kNoTag = ~0u;

  // The run's first frame came: number `number`, the `order`th run seen.
  void Begin(uint32_t tag, int64_t number, int64_t order, bool last,
             bool damaged);
  uint32_t Tag() const { return m_tag; }
  int64_t Latest() const { return m_latest; }
  int64_t Order() const { return m_order; }

  // The frame after the latest, intact: what nearly every frame is.
  void TakeNext() {
    ++m_latest;
    uint64_t& word = m_seen[Slot(m_latest) / 64];
    const uint64_t bit = uint64_t{1} << (Slot(m_latest) % 64);
    // The slot held the number kWindow below, which leaves the window now.
    if ((word & bit) == 0) Missed(m_latest - kWindow, 1);
    word |= bit;
  }
  // Any frame of the run; `damaged` when bytes beyond its mark changed.
  void Take(int64_t number, bool last, bool damaged);
  // A frame's number was not sure, or the run's tag was seen before, of a
  // run that had ended: missing and repeated cannot be told.
  void Unsure() { m_exact = false; }

  // What the run came to, once no frame is to come.
  MarkedTotals Finish();

 private:
  static constexpr int64_t kWords = kWindow / 64;
  static int64_t Slot(int64_t number) { return number & (kWindow - 1); }
  // The numbers from `first` on, `count` of them, left the window missing:
  // placed, and kept as a range.
  void Missed(int64_t first, int64_t count);
  // The slots of the numbers from `first` on, `count` of them (at most a
  // window), free: those not seen are missing, placed and, with
  // `keepRanges`, the latest of their ranges kept.
  void Leave(int64_t first, int64_t count, bool keepRanges);
  // A range of missing numbers kept, the oldest half gone when full.
  void KeepRange(int64_t first, int64_t count);
  void DropOldRanges();
  // Places the numbers in the window not seen, at the run's end.
  void PlaceLeft();
  // A frame of a number below the window.
  void TakeFarBehind(int64_t number);
  // Fills number `number` among the missing places.
  void Found(int64_t number);
  void Place(int64_t first, int64_t count);

  uint32_t m_tag = kNoTag;
  int64_t m_order = 0;
  int64_t m_latest = 0;
  int64_t m_lastNumber = -1;  // the number of the frame marked last
  // Frames that came are the numbers up to the latest but those that did
  // not come, the repeated, and those whose number could not be placed.
  int64_t m_unplaced = 0;
  int64_t m_notCame = 0;
  int64_t m_repeated = 0;
  int64_t m_outOfOrder = 0;
  int64_t m_damaged = 0;
  // False once a figure of the run cannot be told.
  bool m_exact = true;
  // The first ranges of missing numbers, for the line; closed once one had
  // no room, so that they stay the first.
  MissingRange m_places[MarkedTotals::kPlaces] = {};
  int m_placeCount = 0;
  bool m_placesClosed = false;
  // The latest missing ranges below the window and the archive, sorted; for
  // numbers from m_rangesFrom on, they are all.
  MissingRange m_ranges[kRangeRoom] = {};
  int m_rangeCount = 0;
  int64_t m_rangesFrom = 0;
  // The window's bits when it last left at once: numbers from
  // m_archiveFrom, kWindow of them, with 0 for the missing.
  bool m_archived = false;
  int64_t m_archiveFrom = 0;
  uint64_t m_archive[kWords] = {};
  // Bit Slot(n) is set when n came, for n in (m_latest - kWindow,
  // m_latest]; numbers below 0 read as come.
  uint64_t m_seen[kWords] = {};
};
