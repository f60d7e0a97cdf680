// SPDX-License-Identifier: MIT
#include "report/SettingAdvice.h"

#include "report/Formatted.h"
#include "report/SettingLines.h"

std::string SettingAdvice(const char* device, const LinkFacts& before,
                          const LinkFacts& after, bool trouble) {
  if (!before.can || !after.can) return "";
  std::string lines;
  const bool busOff = Growth(before.device.bus_off, after.device.bus_off) > 0 ||
                      after.state == CAN_STATE_BUS_OFF;
  if (busOff && after.restartMs == 0) {
    lines += Formatted(
        "restart-ms of %s is 0: after a bus-off it stays off the bus until "
        "restarted by hand (ip link set %s type can restart), or restarts "
        "itself with %s\n",
        device, device,
        MendCommands(device, Formatted("restart-ms %d", kRestartMsAdvised))
            .c_str());
  }
  const uint32_t reporting = CAN_CTRLMODE_BERR_REPORTING;
  const LinkTiming& timing = after.timing;
  // A controller that the kernel says has no bus-error reporting gets no
  // advice to turn it on; one of a kernel that does not say may have it.
  const bool reportable =
      timing.supported == 0 || (timing.supported & reporting) != 0;
  if (trouble && (timing.ctrlmode & reporting) == 0 && reportable) {
    lines += Formatted(
        "bus-error reporting of %s is off, so its bus errors went uncounted "
        "(%s)\n",
        device, MendCommands(device, "berr-reporting on").c_str());
  }
  return lines;
}
