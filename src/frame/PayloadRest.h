// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstring>

// Payload bytes 8 to a frame's length, as seven 8-byte words with the bytes
// past the length masked out: grow-mode and marked frames fill them with
// one byte, and this compares them with it. All seven words are compared,
// so that the compiler can unroll and vectorise the loop.
struct PayloadRest {
  static constexpr int kWords = 7;

  uint64_t mask[kWords] = {};

  // The bytes below `length` of an 8-byte word, `length` from 0 to 8.
  static constexpr uint64_t BytesMask(unsigned length) {
    return length >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * length)) - 1;
  }

  explicit PayloadRest(unsigned length = 0) {
    for (unsigned word = 0; word < kWords; ++word) {
      const unsigned start = 8 * (word + 1);
      mask[word] = BytesMask(length > start ? length - start : 0);
    }
  }

  // 0 when the bytes hold `fill`, the byte in every byte of a word. `data`
  // holds 64 bytes.
  uint64_t Differs(const unsigned char* data, uint64_t fill) const {
    uint64_t diff = 0;
    for (int i = 0; i < kWords; ++i) {
      uint64_t word;
      std::memcpy(&word, data + 8 * (i + 1), sizeof word);
      diff |= (word ^ fill) & mask[i];
    }
    return diff;
  }
};

// `byte` in every byte of a word.
constexpr uint64_t EveryByte(unsigned char byte) {
  return 0x0101010101010101ULL * byte;
}
