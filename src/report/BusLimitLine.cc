// SPDX-License-Identifier: MIT
#include "report/BusLimitLine.h"

#include "report/Formatted.h"

namespace {

void AppendBits(std::string* text, const FrameBits& bits) {
  if (bits.data > 0) {
    *text += Formatted("%d+%d", bits.nominal, bits.data);
  } else {
    *text += Formatted("%d", bits.nominal);
  }
}

void AppendMicros(std::string* text, int64_t nanos) {
  *text += Formatted("%lld.%lld", static_cast<long long>(nanos / 1000),
                     static_cast<long long>(nanos % 1000 / 100));
}

long long Percent(double share) { return static_cast<long long>(share); }

}  // namespace

std::string BusLimitLine(const char* device, const LinkFacts& facts,
                         const FrameBitsRange& frame, int64_t frames,
                         int64_t elapsedMicros) {
  const bool switched = frame.fewest.data > 0;
  const int64_t fewest = FrameNanosOn(facts, frame.fewest);
  const int64_t most = FrameNanosOn(facts, frame.most);
  if (!facts.can || fewest == 0) return "";
  const bool range = fewest != most;
  std::string line = "bus limit of " + std::string(device) + ":";
  line += Formatted("%u", facts.timing.nominal.bitrate);
  if (switched) line += Formatted("/%u", DataBitrate(facts));
  line += " bit/s, ";
  AppendBits(&line, frame.fewest);
  if (range) {
    line += " to ";
    AppendBits(&line, frame.most);
  }
  line += " bits, ";
  AppendMicros(&line, fewest);
  if (range) {
    line += " to ";
    AppendMicros(&line, most);
  }
  line += " us a frame, ";
  if (range)
    line += Formatted("%lld to ", static_cast<long long>(1000000000 / most));
  line += Formatted("%lld f/s at most",
                    static_cast<long long>(1000000000 / fewest));
  if (elapsedMicros > 0) {
    const double low = BusShare(frames, fewest, elapsedMicros);
    const double high = BusShare(frames, most, elapsedMicros);
    if (low > 100.0) {
      line +=
          "; this run faster: frames waited in the queue, or the controller "
          "does not keep to its bit timing";
    } else if (high > 100.0) {
      line += Formatted("; this run at least %lld%% of it", Percent(low));
    } else if (range) {
      line += Formatted("; this run %lld%% to %lld%% of it", Percent(low),
                        Percent(high));
    } else {
      line += Formatted("; this run %lld%% of it", Percent(low));
    }
  }
  return line + "\n";
}
