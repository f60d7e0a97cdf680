// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>

#include <cstdint>
#include <cstring>

#include "can/FrameType.h"

// Translation between (kind, identifier, length, payload) and the kernel's
// frame structures, which share the fields can_id, len and data.

template <class Image>
constexpr int PayloadCapacity() {
  return static_cast<int>(sizeof(Image::data));
}

// Fills a zeroed image; false, leaving it zeroed, when `length` does not fit
// its payload area.
template <class Image>
bool BuildImage(Image* image, FrameType type, int id, int length,
                const unsigned char* data) {
  std::memset(image, 0, sizeof *image);
  if (length < 0 || length > PayloadCapacity<Image>()) return false;
  image->can_id = static_cast<canid_t>(id);
  if (type & kExtendedKind) image->can_id |= CAN_EFF_FLAG;
  if (type & kRemoteKind) image->can_id |= CAN_RTR_FLAG;
  image->len = static_cast<__u8>(length);
  std::memcpy(image->data, data, static_cast<size_t>(length));
  return true;
}

// The kernel keeps the two kind flags at the top of can_id, in the order of
// FrameType's bits, so that one shift of a received frame gives its kind.
constexpr int kKindShift = 30;
static_assert((CAN_EFF_FLAG >> kKindShift) == kExtendedKind &&
                  (CAN_RTR_FLAG >> kKindShift) == kRemoteKind,
              "the kind flags are the top two bits of can_id");

// The kind of a received frame's can_id, and its identifier without the
// kind flags.
inline FrameType KindOf(canid_t canId) {
  return static_cast<FrameType>(canId >> kKindShift);
}
inline int IdentifierOf(canid_t canId) {
  return static_cast<int>(canId & ~(CAN_EFF_FLAG | CAN_RTR_FLAG));
}

// The identifier bits of a frame of can_id `canId`, or of a kind: 11 for
// standard frames, 29 for extended.
constexpr uint32_t IdentifierMaskOf(canid_t canId) {
  return (canId & CAN_EFF_FLAG) != 0 ? CAN_EFF_MASK : CAN_SFF_MASK;
}
constexpr uint32_t IdentifierMask(FrameType type) {
  return IdentifierMaskOf((type & kExtendedKind) != 0 ? CAN_EFF_FLAG : 0);
}

// Whether a frame goes with the bit-rate switch; classic frames never do.
inline bool BrsOf(const canfd_frame& image) {
  return (image.flags & CANFD_BRS) != 0;
}
inline bool BrsOf(const can_frame&) { return false; }

// Stores the image's kind, identifier (without the kind flags), length and
// payload; false, storing nothing, when its length exceeds its payload area.
template <class Image>
bool DecodeImage(const Image& image, FrameType* type, int* id, int* length,
                 unsigned char* data) {
  if (image.len > PayloadCapacity<Image>()) return false;
  *type = KindOf(image.can_id);
  *id = IdentifierOf(image.can_id);
  *length = image.len;
  std::memcpy(data, image.data, image.len);
  return true;
}
