// SPDX-License-Identifier: MIT
#include "report/SettingAdvice.h"

#include <gtest/gtest.h>

#include <string>

#include "testsupport/LinkReplyTesting.h"

TEST(SettingAdviceTest, AdvisesOnlyWhereTheSettingMattered) {
  const std::string restart =
      "restart-ms of can0 is 0: after a bus-off it stays off the bus until "
      "restarted by hand (ip link set can0 type can restart), or restarts "
      "itself with ip link set can0 down; ip link set can0 type can "
      "restart-ms 100; ip link set can0 up\n";
  const std::string reporting =
      "bus-error reporting of can0 is off, so its bus errors went uncounted "
      "(ip link set can0 down; ip link set can0 type can berr-reporting on; "
      "ip link set can0 up)\n";
  LinkFacts defaults = FdControllerFacts();
  defaults.restartMs = 0;
  LinkFacts busOff = defaults;
  busOff.device.bus_off = 1;
  LinkFacts endedOff = defaults;
  endedOff.state = CAN_STATE_BUS_OFF;
  LinkFacts restarting = busOff;
  restarting.restartMs = 100;
  LinkFacts untold = busOff;
  untold.restartMs = -1;
  LinkFacts reportingOn = defaults;
  reportingOn.timing.ctrlmode |= CAN_CTRLMODE_BERR_REPORTING;
  LinkFacts unreportable = defaults;
  unreportable.timing.supported &= ~uint32_t{CAN_CTRLMODE_BERR_REPORTING};
  LinkFacts oldKernel = defaults;
  oldKernel.timing.supported = 0;
  const struct {
    const char* name;
    LinkFacts after;
    bool trouble;
    std::string lines;
  } rows[] = {
      {"no trouble", defaults, false, ""},
      {"went bus-off", busOff, true, restart + reporting},
      {"ended bus-off", endedOff, true, restart + reporting},
      {"restarts itself", restarting, true, reporting},
      {"restart-ms not told", untold, true, reporting},
      {"trouble, reporting on", reportingOn, true, ""},
      {"trouble, no reporting to turn on", unreportable, true, ""},
      {"trouble, a kernel that does not tell", oldKernel, true, reporting},
      {"not a CAN controller", LinkFacts(), true, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SettingAdvice("can0", defaults, row.after, row.trouble),
              row.lines)
        << row.name;
  }
}
