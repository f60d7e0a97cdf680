// SPDX-License-Identifier: MIT
#include "test/SettingLimits.h"

#include "can/FrameImage.h"

bool IsFrameType(int type) { return type >= 0 && type <= 3; }

bool IsPayloadLength(int length, int capacity) {
  if (length < 0 || length > capacity) return false;
  switch (length) {
    case 12:
    case 16:
    case 20:
    case 24:
    case 32:
    case 48:
    case 64: return true;
    default: return length <= 8;
  }
}

bool IsIdentifier(uint32_t id, FrameType type, int grow) {
  return grow != 0 || (id & ~IdentifierMask(type)) == 0;
}
