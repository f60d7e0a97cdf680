// SPDX-License-Identifier: MIT
#include "report/TroubleLine.h"

#include <cstdint>

#include "report/ErrorFrameText.h"
#include "report/Formatted.h"

namespace {

bool Failing(uint32_t state) {
  return state == CAN_STATE_ERROR_PASSIVE || state == CAN_STATE_BUS_OFF;
}

}  // namespace

std::string TroubleLine(const char* device, const LinkFacts& before,
                        const LinkFacts& after, const ErrorCounts& errors) {
  if (!before.can || !after.can) return "";
  const can_device_stats& a = before.device;
  const can_device_stats& b = after.device;
  const uint64_t counts[] = {Growth(a.bus_error, b.bus_error),
                             Growth(a.error_warning, b.error_warning),
                             Growth(a.error_passive, b.error_passive),
                             Growth(a.bus_off, b.bus_off),
                             Growth(a.restarts, b.restarts)};
  bool grew = false;
  for (const uint64_t count : counts) grew = grew || count > 0;
  if (!grew && !Failing(after.state) && errors.OfTheBus() == 0) return "";
  const std::string frames = ErrorFrameText(errors);
  const char* cause = LikelyCause(errors);
  return Formatted(
      "bus trouble:%llu bus errors, %llu error-warning, %llu "
      "error-passive, %llu bus-off, %llu restarts; %s ended %s, tx "
      "errors %u, rx errors %u%s%s (%s ip -details -statistics link show "
      "%s)\n",
      static_cast<unsigned long long>(counts[0]),
      static_cast<unsigned long long>(counts[1]),
      static_cast<unsigned long long>(counts[2]),
      static_cast<unsigned long long>(counts[3]),
      static_cast<unsigned long long>(counts[4]), device,
      StateName(after.state), after.errors.txerr, after.errors.rxerr,
      frames.empty() ? "" : "; ", frames.c_str(),
      cause != nullptr ? cause
                       : "no node acknowledging, a wrong bit rate or missing "
                         "termination?",
      device);
}

bool Unacknowledged(const LinkFacts& before, const LinkFacts& after) {
  if (!before.can || !after.can) return false;
  return Growth(before.device.error_passive, after.device.error_passive) > 0 ||
         Growth(before.device.bus_off, after.device.bus_off) > 0 ||
         Failing(after.state) || after.errors.txerr > before.errors.txerr;
}
