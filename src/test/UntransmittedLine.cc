// SPDX-License-Identifier: MIT
#include "test/UntransmittedLine.h"

#include <cstdio>

#include "test/AfterTheTotals.h"

size_t BuildUntransmittedLine(char (&line)[kUntransmittedLineSize],
                              const char* device, int64_t untransmitted,
                              bool unacknowledged) {
  if (untransmitted <= 0) return 0;
  const auto count = static_cast<long long>(untransmitted);
  const int length =
      unacknowledged
          ? snprintf(line, sizeof line,
                     "untransmitted frames:%lld, which %s had not sent when "
                     "the run ended: no node acknowledged them (is another "
                     "node on the bus, at the same bit rate, with "
                     "termination?)\n",
                     count, device)
          : snprintf(line, sizeof line,
                     "untransmitted frames:%lld, which %s had not sent when "
                     "the run ended: dropped or held by a queue discipline or "
                     "the driver (tc -s qdisc show dev %s; ip -details "
                     "-statistics link show %s)\n",
                     count, device, device, device);
  return length > 0 ? static_cast<size_t>(length) : 0;
}

void ReportUntransmitted(const char* device, int64_t untransmitted,
                         bool unacknowledged) {
  char line[kUntransmittedLineSize];
  const size_t length =
      BuildUntransmittedLine(line, device, untransmitted, unacknowledged);
  if (length > 0) fputs(line, AfterTheTotals());
}
