// SPDX-License-Identifier: MIT
#include "report/UnreadLine.h"

#include "report/Formatted.h"

std::string UnreadLine(const char* device, int64_t unread) {
  if (unread == 0) return "";
  return Formatted(
      "unread frames:%lld, which reached %s after the count ended\n",
      static_cast<long long>(unread), device);
}
