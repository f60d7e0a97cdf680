// SPDX-License-Identifier: MIT
#include "test/Arguments.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int DecimalArgument(const char* text) {
  // strtoll, not strtol: on 32-bit targets long is 32 bits wide and strtol
  // would clamp a larger number before its low 32 bits are taken.
  const long long value = std::strtoll(text, nullptr, 10);
  return static_cast<int>(static_cast<uint32_t>(value));
}

void HexArgument(const char* text, uint32_t* field) {
  unsigned value = 0;
  if (std::sscanf(text, "%x", &value) == 1) *field = value;
}

bool CopyText(char* field, size_t size, const char* text) {
  const size_t length = std::strlen(text);
  if (length >= size) return false;
  std::memcpy(field, text, length + 1);
  return true;
}
