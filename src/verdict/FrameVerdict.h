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
    const bool taken = m_markedLast ? TakeMarked(image) : TakeGrown(image);
    if (!taken) {
      TakeSlowly(image.can_id, image.len, BrsOf(image), image.data);
    }
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
    const int64_t next = slot.run.Latest() + 1;
    const uint32_t tag = slot.run.Tag();
    constexpr uint64_t kTagAndNumber = (uint64_t{1} << kMarkLastBit) - 1;
    if ((word & kTagAndNumber) !=
        (uint64_t{tag} << kMarkNumberBits |
         (static_cast<uint64_t>(next) & kMarkNumberMask))) {
      return false;
    }
    const bool last = MarkLastOf(word);
    const unsigned char fill =
        sizeof image.data > kMarkBytes && image.len > kMarkBytes
            ? image.data[kMarkBytes]
            : 0;
    if (MarkCheck(MarkFrameWord(image.can_id, image.len, BrsOf(image), fill),
                  static_cast<uint64_t>(next), tag,
                  last) != MarkCheckOf(word)) {
      return false;
    }
    if (sizeof image.data > kMarkBytes && image.len > kMarkBytes + 1 &&
        !FillsRest(image.data, slot.rest)) {
      return false;
    }
    slot.run.TakeNext(last);
    return true;
  }

  // A frame of the current step, or of the next, of the grow-mode track of
  // the frame before, when the step that then leaves the window came with
  // some frames.
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
      ++track.frames;
      return true;
    }
    if (ahead != 1 || track.latest < track.fastFrom) return false;
    uint32_t& leaving =
        track.counts[(track.latest + 1) & GrowTrack::kSlotMask];
    if (leaving - 1 >= StepHistogram::kCounts - 1) return false;
    track.steps.AddSmall(leaving);
    leaving = 1;
    ++track.latest;
    track.latestId = id;
    ++track.frames;
    return true;
  }

  // Out of line, so that Take stays small where it is inlined.
  [[gnu::noinline]] void TakeSlowly(uint32_t canId, unsigned length,
                                    bool brs, const unsigned char* data);

  const unsigned m_capacity;
  bool m_markedLast = false;
  MarkedRuns m_marked;
  GrowShapes m_grow;
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
