// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "report/sequence/SequenceShape.h"
#include "report/sequence/SequenceTally.h"
#include "report/sequence/SequenceTotals.h"
#include "report/sequence/SequenceTrack.h"

// Follows the sequences that grow-mode send runs put on the bus, frame by
// frame, in fixed-size state: no allocation, however long the run. Runs of
// different kinds, lengths or fill bytes, from several nodes at once, are
// followed each on a track of its own, up to kTracks at a time; a shape
// beyond that frees the track that was idle longest.
class SequenceCheck {
 public:
  static constexpr int kTracks = 8;

  // `capacity`: the payload bytes that a frame image holds.
  explicit SequenceCheck(unsigned capacity) : m_capacity(capacity) {}
  SequenceCheck(const SequenceCheck&) = delete;
  SequenceCheck& operator=(const SequenceCheck&) = delete;

  template <class Image>
  void Take(const Image& image) {
    // The frames of the current step and of the next one, of the track that
    // took the frame before, when the step that then leaves the window was
    // whole, cost no more than this.
    SequenceTrack& track = *m_fast;
    const SequenceShape& shape = track.shape;
    static_assert(offsetof(Image, can_id) == 0 && offsetof(Image, len) == 4,
                  "can_id and len make the first word of an image");
    uint64_t first;
    std::memcpy(&first, &image, sizeof first);
    const auto canId = static_cast<uint32_t>(first);
    const uint32_t id = canId & shape.mask;
    if ((first & shape.kindLengthMask) == track.fastKind &&
        shape.Head(id, image.data) == 0 &&
        (sizeof image.data <= 8 || image.len <= 8 ||
         shape.Rest(image.data) == 0)) {
      const uint32_t ahead = (id - track.latestId) & shape.mask;
      if (ahead == 0) {
        ++track.counts[track.latest & SequenceTrack::kSlotMask];
        return;
      }
      uint64_t& leaving =
          track.counts[(track.latest + 1) & SequenceTrack::kSlotMask];
      if (ahead == 1 && leaving == track.wholeStep) {
        leaving = 1;
        ++track.latest;
        track.latestId = id;
        return;
      }
    }
    TakeOther(canId, image.len, image.data);
  }

  // Ends the check: what is held and waiting is judged. `taken`: the
  // frames handed to Take.
  SequenceReport Finish(int64_t taken);

 private:
  void TakeOther(uint32_t canId, unsigned length, const unsigned char* data);
  // Out of line, so that TakeOther, which most foreign frames leave at
  // once, needs no stack frame of its own.
  [[gnu::noinline]] void TakeSlowly(uint32_t canId, unsigned length,
                                    const unsigned char* data);
  // The track of `shape`; a new one opened with the frame when none is.
  SequenceTrack* TrackOf(const SequenceShape& shape, uint32_t canId,
                         unsigned length, const unsigned char* data);
  ReceivedFrame Received(uint32_t canId, unsigned length,
                         const unsigned char* data) const;
  // The first frame that fits no shape.
  void Foreign(uint32_t canId, unsigned length, const unsigned char* data);

  const unsigned m_capacity;
  // Takes no frame: the fast path's track while no track may.
  SequenceTrack m_none;
  SequenceTrack* m_fast = &m_none;
  SequenceTrack m_tracks[kTracks];
  SequenceTally m_tally;
  // The frames that took the slow path: the order of events that the
  // tracks and the tally keep.
  int64_t m_index = 0;
  bool m_foreignSeen = false;
};
