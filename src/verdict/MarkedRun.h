// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "verdict/VerdictReport.h"

// One marked send run as a receive run gets it: which of its numbers came,
// once, twice or late, in fixed memory however long the run. See DESIGN.md.
//
// Numbers are the frames' full numbers (run positions from 0). The numbers
// from kWindow below the latest to the latest are told apart by a ring of
// bits; the runs of numbers below that which never came are kept as up to
// kRanges ranges, so that a frame later than the window is still told
// exactly: a late arrival when its number is in a range, a repeat when it
// is not and no range was ever left out.
class MarkedRun {
 public:
  // Reordering up to this many frames back is told exactly, whatever the
  // ranges: the bits cost kWindow / 8 bytes a run.
  static constexpr int64_t kWindow = 4096;
  // The missing ranges kept; past them, a frame later than the window reads
  // `cannot tell`.
  static constexpr int kRanges = 16;

  // No run's tag, for a run that takes no frame.
  static constexpr uint32_t kNoTag = ~0u;

  // The run's first frame came: number `number`, the `order`th run seen.
  void Begin(uint32_t tag, int64_t number, int64_t order, bool last,
             bool damaged);
  uint32_t Tag() const { return m_tag; }
  int64_t Latest() const { return m_latest; }
  int64_t Order() const { return m_order; }

  // The frame after the latest, intact: what nearly every frame is.
  void TakeNext(bool last) {
    ++m_latest;
    ++m_frames;
    uint64_t& word = m_seen[Slot(m_latest) / 64];
    const uint64_t bit = uint64_t{1} << (Slot(m_latest) % 64);
    // The slot held the number kWindow below, which leaves the window now.
    if ((word & bit) == 0) Missed(m_latest - kWindow, 1);
    word |= bit;
    if (last) m_lastNumber = m_latest;
  }
  // Any frame of the run; `damaged` when bytes beyond its mark changed.
  void Take(int64_t number, bool last, bool damaged);
  // A frame of the run that fits it only with other upper bits of its
  // number than the run's: a gap or a delay beyond what the number tells,
  // or a tag seen before, of a run that had ended.
  void Lost() {
    ++m_frames;
    m_exact = false;
  }
  // The run may have begun before its first frame here.
  void Unsure() { m_exact = false; }

  // What the run came to, once no frame is to come.
  MarkedTotals Finish();

 private:
  static constexpr int64_t kWords = kWindow / 64;
  static int64_t Slot(int64_t number) { return number & (kWindow - 1); }
  // Numbers from `first` on, `count` of them, never came.
  void Missed(int64_t first, int64_t count);
  // The numbers whose slots lie from `first` on, `count` of them, leave the
  // window: those not seen are missing, and the slots are free.
  void Leave(int64_t first, int64_t count);
  // A frame of a number below the window.
  void TakeFarBehind(int64_t number);

  uint32_t m_tag = kNoTag;
  int64_t m_order = 0;
  int64_t m_latest = 0;
  int64_t m_lastNumber = -1;  // the number of the frame marked last
  int64_t m_frames = 0;
  int64_t m_missing = 0;
  int64_t m_repeated = 0;
  int64_t m_outOfOrder = 0;
  int64_t m_damaged = 0;
  // False once a figure of the run cannot be told.
  bool m_exact = true;
  // False once a missing number was not kept in m_ranges.
  bool m_rangesWhole = true;
  MissingRange m_ranges[kRanges] = {};
  int m_rangeCount = 0;
  // Bit Slot(n) is set when n came, for n in (m_latest - kWindow,
  // m_latest]; numbers below 0 read as come.
  uint64_t m_seen[kWords] = {};
};
