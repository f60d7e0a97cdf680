// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstring>

#include "can/FrameType.h"

// The mark of a marked send run's frames (--mark): payload bytes 0 to 7, one
// little-endian word, tell which run a frame belongs to, its number in the
// run and whether it is the run's last, under a check:
//
//   bits  0 to 23  the number, low 24 bits: frames the socket took before it
//   bits 24 to 42  the run's tag, drawn at random when the run starts
//   bit  43        set on the run's last frame
//   bits 44 to 63  the check
//
// The check covers the frame's can_id (identifier and kind flags), length,
// bit-rate switch and fill byte (payload byte 8; 0 for an 8-byte frame),
// and the tag, the last bit and the number's low 40 bits, of which the frame
// carries 24: read with other upper bits, a frame fails it. MarkCheck is
// the whole of it; the man page gives the same, for other tools.

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the mark is copied as a little-endian word");

// The payload bytes a mark takes; shorter frames carry none.
constexpr int kMarkBytes = 8;
constexpr unsigned kMarkNumberBits = 24;
constexpr unsigned kMarkTagBits = 19;
constexpr unsigned kMarkLastBit = 43;
constexpr unsigned kMarkCheckShift = 44;
constexpr uint64_t kMarkNumberMask = (uint64_t{1} << kMarkNumberBits) - 1;
constexpr uint32_t kMarkTagMask = (uint32_t{1} << kMarkTagBits) - 1;
// The bits of the number the check covers.
constexpr uint64_t kMarkCheckedNumberMask = (uint64_t{1} << 40) - 1;

// Remote frames carry no payload on the bus.
constexpr bool CanCarryMark(FrameType type, int length) {
  return (type & kRemoteKind) == 0 && length >= kMarkBytes;
}

// What the check covers of the frame itself, in one word.
constexpr uint64_t MarkFrameWord(uint32_t canId, unsigned length, bool brs,
                                 unsigned char fill) {
  return uint64_t{canId} << 32 | uint64_t{length} << 16 |
         uint64_t{brs ? 1u : 0u} << 8 | fill;
}

// The 20-bit check of a frame (MarkFrameWord) with `number`, `tag` and
// `last`: MurmurHash3's 64-bit finalizer over the frame word and the run's
// fields times the golden ratio.
constexpr uint64_t MarkCheck(uint64_t frameWord, uint64_t number, uint32_t tag,
                             bool last) {
  const uint64_t run = (number & kMarkCheckedNumberMask) |
                       uint64_t{tag} << 40 | uint64_t{last ? 1u : 0u} << 59;
  uint64_t x = frameWord ^ run * 0x9E3779B97F4A7C15ULL;
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDULL;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ULL;
  x ^= x >> 33;
  return x >> kMarkCheckShift;
}

// The mark of frame `number` of run `tag`.
constexpr uint64_t MarkWord(uint64_t frameWord, uint64_t number, uint32_t tag,
                            bool last) {
  return (number & kMarkNumberMask) | uint64_t{tag} << kMarkNumberBits |
         uint64_t{last ? 1u : 0u} << kMarkLastBit |
         MarkCheck(frameWord, number, tag, last) << kMarkCheckShift;
}

// The fields of a mark word, unchecked.
constexpr uint64_t MarkNumberOf(uint64_t word) {
  return word & kMarkNumberMask;
}
constexpr uint32_t MarkTagOf(uint64_t word) {
  return static_cast<uint32_t>(word >> kMarkNumberBits) & kMarkTagMask;
}
constexpr bool MarkLastOf(uint64_t word) {
  return ((word >> kMarkLastBit) & 1) != 0;
}
constexpr uint64_t MarkCheckOf(uint64_t word) {
  return word >> kMarkCheckShift;
}

inline uint64_t LoadMark(const unsigned char* data) {
  uint64_t word;
  std::memcpy(&word, data, sizeof word);
  return word;
}
inline void StoreMark(unsigned char* data, uint64_t word) {
  std::memcpy(data, &word, sizeof word);
}
