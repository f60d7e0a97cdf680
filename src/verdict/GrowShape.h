// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstring>

#include "frame/GrowPayload.h"
#include "frame/PayloadRest.h"
#include "verdict/VerdictReport.h"

// What the frames of one grow-mode send run without marks have in common:
// kind, length and fill byte. Their payload is told in frame/GrowPayload.h.
// Only data frames that carry their whole identifier and a byte more have
// a shape: in remote frames and shorter ones, other traffic fits a
// sequence by chance, so they are not judged.
struct GrowShape {
  // No frame's first word has these bits set.
  static constexpr uint64_t kNoKind = ~uint64_t{0};

  uint32_t mask = 0;      // the identifier's bits
  uint32_t flagMask = 0;  // the bits of can_id above the identifier
  uint32_t kindBits = 0;
  unsigned length = 0;
  // The first 8 bytes of a frame image hold can_id and then len: these
  // bits of them, the kind flags and the length, and what they are.
  uint64_t kindLengthMask = 0;
  uint64_t kindLength = kNoKind;
  uint64_t fill = 0;      // the fill byte in every byte
  uint64_t headFill = 0;  // GrowFills of it
  uint64_t headMask = 0;  // the bytes of the length among bytes 0 to 7
  PayloadRest rest;       // the same for bytes 8 to 63

  bool operator==(const GrowShape& other) const {
    return mask == other.mask && kindBits == other.kindBits &&
           length == other.length && fill == other.fill;
  }

  // Bytes 0 to 7 against the identifier and the fill byte; 0 when they
  // match.
  uint64_t Head(uint32_t id, const unsigned char* data) const {
    uint64_t word;
    std::memcpy(&word, data, sizeof word);
    return (word ^ GrowHead(headFill, id)) & headMask;
  }

  // Bytes 8 to 63 against the fill byte; 0 when they match. Only for a
  // length above 8, which the payload area then holds.
  uint64_t Rest(const unsigned char* data) const {
    return rest.Differs(data, fill);
  }

  // The frame of identifier `id`, as a grow-mode run sends it.
  ReceivedFrame FrameOf(uint32_t id) const {
    ReceivedFrame frame;
    frame.canId = kindBits | id;
    frame.length = length;
    FillGrowPayload(frame.data, sizeof frame.data, length, id,
                    static_cast<unsigned char>(fill));
    return frame;
  }

  bool Fits(uint32_t canId, unsigned frameLength,
            const unsigned char* data) const {
    return (canId & flagMask) == kindBits && frameLength == length &&
           Head(canId & mask, data) == 0 && (length <= 8 || Rest(data) == 0);
  }
};

// The shape of a received frame, from its kind, length and fill byte;
// false when the frame has none (remote, too short, flags beyond the kinds,
// or a length beyond `capacity`, the payload bytes a frame image holds) or
// does not carry its identifier as grow mode does.
bool ShapeOf(uint32_t canId, unsigned length, const unsigned char* data,
             unsigned capacity, GrowShape* shape);
