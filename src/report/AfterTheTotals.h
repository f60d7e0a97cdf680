// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <string>

// The stream of the lines that follow a run's totals: standard error, with
// standard output flushed first, so that the totals come first also where
// both streams end up in one file.
inline FILE* AfterTheTotals() {
  fflush(stdout);
  return stderr;
}

// Puts `lines` after the totals; nothing, not even the flush, when empty.
inline void PrintAfterTheTotals(const std::string& lines) {
  if (!lines.empty()) fputs(lines.c_str(), AfterTheTotals());
}
