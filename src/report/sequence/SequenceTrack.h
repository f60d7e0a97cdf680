// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "report/sequence/SequenceShape.h"
#include "report/sequence/SequenceTally.h"
#include "report/sequence/SequenceTotals.h"
#include "report/sequence/StepCounts.h"

// Follows the grow-mode send runs of one shape, one after the other, frame
// by frame in fixed memory, and hands each sequence's totals to the tally
// when it ends.
//
// Each frame counts for its step, the identifier's distance from the
// sequence's first. A step is judged when it leaves the window, kWindow
// steps behind the latest, so that a late frame still counts for its own
// step until then.
//
// A frame that does not continue the sequence, one behind the latest or
// more than kReach ahead, is held until what follows tells what it was:
// held frames are late (or, of a weak shape, other traffic) when the
// sequence goes on, and a send run started again when they rose and doubled
// the steps they came to (late frames fill steps that lacked them): once
// kHold came in a row, when the check ends, or when they reached the latest
// identifier and go on. Once started again, the sequence ends
// and a new one begins at the first of the rising frames; where those lie
// ahead of the sequence, at identifiers it has not sent, they are a gap.
//
// A sequence counts once it rose: for a shape whose payload carries its
// whole identifier, by up to kReach; for a weak one, by one identifier
// kWeakRises times, which other traffic does not by chance.
class SequenceTrack {
 public:
  static constexpr int64_t kWindow = 128;
  static constexpr int64_t kSlotMask = kWindow - 1;
  static_assert((kWindow & kSlotMask) == 0, "the window is a power of two");
  static constexpr uint32_t kReach = 128;
  // One more than the frames a run of late ones may hold.
  static constexpr int kHold = kWindow + 1;
  static constexpr uint64_t kUndecided = ~uint64_t{0};
  // The steps a sequence needs before its steps tell what a whole one is.
  static constexpr int64_t kFewestToTell = 5;

  // The fast path of SequenceCheck::Take reads and writes these.
  SequenceShape shape;
  // shape.kindLength while the fast path may take frames, else none.
  uint64_t fastKind = SequenceShape::kNoKind;
  uint32_t latestId = 0;
  int64_t latest = 0;
  // A step leaving the window with this many frames needs no judging.
  uint64_t wholeStep = kUndecided;
  uint64_t counts[kWindow] = {};

  // Starts following `shape`, whose first frame, `sample`, came as the
  // `index`th checked.
  void Open(const SequenceShape& shape, const ReceivedFrame& sample,
            int64_t index, SequenceTally* tally);
  bool InUse() const { return m_inUse; }
  // The frame of identifier `id`, the `index`th checked.
  void Take(uint32_t id, int64_t index);
  // The track was in use up to the `index`th frame.
  void Touch(int64_t index) { m_lastUse = index; }
  // Settles what is held, ends the sequence and frees the track.
  void End();
  // Which to free first: those that never rose, then those of a weak shape,
  // then those idle longest.
  bool IdlerThan(const SequenceTrack& other) const;

  static constexpr int64_t kWeakRises = 4;

 private:
  void TakeFrame(uint32_t id, int64_t index);
  void Begin(uint32_t id, int64_t index);
  void Forward(uint32_t ahead);
  void Advance(int64_t step);
  void Leave(int64_t step, uint64_t count);
  void Close();
  void Hold(uint32_t id, int64_t index);
  void Settle();
  bool NewRunReachedLatest(uint32_t ahead) const;
  // Whether the held frames from `from` on look like a send run started
  // again rather than late frames, where they come to at least
  // `fewestSteps` steps that tell.
  bool LooksNew(int from, int fewestSteps) const;
  void Resolve(int from, int to);
  // `perStep`: the frames of a whole step, for a weak shape.
  void ResolveOne(uint32_t id, int64_t index, uint64_t perStep);
  // The held frames from `from` on begin a new run, or end a gap; those
  // before came late.
  void Promote(int from);
  // The first held frame of the first step that the next one rises from;
  // m_heldCount if none.
  int FirstRise() const;
  int RisingFrom() const;
  bool Rose(int from) const;
  bool Follows(uint32_t before, uint32_t after) const;
  uint64_t EstimatePerStep() const;
  int64_t Span() const { return latest - m_first + 1; }
  bool Rose() const { return m_rises >= (shape.weak ? kWeakRises : 1); }
  uint32_t IdOf(int64_t step) const {
    return (m_baseId + static_cast<uint32_t>(step)) & shape.mask;
  }

  SequenceTally* m_tally = nullptr;
  ReceivedFrame m_sample;
  bool m_inUse = false;
  int64_t m_lastUse = 0;

  // The current sequence: steps count from its first frame's identifier,
  // m_baseId, and the window holds those after latest - kWindow.
  bool m_active = false;
  // Steps it rose by, by one where the shape is weak.
  int64_t m_rises = 0;
  uint32_t m_baseId = 0;
  int64_t m_first = 0;
  int64_t m_firstIndex = 0;
  uint64_t m_firstCount = 0;
  StepCounts m_steps{0};
  int64_t m_outOfOrder = 0;
  // Frames later than the window: out of order, and their step judged.
  int64_t m_lateBeyond = 0;
  // Frames that did not follow the frame before.
  int64_t m_jumps = 0;

  // Frames held until what follows tells what they were.
  uint32_t m_held[kHold] = {};
  int64_t m_heldIndex[kHold] = {};
  int m_heldCount = 0;
};
