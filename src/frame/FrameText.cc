// SPDX-License-Identifier: MIT
#include "frame/FrameText.h"

#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// "%d" of `value` at `out`; returns the characters written.
size_t PutDecimal(char* out, int value) {
  char digits[10];
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value)
                                 : static_cast<unsigned>(value);
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  size_t written = 0;
  if (value < 0) out[written++] = '-';
  while (count > 0) out[written++] = digits[--count];
  return written;
}

}  // namespace

const char* KindLabel(FrameType type) {
  switch (static_cast<unsigned>(type)) {
    case standData: return "stand_data    ";
    case standRemote: return "stand_remote  ";
    case expandData: return "expand_data   ";
    case expandRemote: return "expand_remote ";
    default: return "err_frame     ";
  }
}

size_t BuildFrameLine(char (&line)[kFrameLineSize], FrameType type, int id,
                      int len, const unsigned char* data) {
  std::memcpy(line, KindLabel(type), 14);
  size_t at = 14;
  const auto bits = static_cast<unsigned>(id);
  for (int shift = 28; shift >= 0; shift -= 4) {
    line[at++] = kHexDigits[(bits >> shift) & 0xF];
  }
  line[at++] = ' ';
  at += PutDecimal(line + at, len);
  line[at++] = ' ';
  const int shown = len < kMostBytesShown ? len : kMostBytesShown;
  for (int i = 0; i < shown; ++i) {
    line[at++] = kHexDigits[data[i] >> 4];
    line[at++] = kHexDigits[data[i] & 0xF];
    line[at++] = ' ';
  }
  line[at++] = '\n';
  return at;
}
