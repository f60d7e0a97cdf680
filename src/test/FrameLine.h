// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

#include "can/FrameType.h"
#include "frame/FrameText.h"

// Each puts the whole frame line on the stream with one buffered write, so
// that a line-buffered terminal shows it at once and a file takes it in one
// copy.
void PrintFrame(FrameType type, int id, int len, const unsigned char* data);
void SaveFrame(FILE* file, FrameType type, int id, int len,
               const unsigned char* data);
