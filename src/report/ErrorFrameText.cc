// SPDX-License-Identifier: MIT
#include "report/ErrorFrameText.h"

#include <cstdint>

#include "report/Formatted.h"

namespace {

void Add(std::string* text, uint64_t count, const char* what) {
  if (count == 0) return;
  if (!text->empty()) *text += ", ";
  *text += Formatted("%llu %s", static_cast<unsigned long long>(count), what);
}

// Bit errors of one kind, by where in the frame they came.
void AddBitErrors(std::string* text, const uint64_t (&counts)[kErrorPhases],
                  const char* kind) {
  Add(text, counts[kArbitration],
      Formatted("%s errors in arbitration", kind).c_str());
  Add(text, counts[kDataPhase],
      Formatted("%s errors in the data phase", kind).c_str());
  Add(text, counts[kElsewhere], Formatted("%s errors", kind).c_str());
}

}  // namespace

std::string ErrorFrameText(const ErrorCounts& c) {
  std::string text;
  Add(&text, c.noAck, "no acknowledgement");
  AddBitErrors(&text, c.bit0, "bit-0");
  AddBitErrors(&text, c.bit1, "bit-1");
  AddBitErrors(&text, c.bit, "bit");
  Add(&text, c.stuff, "stuff errors");
  Add(&text, c.form, "form errors");
  Add(&text, c.crc, "CRC errors");
  Add(&text, c.rxOverflow, "receive overflows");
  Add(&text, c.txOverflow, "transmit overflows");
  Add(&text, c.warning, "error-warning");
  Add(&text, c.passive, "error-passive");
  Add(&text, c.busOff, "bus-off");
  Add(&text, c.restarts, "restarts");
  Add(&text, c.transceiver, "transceiver errors");
  if (text.empty()) return "";
  return (c.dropped > 0 ? "error frames, at least: " : "error frames: ") + text;
}

const char* LikelyCause(const ErrorCounts& c) {
  const struct {
    uint64_t count;
    const char* cause;
  } causes[] = {
      {c.noAck,
       "no acknowledgement: is another node on the bus, at the same bit "
       "rate, with termination?"},
      {c.DataPhaseBitErrors(),
       "bit errors in the data phase: transmitter delay compensation (TDC) "
       "or the transceiver's loop delay?"},
      {c.onReceive,
       "stuff, form and CRC errors on receive: the sample point, the bit rate "
       "or noise?"},
  };
  const char* likely = nullptr;
  uint64_t most = 0;
  for (const auto& cause : causes) {
    if (cause.count > most) {
      most = cause.count;
      likely = cause.cause;
    }
  }
  return likely;
}
