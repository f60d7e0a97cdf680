// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// The line on standard error, after a receive run's totals, of the frame
// lines that never reached `path`: `lost` of the `lines` the run had for it,
// the first failure's `error` (an errno) saying why. Empty when none was
// lost.
std::string UnwrittenLine(const char* path, int64_t lost, int64_t lines,
                          int error);

// The line on standard error of a run summary that could not be written
// whole to `path`, for the reason `error` (an errno).
std::string UnwrittenSummaryLine(const char* path, int error);
