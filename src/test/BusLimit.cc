// SPDX-License-Identifier: MIT
#include "test/BusLimit.h"

#include <cstdio>

#include "test/AfterTheTotals.h"

namespace {

void PrintBits(FILE* out, const FrameBits& bits) {
  if (bits.data > 0) {
    fprintf(out, "%d+%d", bits.nominal, bits.data);
  } else {
    fprintf(out, "%d", bits.nominal);
  }
}

void PrintMicros(FILE* out, int64_t nanos) {
  fprintf(out, "%lld.%lld", static_cast<long long>(nanos / 1000),
          static_cast<long long>(nanos % 1000 / 100));
}

uint32_t DataBitrate(const LinkFacts& facts) {
  return (facts.ctrlmode & CAN_CTRLMODE_FD) != 0 ? facts.dataBitrate : 0;
}

long long Percent(double share) { return static_cast<long long>(share); }

}  // namespace

void ReportBusLimit(const char* device, const LinkFacts& facts,
                    const FrameBitsRange& frame, int64_t frames,
                    int64_t elapsedMicros) {
  const bool switched = frame.fewest.data > 0;
  const int64_t fewest = FrameNanosOn(facts, frame.fewest);
  const int64_t most = FrameNanosOn(facts, frame.most);
  if (!facts.can || fewest == 0) return;
  const bool range = fewest != most;
  FILE* out = AfterTheTotals();
  fprintf(out, "bus limit of %s:%u", device, facts.bitrate);
  if (switched) fprintf(out, "/%u", DataBitrate(facts));
  fputs(" bit/s, ", out);
  PrintBits(out, frame.fewest);
  if (range) {
    fputs(" to ", out);
    PrintBits(out, frame.most);
  }
  fputs(" bits, ", out);
  PrintMicros(out, fewest);
  if (range) {
    fputs(" to ", out);
    PrintMicros(out, most);
  }
  fputs(" us a frame, ", out);
  if (range)
    fprintf(out, "%lld to ", static_cast<long long>(1000000000 / most));
  fprintf(out, "%lld f/s at most", static_cast<long long>(1000000000 / fewest));
  if (elapsedMicros > 0) {
    const double low = BusShare(frames, fewest, elapsedMicros);
    const double high = BusShare(frames, most, elapsedMicros);
    if (low > 100.0) {
      fputs(
          "; this run faster: frames waited in the queue, or the "
          "controller does not keep to its bit timing",
          out);
    } else if (high > 100.0) {
      fprintf(out, "; this run at least %lld%% of it", Percent(low));
    } else if (range) {
      fprintf(out, "; this run %lld%% to %lld%% of it", Percent(low),
              Percent(high));
    } else {
      fprintf(out, "; this run %lld%% of it", Percent(low));
    }
  }
  fputc('\n', out);
}

int64_t FrameNanosOn(const LinkFacts& facts, const FrameBits& bits) {
  return FrameNanos(bits, facts.bitrate, DataBitrate(facts));
}

double BusShare(int64_t frames, int64_t frameNanos, int64_t elapsedMicros) {
  return 100.0 * static_cast<double>(frames) * static_cast<double>(frameNanos) /
         (static_cast<double>(elapsedMicros) * 1000.0);
}
