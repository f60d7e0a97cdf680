// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstring>

#include "test/SequenceTotals.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "payload words are compared as little-endian numbers");

// Follows the sequences that grow-mode send runs put on the bus, frame by
// frame, in fixed-size state: no allocation, however long the run.
//
// A sequence is locked by two frames that agree on kind, length and fill
// byte, each carrying its own identifier, no more than a window apart: one
// damaged frame can then neither lock a wrong shape nor turn the rest
// foreign. Each frame counts for its step, the identifier's distance from
// the first. Steps leave the window kWindow steps behind the latest; only
// then are they judged, so that a late frame still counts for its own step.
// A frame further behind starts a new sequence when the next frame follows
// it (a send run started over), else it is a late frame past the window.
class SequenceCheck {
 public:
  static constexpr int64_t kWindow = 128;

  // `capacity`: the payload bytes that a frame image holds.
  explicit SequenceCheck(unsigned capacity) : m_capacity(capacity) {}

  template <class Image>
  void Take(const Image& image) {
    // The frames of the current step and of the next one, when the step
    // that then leaves the window was whole, cost no more than this.
    const uint32_t canId = image.can_id;
    const unsigned length = image.len;
    const uint32_t id = canId & m_shape.mask;
    if ((canId & m_shape.flagMask) == m_shape.kindBits &&
        length == m_fastLength && Head(m_shape, id, image.data) == 0 &&
        (sizeof image.data <= 8 || length <= 8 ||
         Rest(m_shape, image.data) == 0)) {
      const uint32_t ahead = (id - m_latestId) & m_shape.mask;
      if (ahead == 0) {
        ++m_counts[m_latest & kSlotMask];
        return;
      }
      uint64_t& leaving = m_counts[(m_latest + 1) & kSlotMask];
      if (ahead == 1 && leaving == m_perStep) {
        leaving = 1;
        ++m_latest;
        m_latestId = id;
        return;
      }
    }
    TakeOther(canId, length, image.data);
  }

  // Ends the check: the frames still waiting are judged. `taken`: the
  // frames handed to Take.
  SequenceTotals Finish(int64_t taken);

 private:
  static constexpr int64_t kSlotMask = kWindow - 1;
  static_assert((kWindow & kSlotMask) == 0, "the window is a power of two");
  // No frame has this length: the fast path is closed.
  static constexpr unsigned kNoLength = 0x100;
  static constexpr uint64_t kUndecided = ~uint64_t{0};
  static constexpr int kRestWords = 7;

  // What the frames of one sequence have in common, and how to check that
  // a payload carries its identifier and the fill byte elsewhere.
  struct Shape {
    uint32_t mask = 0;
    uint32_t flagMask = 0;  // the bits of can_id above the identifier
    uint32_t kindBits = 0;
    unsigned length = kNoLength;
    uint64_t fill = 0;      // the fill byte in every byte
    uint64_t headFill = 0;  // the same but for bytes 0 to 3
    uint64_t headMask = 0;  // the bytes of the length among bytes 0 to 7
    uint64_t restMask[kRestWords] = {};  // the same for bytes 8 to 63
    bool weak = false;  // the payload does not carry the whole identifier
    bool operator==(const Shape& other) const {
      return mask == other.mask && kindBits == other.kindBits &&
             length == other.length && fill == other.fill;
    }
  };

  enum class Fallback { kForeign, kLate };

  // Bytes 0 to 7 against the identifier and the fill byte; 0 when they
  // match.
  static uint64_t Head(const Shape& shape, uint32_t id,
                       const unsigned char* data) {
    uint64_t word;
    std::memcpy(&word, data, sizeof word);
    return (word ^ (shape.headFill | id)) & shape.headMask;
  }

  // Bytes 8 to 63 against the fill byte; 0 when they match. Only for a
  // length above 8, which the payload area then holds. All seven words are
  // compared, the bytes past the length masked out, so that the compiler
  // can unroll and vectorise the loop.
  static uint64_t Rest(const Shape& shape, const unsigned char* data) {
    uint64_t diff = 0;
    for (int i = 0; i < kRestWords; ++i) {
      uint64_t word;
      std::memcpy(&word, data + 8 * (i + 1), sizeof word);
      diff |= (word ^ shape.fill) & shape.restMask[i];
    }
    return diff;
  }

  // False when the frame is of no sequence: flags beyond the kinds, or a
  // length beyond the payload area.
  bool ShapeOf(uint32_t canId, unsigned length, const unsigned char* data,
               Shape* shape) const;
  // Counts most foreign frames at once, on their first bytes.
  void TakeOther(uint32_t canId, unsigned length, const unsigned char* data);
  void TakeSlowly(uint32_t canId, unsigned length, const unsigned char* data);
  // Counts the frame for its step; false when it lies behind the window.
  bool TakeInSequence(uint32_t id);
  void Advance(int64_t step);
  void Judge(int64_t step, uint64_t count, bool closing);
  void Miss(int64_t step, int64_t steps, int64_t frames);
  void DecidePerStep();
  void StartFromCandidate();
  void ResolveCandidate();
  void Close();
  void Keep(ReceivedFrame* frame, uint32_t canId, unsigned length,
            const unsigned char* data) const;
  void Foreign(uint32_t canId, unsigned length, const unsigned char* data);
  uint32_t IdOf(int64_t step) const {
    return (m_baseId + static_cast<uint32_t>(step)) & m_shape.mask;
  }

  const unsigned m_capacity;
  SequenceTotals m_totals;
  bool m_spansIdentifiers = false;
  // Frames of weakly marked sequences that did not follow the frame before.
  int64_t m_weakJumps = 0;

  // The current sequence: steps count from its first frame's identifier,
  // m_baseId. The window holds the steps after m_latest - kWindow.
  bool m_active = false;
  Shape m_shape;
  unsigned m_fastLength = kNoLength;
  uint32_t m_baseId = 0;
  uint32_t m_latestId = 0;
  int64_t m_latest = 0;
  int64_t m_first = 0;
  uint64_t m_perStep = kUndecided;
  int64_t m_lastMissed = 0;
  bool m_placeOpen = false;
  uint64_t m_counts[kWindow] = {};

  // A frame that may start a sequence, waiting for the next one.
  bool m_hasCandidate = false;
  Shape m_candidateShape;
  uint32_t m_candidateId = 0;
  Fallback m_fallback = Fallback::kForeign;
  ReceivedFrame m_candidate;
};
