// SPDX-License-Identifier: MIT
#include "report/UntransmittedLine.h"

#include "report/Formatted.h"

std::string UntransmittedLine(const char* device, int64_t untransmitted,
                              bool unacknowledged) {
  if (untransmitted <= 0) return "";
  const auto count = static_cast<long long>(untransmitted);
  if (unacknowledged) {
    return Formatted(
        "untransmitted frames:%lld, which %s had not sent when the run ended: "
        "no node acknowledged them (is another node on the bus, at the same "
        "bit rate, with termination?)\n",
        count, device);
  }
  return Formatted(
      "untransmitted frames:%lld, which %s had not sent when the run ended: "
      "dropped or held by a queue discipline or the driver (tc -s qdisc show "
      "dev %s; ip -details -statistics link show %s)\n",
      count, device, device, device);
}
