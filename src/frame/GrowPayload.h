// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The payload of a grow-mode send run's frames: each frame's identifier,
// little-endian, in bytes 0 to 3 (as many as its length holds), and the
// fill byte in every byte after them. The send run writes it and the
// receive run's sequence check reads it back, 8 bytes at a time.

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the identifier is copied and compared as a little-endian word");

constexpr unsigned kGrowIdBytes = 4;

// Puts `id` into bytes 0 to 3 of `payload`, whose later bytes hold the fill.
inline void PutGrowId(unsigned char* payload, uint32_t id) {
  std::memcpy(payload, &id, kGrowIdBytes);
}

// The whole payload area, `size` bytes, of a frame of `length` bytes.
inline void FillGrowPayload(unsigned char* payload, size_t size,
                            unsigned length, uint32_t id, unsigned char fill) {
  std::memset(payload, fill, size);
  std::memcpy(payload, &id, std::min(length, kGrowIdBytes));
}

// True when the bytes of `data` that carry the identifier, as many as
// `length` holds, hold `id`.
inline bool CarriesGrowId(const unsigned char* data, unsigned length,
                          uint32_t id) {
  uint32_t head;
  std::memcpy(&head, data, sizeof head);
  const uint32_t bytes =
      length >= kGrowIdBytes ? ~0u : (1u << (8 * length)) - 1;
  return ((head ^ id) & bytes) == 0;
}

// Bytes 0 to 7 of the payload as a little-endian word: GrowFills of a word
// of fill bytes, with the identifier's bytes clear, and GrowHead of that and
// an identifier.
constexpr uint64_t GrowFills(uint64_t fillWord) {
  return fillWord & ~uint64_t{0xFFFFFFFF};
}
constexpr uint64_t GrowHead(uint64_t fills, uint32_t id) { return fills | id; }
