// SPDX-License-Identifier: MIT
#pragma once

#include "can/FrameType.h"
#include "frame/FrameText.h"
#include "output/FrameFile.h"

// PrintFrame puts the whole frame line on standard output with one buffered
// write, so that a line-buffered terminal shows it at once; SaveFrame hands
// it to the file in one copy.
void PrintFrame(FrameType type, int id, int len, const unsigned char* data);
void SaveFrame(FrameFile* file, FrameType type, int id, int len,
               const unsigned char* data);
