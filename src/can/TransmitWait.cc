// SPDX-License-Identifier: MIT
#include "can/TransmitWait.h"

#include <algorithm>

#include "can/LinkQuery.h"
#include "time/Clock.h"

namespace {

constexpr int64_t kSlackMicros = 100000;
constexpr int64_t kMostMicros = 1000000;
// Between two readings: a few frames' time at common bit rates, so that the
// wait ends soon after the last frame left.
constexpr int64_t kPollMicros = 2000;

}  // namespace

int64_t Untransmitted(const LinkFacts& before, const LinkFacts& after,
                      int64_t accepted) {
  if (!before.can || !after.can || after.txPackets < before.txPackets) {
    return 0;
  }
  const uint64_t sent = after.txPackets - before.txPackets;
  if (accepted <= 0 || sent >= static_cast<uint64_t>(accepted)) return 0;
  return accepted - static_cast<int64_t>(sent);
}

bool UntransmittedKnown(const LinkFacts& before, const LinkFacts& after,
                        int64_t accepted) {
  return before.can && after.can && after.txPackets >= before.txPackets &&
         after.txPackets - before.txPackets <=
             static_cast<uint64_t>(accepted < 0 ? 0 : accepted);
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
      ClockMicros() +
      TransmitWaitMicros(Untransmitted(before, after, accepted), frameNanos);
  LinkFacts latest = after;
  while (Untransmitted(before, latest, accepted) > 0) {
    const int64_t left = deadline - ClockMicros();
    if (left <= 0) break;
    PauseMicros(static_cast<int>(std::min(left, kPollMicros)));
    latest = ReadLinkFacts(ifindex);
  }
  return latest;
}
