// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdio>

#include "can/FrameType.h"

// The text form of one received frame: a 14-character kind label, the
// identifier and length, the payload bytes in hexadecimal, a newline.

const char* KindLabel(FrameType type);

// No frame carries more payload bytes than this; a longer length shows only
// these.
constexpr int kMostBytesShown = 64;
// Label, "%08X %d " with the longest int, "%02X " per byte, the newline.
constexpr size_t kFrameLineSize = 14 + 9 + 12 + 3 * kMostBytesShown + 1;

// Writes the frame line into `line`, without a terminator; returns its size.
size_t BuildFrameLine(char (&line)[kFrameLineSize], FrameType type, int id,
                      int len, const unsigned char* data);

// Each puts the whole line on the stream with one buffered write, so that a
// line-buffered terminal shows it at once and a file takes it in one copy.
void PrintFrame(FrameType type, int id, int len, const unsigned char* data);
void SaveFrame(FILE* file, FrameType type, int id, int len,
               const unsigned char* data);
