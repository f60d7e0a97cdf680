// SPDX-License-Identifier: MIT
#include "report/TroubleLine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "testsupport/LinkReplyTesting.h"

namespace {

// Facts of a controller that saw `change` happen.
LinkFacts Changed(const std::function<void(LinkFacts*)>& change,
                  LinkFacts facts = ControllerFacts()) {
  change(&facts);
  return facts;
}

std::string Trouble(const std::string& counts) {
  return "bus trouble:" + counts +
         " (no node acknowledging, a wrong bit rate or missing termination? "
         "ip -details -statistics link show can0)\n";
}

}  // namespace

// The line after the run, and whether the controller lacked
// acknowledgements (what the refusal line follows).
TEST(TroubleLineTest, TellsOfTroubleAndOfMissingAcknowledgement) {
  const LinkFacts passive = Changed([](LinkFacts* f) {
    f->state = CAN_STATE_ERROR_PASSIVE;
    f->errors = {130, 0};
    f->device.bus_error = 500;
  });
  const struct {
    const char* name;
    LinkFacts before;
    LinkFacts after;
    std::string line;
    bool unacknowledged;
  } rows[] = {
      {"error active", ControllerFacts(), ControllerFacts(), "", false},
      {"arbitration lost only", ControllerFacts(),
       Changed([](LinkFacts* f) { f->device.arbitration_lost = 9; }), "",
       false},
      {"transmit errors rose", ControllerFacts(),
       Changed([](LinkFacts* f) { f->errors.txerr = 8; }), "", true},
      {"bus-off at the end", ControllerFacts(), Changed([](LinkFacts* f) {
         f->state = CAN_STATE_BUS_OFF;
         f->errors = {256, 0};
         f->device.bus_error = 40;
         f->device.error_warning = 1;
         f->device.error_passive = 1;
         f->device.bus_off = 1;
       }),
       Trouble("40 bus errors, 1 error-warning, 1 error-passive, 1 bus-off, 0 "
               "restarts; can0 ended BUS-OFF, tx errors 256, rx errors 0"),
       true},
      {"error-passive and back, restarted", ControllerFacts(),
       Changed([](LinkFacts* f) {
         f->state = CAN_STATE_ERROR_WARNING;
         f->errors = {100, 0};
         f->device.error_passive = 2;
         f->device.restarts = 1;
       }),
       Trouble("0 bus errors, 0 error-warning, 2 error-passive, 0 bus-off, 1 "
               "restarts; can0 ended ERROR-WARNING, tx errors 100, rx errors "
               "0"),
       true},
      {"bus errors while error active", ControllerFacts(),
       Changed([](LinkFacts* f) { f->device.bus_error = 3; }),
       Trouble("3 bus errors, 0 error-warning, 0 error-passive, 0 bus-off, 0 "
               "restarts; can0 ended ERROR-ACTIVE, tx errors 0, rx errors 0"),
       false},
      {"an ended passive state counts only its growth", passive,
       Changed([](LinkFacts* f) { f->device.bus_error = 520; }, passive),
       Trouble("20 bus errors, 0 error-warning, 0 error-passive, 0 bus-off, 0 "
               "restarts; can0 ended ERROR-PASSIVE, tx errors 130, rx errors "
               "0"),
       true},
      {"frames lost in the controller", ControllerFacts(),
       Changed([](LinkFacts* f) { f->rxOver = 3; }), "", false},
      {"no CAN facts before", LinkFacts(),
       Changed([](LinkFacts* f) { f->state = CAN_STATE_BUS_OFF; }), "", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(TroubleLine("can0", row.before, row.after), row.line) << row.name;
    EXPECT_EQ(Unacknowledged(row.before, row.after), row.unacknowledged)
        << row.name;
  }
}

// The SJA1000 driver sends an error frame for each receive overrun, which
// the lost-frames line tells already: alone, they make no bus trouble.
TEST(TroubleLineTest, LeavesTheControllersOverflowsToTheLostLine) {
  ErrorCounts errors;
  errors.rxOverflow = 94;
  EXPECT_EQ(TroubleLine("can0", ControllerFacts(), ControllerFacts(), errors),
            "");
  errors.crc = 1;
  EXPECT_EQ(TroubleLine("can0", ControllerFacts(), ControllerFacts(), errors),
            Trouble("0 bus errors, 0 error-warning, 0 error-passive, 0 "
                    "bus-off, 0 restarts; can0 ended ERROR-ACTIVE, tx errors "
                    "0, rx errors 0; error frames: 1 CRC errors, 94 receive "
                    "overflows"));
}
