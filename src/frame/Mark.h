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
// and the tag, the last bit and the whole number, of which the frame
// carries 24 bits: read with other upper bits, a frame fails it. MarkCheck
// is the whole of it; the man page gives the same, for other tools.

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

// Remote frames carry no payload on the bus.
constexpr bool CanCarryMark(FrameType type, int length) {
  return (type & kRemoteKind) == 0 && length >= kMarkBytes;
}

// What the check covers of the frame itself, in one word: can_id in bits
// 0 to 31, the length in 32 to 39, the bit-rate switch in 40, the fill byte
// in 48 to 55. The first three lie where a frame image's first word has
// them (MarkHeadMask).
constexpr uint64_t kMarkHeadMask = (uint64_t{1} << 41) - 1;
constexpr unsigned kMarkFillShift = 48;
constexpr uint64_t MarkFrameWord(uint32_t canId, unsigned length, bool brs,
                                 unsigned char fill) {
  return canId | uint64_t{length} << 32 | uint64_t{brs ? 1u : 0u} << 40 |
         uint64_t{fill} << kMarkFillShift;
}

// The run's fields in the check's other word: number + tag * 2^40 + last *
// 2^59, in 64-bit arithmetic (for numbers below 2^40, the number's bits,
// the tag above them, the last bit above that). A sum, so that a sender
// adds K1 times it frame by frame.
constexpr uint64_t MarkRunWord(uint64_t number, uint32_t tag, bool last) {
  return number + (uint64_t{tag} << 40) + (uint64_t{last ? 1u : 0u} << 59);
}

// The 20-bit check of a frame word (MarkFrameWord) and a run word
// (MarkRunWord): the top 20 bits of (frame word xor run word times K1)
// times K2, in 64-bit arithmetic. The products carry every bit of both words
// into the top ones: a bit changed in the frame word always changes the
// check (its product with K2 has neither all 0s nor all 1s on top), and
// other changes pass one time in 2^20.
constexpr uint64_t kMarkK1 = 0x9E3779B97F4A7C15ULL;  // the golden ratio
constexpr uint64_t kMarkK2 = 0xFF51AFD7ED558CCDULL;  // MurmurHash3's
constexpr uint64_t MarkMix(uint64_t frameWord, uint64_t runWord) {
  return ((frameWord ^ runWord * kMarkK1) * kMarkK2) >> kMarkCheckShift;
}

constexpr uint64_t MarkCheck(uint64_t frameWord, uint64_t number, uint32_t tag,
                             bool last) {
  return MarkMix(frameWord, MarkRunWord(number, tag, last));
}

// The mark of a frame whose check is `check`.
constexpr uint64_t MarkWordOf(uint64_t number, uint32_t tag, bool last,
                              uint64_t check) {
  return (number & kMarkNumberMask) | uint64_t{tag} << kMarkNumberBits |
         uint64_t{last ? 1u : 0u} << kMarkLastBit | check << kMarkCheckShift;
}

// The mark of frame `number` of run `tag`.
constexpr uint64_t MarkWord(uint64_t frameWord, uint64_t number, uint32_t tag,
                            bool last) {
  return MarkWordOf(number, tag, last,
                    MarkCheck(frameWord, number, tag, last));
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
