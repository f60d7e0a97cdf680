// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "can/FrameType.h"

// The values a send run accepts, the same for options and prompt replies.

bool IsFrameType(int type);

// 0 to 8 bytes, and the CAN FD lengths 12 to 64 as far as `capacity` allows.
bool IsPayloadLength(int length, int capacity);

// A plain run sends its identifier as given, so it must fit the kind: wider
// bits would be cut by the controller or land in the kernel's flag bits.
// Grow mode masks every identifier, which is how its sequence wraps.
bool IsIdentifier(uint32_t id, FrameType type, int grow);
