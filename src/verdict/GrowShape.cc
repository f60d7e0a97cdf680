// SPDX-License-Identifier: MIT
#include "verdict/GrowShape.h"

#include <linux/can.h>

#include <algorithm>

#include "can/FrameImage.h"

namespace {

// Two bytes carry a standard identifier, but small numbers in the first
// bytes are common in other traffic: it takes a third byte, of 0.
constexpr unsigned kStandardBytes = 3;
constexpr unsigned kExtendedBytes = 4;

}  // namespace

bool ShapeOf(uint32_t canId, unsigned length, const unsigned char* data,
             unsigned capacity, GrowShape* shape) {
  shape->mask = IdentifierMaskOf(canId);
  shape->flagMask = ~shape->mask;
  shape->kindBits = canId & shape->flagMask;
  const unsigned carried =
      shape->mask == CAN_SFF_MASK ? kStandardBytes : kExtendedBytes;
  if ((shape->kindBits & ~CAN_EFF_FLAG) != 0 || length > capacity ||
      length < carried) {
    return false;
  }
  shape->length = length;
  shape->kindLengthMask = shape->flagMask | uint64_t{0xFF} << 32;
  shape->kindLength = shape->kindBits | uint64_t{length} << 32;
  if (length > kGrowIdBytes) {
    shape->fill = EveryByte(data[kGrowIdBytes]);
  }
  shape->headFill = GrowFills(shape->fill);
  shape->headMask = PayloadRest::BytesMask(std::min(length, 8u));
  shape->rest = PayloadRest(length);
  return shape->Fits(canId, length, data);
}
