// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "can/FrameImage.h"
#include "frame/Mark.h"
#include "verdict/GrowShapes.h"
#include "verdict/MarkedRuns.h"
#include "verdict/VerdictReport.h"

// Judges every frame a receive run counts: frames of marked send runs,
// frames of grow-mode send runs without marks, and the others. State is
// fixed in size; the frame after the one before, of the same run or
// sequence, takes a fast path of a few dozen instructions. DESIGN.md tells
// the rules.
class FrameVerdict {
 public:
  // `capacity`: the payload bytes that a frame image holds.
  explicit FrameVerdict(unsigned capacity)
      : m_capacity(capacity), m_grow(capacity) {}
  FrameVerdict(const FrameVerdict&) = delete;
  FrameVerdict& operator=(const FrameVerdict&) = delete;

  template <class Image>
  void Take(const Image& image) {
    // Grown frames first: a one-sender run of them costs what it did before
    // marks were told; a marked frame pays for the first test failing.
    if (TakeGrown(image) || TakeMarked(image)) return;
    static_assert(offsetof(Image, can_id) == 0 && offsetof(Image, len) == 4,
                  "can_id and len make the first word of an image");
    uint64_t head;
    std::memcpy(&head, &image, sizeof head);
    const uint64_t word = LoadMark(image.data);
    const unsigned char fill =
        sizeof image.data > kMarkBytes ? image.data[kMarkBytes] : 0;
    // Alike to the latest of the other frames: a plain send run's.
    if (head == m_otherHead && word == m_otherWord && fill == m_otherFill) {
      return;
    }
    TakeSlowly(head, BrsOf(image), image.data);
  }

  // Ends the check. `taken`: the frames handed to Take.
  VerdictReport Finish(int64_t taken);

 private:
  // The next frame of the marked run of the frame before, intact.
  template <class Image>
  bool TakeMarked(const Image& image) {
    MarkedRuns::Slot& slot = m_marked.Fast();
    if (image.len != slot.length) return false;
    const uint64_t word = LoadMark(image.data);
    const auto next = static_cast<uint64_t>(slot.run.Latest() + 1);
    // The frame marked last, once a run, takes the slow path.
    constexpr uint64_t kTagNumberLast = (uint64_t{1} << kMarkCheckShift) - 1;
    if ((word & kTagNumberLast) != (slot.tagInMark | (next & kMarkNumberMask))) {
      return false;
    }
    // can_id, the length and the bit-rate switch lie in the image's first
    // word where the frame word has them (a classic image's byte 5 is 0).
    static_assert(offsetof(Image, can_id) == 0 && offsetof(Image, len) == 4,
                  "can_id and len make the first word of an image");
    uint64_t head;
    std::memcpy(&head, &image, sizeof head);
    uint64_t frameWord = head & kMarkHeadMask;
    if (sizeof image.data > kMarkBytes) {
      frameWord |= (image.data[kMarkBytes] & slot.fillMask) << kMarkFillShift;
    }
    if (MarkMix(frameWord, next + slot.tagInRun) != word >> kMarkCheckShift) {
      return false;
    }
    if (sizeof image.data > kMarkBytes && image.len > kMarkBytes + 1 &&
        !FillsRest(image.data, slot.rest)) {
      return false;
    }
    slot.run.TakeNext();
    return true;
  }

  // A frame of the current step, or of the next, of the grow-mode track of
  // the frame before, when the step that then leaves the window came with
  // as many frames as the one that left before it.
  template <class Image>
  bool TakeGrown(const Image& image) {
    GrowTrack& track = m_grow.Fast();
    const GrowShape& shape = track.shape;
    static_assert(offsetof(Image, can_id) == 0 && offsetof(Image, len) == 4,
                  "can_id and len make the first word of an image");
    uint64_t first;
    std::memcpy(&first, &image, sizeof first);
    const uint32_t id = static_cast<uint32_t>(first) & shape.mask;
    if ((first & shape.kindLengthMask) != track.fastKind ||
        shape.Head(id, image.data) != 0 ||
        (sizeof image.data > 8 && image.len > 8 &&
         shape.Rest(image.data) != 0)) {
      return false;
    }
    const uint32_t ahead = (id - track.latestId) & shape.mask;
    if (ahead == 0) {
      ++track.counts[track.latest & GrowTrack::kSlotMask];
      return true;
    }
    uint64_t& leaving =
        track.counts[(track.latest + 1) & GrowTrack::kSlotMask];
    if (ahead != 1 || leaving != track.sameCount) return false;
    leaving = 1;
    ++track.latest;
    track.latestId = id;
    return true;
  }

  // Out of line, so that Take stays small where it is inlined. `head`:
  // the image's first 8 bytes.
  [[gnu::noinline]] void TakeSlowly(uint64_t head, bool brs,
                                    const unsigned char* data);

  const unsigned m_capacity;
  MarkedRuns m_marked;
  GrowShapes m_grow;
  // The frame before was marked: its fast path is tried first.
  bool m_markedBefore = false;
  // The frames that took the slow path: the order of events.
  int64_t m_index = 0;
  // The latest frame found to be neither, whose copies are told at once:
  // a plain send run's frames are all alike. Its first 8 bytes, then the
  // first 9 of its payload.
  uint64_t m_otherHead = ~uint64_t{0};
  uint64_t m_otherWord = 0;
  unsigned char m_otherFill = 0;
  int64_t m_firstOtherIndex = std::numeric_limits<int64_t>::max();
  ReceivedFrame m_firstOther;
};
