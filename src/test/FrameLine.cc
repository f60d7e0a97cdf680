// SPDX-License-Identifier: MIT
#include "test/FrameLine.h"

void PrintFrame(FrameType type, int id, int len, const unsigned char* data) {
  SaveFrame(stdout, type, id, len, data);
}

void SaveFrame(FILE* file, FrameType type, int id, int len,
               const unsigned char* data) {
  char line[kFrameLineSize];
  fwrite(line, 1, BuildFrameLine(line, type, id, len, data), file);
}
