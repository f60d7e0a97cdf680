// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "frame/Mark.h"
#include "frame/PayloadRest.h"
#include "verdict/MarkedRun.h"
#include "verdict/VerdictReport.h"

// The marked send runs that a receive run gets, told apart by their tags,
// up to kRuns at once, each judged on its own (DESIGN.md, "Marked runs").
class MarkedRuns {
 public:
  // Runs followed at once: eight senders on one bus. A run beyond them ends
  // the one idle longest.
  static constexpr int kRuns = 8;
  // Tags of ended runs kept, so that a frame of one reads as such.
  static constexpr int kEndedTags = 64;

  // One run and what its frames look like beyond the mark.
  struct Slot {
    MarkedRun run;
    // The tag where a mark and a run word have it (MarkRunWord's tag and
    // last bit are added to the number); payload byte 8's bits in the frame
    // word (none for 8 bytes).
    uint64_t tagInMark = 0;
    uint64_t tagInRun = 0;
    uint64_t fillMask = 0;
    unsigned length = 0;
    // The bytes from 8 to the length, for the fill byte's copies.
    PayloadRest rest;
    bool used = false;
    int64_t lastUse = 0;
  };

  MarkedRuns() = default;
  MarkedRuns(const MarkedRuns&) = delete;
  MarkedRuns& operator=(const MarkedRuns&) = delete;

  // The run of the frame before, when the frame is its next, intact: the
  // fast path of FrameVerdict::Take.
  Slot& Fast() { return *m_fast; }

  // Any frame; false when it is not marked. `index`: when it came.
  bool Take(uint32_t canId, unsigned length, bool brs,
            const unsigned char* data, unsigned capacity, int64_t index);

  // Ends every run; fills the report's marked lines.
  void Finish(VerdictReport* report);
  // The frames of all runs, once finished.
  int64_t Frames() const { return m_frames; }

 private:
  Slot* Find(uint32_t tag);
  Slot* Open(int64_t index);
  void End(Slot* slot);
  void AddLater(const MarkedTotals& totals);
  bool Ended(uint32_t tag) const;

  Slot m_none;
  Slot* m_fast = &m_none;
  Slot m_slots[kRuns];
  uint32_t m_ended[kEndedTags] = {};
  int m_endedCount = 0;
  int64_t m_order = 0;
  int64_t m_frames = 0;
  // The earliest runs' totals, by order, and the later ones together.
  MarkedTotals m_lines[VerdictReport::kLines];
  int m_lineCount = 0;
  MarkedTotals m_later;
  bool m_hasLater = false;
};

// Payload bytes 8 to the length of `data` (64 bytes) all hold byte 8.
inline bool FillsRest(const unsigned char* data, const PayloadRest& rest) {
  return rest.Differs(data, EveryByte(data[kMarkBytes])) == 0;
}
