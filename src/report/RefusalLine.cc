// SPDX-License-Identifier: MIT
#include "report/RefusalLine.h"

#include <cerrno>
#include <cstring>

#include "can/RawSocket.h"
#include "report/Formatted.h"

namespace {

// Why writes to `device` were refused with `reason`, after a colon; empty
// for a reason without a likely cause.
std::string Cause(const char* device, int reason, bool unacknowledged) {
  switch (reason) {
    case ENOBUFS:
      if (unacknowledged) {
        return Formatted(
            ": no node acknowledged the frames of %s (is another node on the "
            "bus, at the same bit rate, with termination?)",
            device);
      }
      return Formatted(
          ": the transmit queue of %s was full (ip link set %s txqueuelen N "
          "enlarges it; -t pauses after each step)",
          device, device);
    case ENETDOWN: return Formatted(": %s was down", device);
    case EAGAIN:
      return Formatted(
          ": no frame left %s for %d s (is the bus connected, with a node "
          "that acknowledges?)",
          device, kSocketTimeoutSeconds);
    default: return "";
  }
}

}  // namespace

std::string RefusalLine(const char* device, const WriteRefusals& refusals,
                        bool unacknowledged) {
  const int64_t total = refusals.Total();
  if (total == 0) return "";
  const int reason = refusals.MostCommon();
  return Formatted("refused writes:%lld, most with \"%s\"",
                   static_cast<long long>(total),
                   reason == 0 ? "short write" : strerror(reason)) +
         Cause(device, reason, unacknowledged) + "\n";
}
