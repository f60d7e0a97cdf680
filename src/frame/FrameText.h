// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

#include "can/FrameType.h"

// The text form of one received frame, the frame line: a 14-character kind
// label, the identifier and length, the payload bytes in hexadecimal, a
// newline.

const char* KindLabel(FrameType type);

// No frame carries more payload bytes than this; a longer length shows only
// these.
constexpr int kMostBytesShown = 64;
// Label, "%08X %d " with the longest int, "%02X " per byte, the newline.
constexpr size_t kFrameLineSize = 14 + 9 + 12 + 3 * kMostBytesShown + 1;

// Writes the frame line into `line`, without a terminator; returns its size.
size_t BuildFrameLine(char (&line)[kFrameLineSize], FrameType type, int id,
                      int len, const unsigned char* data);
