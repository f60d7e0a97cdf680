// SPDX-License-Identifier: MIT
#include "report/sequence/SequenceShape.h"

#include <linux/can.h>

#include <algorithm>

#include "can/FrameImage.h"

namespace {

// The bytes below `length` of an 8-byte word, `length` from 0 to 8.
uint64_t BytesMask(unsigned length) {
  return length >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * length)) - 1;
}

}  // namespace

bool ShapeOf(uint32_t canId, unsigned length, const unsigned char* data,
             unsigned capacity, SequenceShape* shape) {
  shape->mask = IdentifierMaskOf(canId);
  shape->flagMask = ~shape->mask;
  shape->kindBits = canId & shape->flagMask;
  if ((shape->kindBits & ~(CAN_EFF_FLAG | CAN_RTR_FLAG)) != 0 ||
      length > capacity) {
    return false;
  }
  shape->length = length;
  shape->kindLengthMask = shape->flagMask | uint64_t{0xFF} << 32;
  shape->kindLength = shape->kindBits | uint64_t{length} << 32;
  // Two bytes carry a standard identifier, but small numbers in the first
  // bytes are common in other traffic: it takes a third byte of 0.
  const unsigned strongBytes = shape->mask == CAN_SFF_MASK ? 3 : 4;
  const bool remote = (canId & CAN_RTR_FLAG) != 0;
  shape->weak = remote || length < strongBytes;
  // A remote frame carries no data on the bus: only its identifier counts.
  if (remote) return true;
  if (length > kGrowIdBytes) {
    shape->fill = 0x0101010101010101ULL * data[kGrowIdBytes];
  }
  shape->headFill = GrowFills(shape->fill);
  shape->headMask = BytesMask(std::min(length, 8u));
  for (unsigned word = 0; word < SequenceShape::kRestWords; ++word) {
    const unsigned start = 8 * (word + 1);
    shape->restMask[word] = BytesMask(length > start ? length - start : 0);
  }
  return true;
}

ReceivedFrame FrameOf(const SequenceShape& shape, uint32_t id,
                      const ReceivedFrame& sample) {
  ReceivedFrame frame = sample;
  frame.canId = shape.kindBits | id;
  frame.length = shape.length;
  if ((shape.kindBits & CAN_RTR_FLAG) == 0) {
    FillGrowPayload(frame.data, sizeof frame.data, shape.length, id,
                    static_cast<unsigned char>(shape.fill));
  }
  return frame;
}
