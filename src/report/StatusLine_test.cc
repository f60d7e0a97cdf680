// SPDX-License-Identifier: MIT
#include "report/StatusLine.h"

#include <gtest/gtest.h>
#include <linux/can/netlink.h>

#include <string>
#include <vector>

#include "report/StatusText.h"
#include "testsupport/FakeSystemCalls.h"
#include "testsupport/FakeClock.h"
#include "testsupport/LinkReplyTesting.h"
#include "time/Clock.h"

// Looks every half second: the controller's facts asked for at the look
// before the line is due are taken when it is; an answer that does not
// come leaves them as they were; no look waits for the kernel.
TEST(StatusLineTest, TakesTheLinkFactsAtALaterLookWithoutWaiting) {
  Fake() = FakeSystem();
  LinkFacts lossy = ControllerFacts();
  lossy.rxOver = 3;
  lossy.state = CAN_STATE_ERROR_PASSIVE;
  Fake().netlinkReplies = {{LinkReplyOf(lossy)}};
  StatusLine status(true, 4, ControllerFacts());
  status.WatchReceive(7);
  StatusFigures figures;
  figures.rate = 200;
  figures.dropsKnown = figures.can = true;
  figures.state = CAN_STATE_ERROR_PASSIVE;
  figures.lost = 3;
  std::vector<FakeSystem::Bytes> lines;
  for (const int64_t frames : {100, 200, 300, 400}) {
    SetFakeClock(ClockMicros() + 500000);
    status.Check(frames);
    if (frames % 200 != 0) continue;  // the line is due once a second
    figures.frames = frames;
    const std::string line = StatusText(figures) + "\033[K\r";
    lines.emplace_back(line.begin(), line.end());
  }
  EXPECT_EQ(Fake().written, lines);
  EXPECT_EQ(Fake().netlinkRequests.size(), 2u);
  EXPECT_EQ(Fake().waits, std::vector<int>(2, 0));
}
