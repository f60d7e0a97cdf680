// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "verdict/GrowShape.h"
#include "verdict/GrowTally.h"
#include "verdict/StepHistogram.h"

// Follows the grow-mode send runs of one shape, one after the other, frame
// by frame in fixed memory, and hands each sequence's totals to the tally
// when it ends. The rules are DESIGN.md's "Sequences".
//
// A step is an identifier's distance from the sequence's first; its frames
// are counted in a window of kWindow steps up to the latest, so that a late
// frame still counts for its own step, and judged as the step leaves it.
class GrowTrack {
 public:
  // A frame up to kWindow - 1 steps behind the latest counts for its own
  // step: netem's and a busy host's reordering stays well within it, and a
  // send run started again from its first identifier after 200 steps lies
  // beyond it.
  static constexpr int64_t kWindow = 128;
  static constexpr int64_t kSlotMask = kWindow - 1;
  // A frame up to kReach steps ahead of the latest continues the sequence,
  // the steps between having come with no frame.
  static constexpr uint32_t kReach = 128;
  // A frame far from the sequence, at its first identifier or up to this
  // many steps from it, is a send run started again, the first frames of
  // the one or the other lost: that many lost in a row, of one frame a step
  // with a tenth lost, is a chance of 1 in 10^9.
  static constexpr uint32_t kRestartSlack = 8;
  // No step's count: sameCount before a step left.
  static constexpr uint64_t kNoCount = ~uint64_t{0};

  // The fast path of FrameVerdict::Take reads and writes these.
  GrowShape shape;
  // shape.kindLength while the fast path may take frames, else none: from
  // the step kWindow on, the step that leaves the window as the sequence
  // rises by one lies between its first and last.
  uint64_t fastKind = GrowShape::kNoKind;
  uint32_t latestId = 0;
  int64_t latest = 0;
  // The frames of the step that left the window last: the fast path lets
  // steps of as many leave unrecorded, and they are recorded as the next
  // step leaves by the slow path, so that a run of whole steps costs it a
  // compare.
  uint64_t sameCount = kNoCount;
  StepHistogram steps;
  uint64_t counts[kWindow] = {};

  // Starts following `shape`, whose first frame came as the `index`th
  // frame checked.
  void Open(const GrowShape& shape, int64_t index, GrowTally* tally);
  bool InUse() const { return m_tally != nullptr; }
  // The frame of identifier `id`, the `index`th checked.
  void Take(uint32_t id, int64_t index);
  // Ends the sequence and frees the track; `cut` when its send run may go
  // on unseen.
  void End(bool cut);
  // Which to free first: those whose sequence never rose, then those idle
  // longest.
  bool IdlerThan(const GrowTrack& other) const;
  void Touch(int64_t index) { m_lastUse = index; }

 private:
  void TakeFrame(uint32_t id, int64_t index);
  void Begin(uint32_t id, int64_t index);
  void Close();
  void Advance(int64_t step);
  void Leave(int64_t step, uint64_t count);
  // The steps from `from` to before `end` leave the window.
  void LeaveSteps(int64_t from, int64_t end);
  // Records the steps the fast path let leave, up to `step`.
  void RecordUpTo(int64_t step);
  void LeaveEmpty(int64_t step, int64_t count);
  void NoteEmpty(int64_t step, int64_t count);
  bool FirstStepWhole() const;
  // Identifier `id` is the sequence's first, but for kRestartSlack steps.
  bool NearFirst(uint32_t id) const {
    return ((id - m_firstId) & shape.mask) <= kRestartSlack ||
           ((m_firstId - id) & shape.mask) <= kRestartSlack;
  }
  uint32_t IdOf(int64_t step) const {
    return (m_firstId + static_cast<uint32_t>(step)) & shape.mask;
  }

  GrowTally* m_tally = nullptr;
  int64_t m_lastUse = 0;

  // The current sequence, of steps from 0, its first identifier m_firstId.
  bool m_active = false;
  uint32_t m_firstId = 0;
  int64_t m_firstIndex = 0;
  uint64_t m_firstCount = 0;
  int64_t m_outOfOrder = 0;
  // The frames may belong to two sequences, or a sequence may have gone
  // on unseen: its figures cannot be told.
  bool m_doubt = false;
  EmptySteps m_places[ShapeTotals::kPlaces] = {};
  int m_placeCount = 0;
  bool m_morePlaces = false;
  int64_t m_lastEmpty = -2;  // the last step of the latest empty run
  int64_t m_recordedTo = 0;  // the steps before it are in `steps`
};
