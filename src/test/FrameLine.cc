// SPDX-License-Identifier: MIT
#include "test/FrameLine.h"

const char* KindLabel(FrameType type) {
  switch (static_cast<unsigned>(type)) {
    case standData: return "stand_data    ";
    case standRemote: return "stand_remote  ";
    case expandData: return "expand_data   ";
    case expandRemote: return "expand_remote ";
    default: return "err_frame     ";
  }
}

void PrintFrame(FrameType type, int id, int len, const unsigned char* data) {
  SaveFrame(stdout, type, id, len, data);
}

void SaveFrame(FILE* file, FrameType type, int id, int len,
               const unsigned char* data) {
  fwrite(KindLabel(type), 1, 14, file);
  fprintf(file, "%08X %d ", static_cast<unsigned>(id), len);
  for (int i = 0; i < len; ++i) fprintf(file, "%02X ", data[i]);
  fputc('\n', file);
}
