// SPDX-License-Identifier: MIT
#include "test/FrameLine.h"

#include <cstdio>

void PrintFrame(FrameType type, int id, int len, const unsigned char* data) {
  char line[kFrameLineSize];
  fwrite(line, 1, BuildFrameLine(line, type, id, len, data), stdout);
}

void SaveFrame(FrameFile* file, FrameType type, int id, int len,
               const unsigned char* data) {
  char line[kFrameLineSize];
  file->Add(line, BuildFrameLine(line, type, id, len, data));
}
