// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

// The stream of the lines that follow a run's totals: standard error, with
// standard output flushed first, so that the totals come first also where
// both streams end up in one file.
inline FILE* AfterTheTotals() {
  fflush(stdout);
  return stderr;
}
