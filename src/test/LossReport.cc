// SPDX-License-Identifier: MIT
#include "test/LossReport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "can/RawSocket.h"
#include "test/AfterTheTotals.h"

void ReportDrops(const char* device, uint32_t drops) {
  if (drops == 0) return;
  fprintf(AfterTheTotals(),
          "dropped frames:%u, which reached %s while the receive buffer was "
          "full (read faster, with display none or file, or raise "
          "net.core.rmem_default)\n",
          drops, device);
}

void ReportUnread(const char* device, int64_t unread) {
  if (unread == 0) return;
  fprintf(AfterTheTotals(),
          "unread frames:%lld, which reached %s after the count ended\n",
          static_cast<long long>(unread), device);
}

void ReportRefusals(const char* device, const WriteRefusals& refusals,
                    bool unacknowledged) {
  const int64_t total = refusals.Total();
  if (total == 0) return;
  const int reason = refusals.MostCommon();
  FILE* out = AfterTheTotals();
  fprintf(out, "refused writes:%lld, most with \"%s\"",
          static_cast<long long>(total),
          reason == 0 ? "short write" : strerror(reason));
  switch (reason) {
    case ENOBUFS:
      if (unacknowledged) {
        fprintf(out,
                ": no node acknowledged the frames of %s (is another node "
                "on the bus, at the same bit rate, with termination?)",
                device);
        break;
      }
      fprintf(out,
              ": the transmit queue of %s was full (ip link set %s txqueuelen "
              "N enlarges it; -t pauses after each step)",
              device, device);
      break;
    case ENETDOWN: fprintf(out, ": %s was down", device); break;
    case EAGAIN:
      fprintf(out,
              ": no frame left %s for %d s (is the bus connected, with a "
              "node that acknowledges?)",
              device, kSocketTimeoutSeconds);
      break;
    default: break;
  }
  fputc('\n', out);
}
