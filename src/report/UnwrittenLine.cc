// SPDX-License-Identifier: MIT
#include "report/UnwrittenLine.h"

#include <cstring>

#include "report/Formatted.h"

std::string UnwrittenLine(const char* path, int64_t lost, int64_t lines,
                          int error) {
  if (lost <= 0) return "";
  return Formatted("unwritten frame lines:%lld of %lld, to %s: %s\n",
                   static_cast<long long>(lost), static_cast<long long>(lines),
                   path, strerror(error));
}

std::string UnwrittenSummaryLine(const char* path, int error) {
  return Formatted("unwritten summary, to %s: %s\n", path, strerror(error));
}
