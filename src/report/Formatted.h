// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Room for a line with the longest device name (255 characters, at most
// three times) and its numbers.
constexpr size_t kFormattedSize = 3 * 256 + 256;

// The printf of `format` as a string, cut to kFormattedSize - 1 characters.
template <class... Values>
std::string Formatted(const char* format, Values... values) {
  char text[kFormattedSize];
  const int length = snprintf(text, sizeof text, format, values...);
  return length > 0 ? std::string(text) : std::string();
}
