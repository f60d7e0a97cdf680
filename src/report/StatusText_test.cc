// SPDX-License-Identifier: MIT
#include "report/StatusText.h"

#include <gtest/gtest.h>
#include <linux/can/netlink.h>

#include <string>

TEST(StatusTextTest, ShowsTheFiguresOfTheRun) {
  // send, frames, rate, refused, share, low, high, drops known, drops, can,
  // state, lost
  const struct {
    StatusFigures figures;
    std::string text;
  } cases[] = {
      {{true, 123, 43, 26, true, 97, 97, false, 0, false, 0, 0},
       "sent:123 43 f/s bus:97% refused:26"},
      {{true, 9, 3, 0, true, 66, 81, false, 0, true, CAN_STATE_BUS_OFF, 0},
       "sent:9 3 f/s bus:66-81% refused:0 lost:0 BUS-OFF"},
      {{false, 9999999999, 99999, 0, false, 0, 0, true, 999999, true,
        CAN_STATE_ERROR_PASSIVE, 9999},
       "received:9999999999 99999 f/s dropped:999999 lost:9999 "
       "ERROR-PASSIVE"},
      {{true, INT64_MAX, INT64_MAX, INT64_MAX, true, 100, 100, false, 0, true,
        CAN_STATE_BUS_OFF, 1},
       "sent:9223372036854775807 9223372036854775807 f/s bus:100% "
       "refused:9223372036854"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StatusText(c.figures), c.text);
  }
}
