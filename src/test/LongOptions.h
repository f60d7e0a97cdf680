// SPDX-License-Identifier: MIT
#pragma once

#include <getopt.h>

#include <array>
#include <cstddef>

// The long-option table: the options of both frame formats with `extra`
// after rcvown, and the all-zero terminator. Each long option returns its
// short letter.
template <size_t N>
constexpr std::array<option, 16 + N> LongOptions(
    const std::array<option, N>& extra) {
  const option before[] = {
      {"device", required_argument, nullptr, 'D'},
      {"filter", no_argument, nullptr, 'f'},
      {"loop", no_argument, nullptr, 'l'},
      {"rcvown", no_argument, nullptr, 'o'},
  };
  const option after[] = {
      {"write", no_argument, nullptr, 'w'},
      {"frametype", required_argument, nullptr, 'F'},
      {"size", required_argument, nullptr, 's'},
      {"time", required_argument, nullptr, 't'},
      {"countonce", required_argument, nullptr, 'c'},
      {"count", required_argument, nullptr, 'C'},
      {"id", required_argument, nullptr, 'i'},
      {"data", required_argument, nullptr, 'd'},
      {"grow", no_argument, nullptr, 'g'},
      {"show", required_argument, nullptr, 'S'},
      {"path", required_argument, nullptr, 'p'},
  };
  std::array<option, 16 + N> table{};
  size_t next = 0;
  for (const option& entry : before) table[next++] = entry;
  for (const option& entry : extra) table[next++] = entry;
  for (const option& entry : after) table[next++] = entry;
  return table;
}
