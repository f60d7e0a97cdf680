// SPDX-License-Identifier: MIT
#include "report/UntransmittedLine.h"

#include <algorithm>

#include "can/LinkQuery.h"
#include "can/SystemCalls.h"
#include "report/Formatted.h"
#include "time/Clock.h"

namespace {

constexpr int64_t kSlackMicros = 100000;
constexpr int64_t kMostMicros = 1000000;
// Between two readings: a few frames' time at common bit rates, so that the
// wait ends soon after the last frame left.
constexpr int64_t kPollMicros = 2000;

}  // namespace

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

int64_t Untransmitted(const LinkFacts& before, const LinkFacts& after,
                      int64_t accepted) {
  if (!before.can || !after.can || after.txPackets < before.txPackets) {
    return 0;
  }
  const uint64_t sent = after.txPackets - before.txPackets;
  if (accepted <= 0 || sent >= static_cast<uint64_t>(accepted)) return 0;
  return accepted - static_cast<int64_t>(sent);
}

int64_t TransmitWaitMicros(int64_t untransmitted, int64_t frameNanos) {
  if (frameNanos > 0 && untransmitted >= kMostMicros * 1000 / frameNanos) {
    return kMostMicros;
  }
  return std::min(kMostMicros,
                  untransmitted * frameNanos / 1000 + kSlackMicros);
}

LinkFacts AwaitTransmission(int ifindex, const LinkFacts& before,
                            const LinkFacts& after, int64_t accepted,
                            int64_t frameNanos) {
  const int64_t deadline =
      sys::MonotonicMicros() +
      TransmitWaitMicros(Untransmitted(before, after, accepted), frameNanos);
  LinkFacts latest = after;
  while (Untransmitted(before, latest, accepted) > 0) {
    const int64_t left = deadline - sys::MonotonicMicros();
    if (left <= 0) break;
    PauseMicros(static_cast<int>(std::min(left, kPollMicros)));
    latest = ReadLinkFacts(ifindex);
  }
  return latest;
}
