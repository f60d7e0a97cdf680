// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

#include "can/FrameType.h"

// The text form of one received frame: a 14-character kind label, the
// identifier and length, the payload bytes in hexadecimal, a newline.

const char* KindLabel(FrameType type);

void PrintFrame(FrameType type, int id, int len, const unsigned char* data);
void SaveFrame(FILE* file, FrameType type, int id, int len,
               const unsigned char* data);
