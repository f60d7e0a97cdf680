// SPDX-License-Identifier: MIT
#include "can/TransmitWait.h"

#include <gtest/gtest.h>

#include <numeric>

#include "report/UntransmittedLine.h"
#include "testsupport/LinkReplyTesting.h"
#include "testsupport/TesterHarness.h"

// Send runs whose controller tells `told` before, after and during the wait,
// the last facts again and again.
TEST(TransmitWaitTest, ASendRunWaitsUntilTheControllerSentItsFrames) {
  const auto sent = [](uint64_t frames, uint32_t state = 0) {
    LinkFacts facts = ControllerFacts();
    facts.txPackets = frames;
    facts.state = state;
    return facts;
  };
  struct Case {
    const char* name;
    int frames;
    std::vector<LinkFacts> told;
    int64_t untransmitted, waited;
  };
  const std::vector<Case> cases = {
      {"no acknowledgement", 5, {sent(0), sent(0), sent(0, 2)}, 5, 101110},
      {"catching up", 5, {sent(0), sent(2), sent(4), sent(5)}, 0, 4000},
      {"some sent", 5, {sent(0), sent(3)}, 2, 100444},
      {"a long queue", 5000, {sent(0), sent(10)}, 4990, 1000000},
      {"other sockets sent too", 5, {sent(0), sent(9)}, 0, 0},
      {"the driver reloaded", 5, {sent(50), sent(3)}, 0, 0},
  };
  for (const Case& c : cases) {
    TesterHarness<ClassicVariant> run;
    for (const LinkFacts& facts : c.told) {
      Fake().netlinkReplies.push_back({LinkReplyOf(facts)});
    }
    Fake().netlinkReplies.resize(600, Fake().netlinkReplies.back());
    ASSERT_TRUE(run.Init(
        {"-w", "-C", std::to_string(c.frames), "-i", "2AA", "-d", "55"}));
    run.Test();
    EXPECT_EQ(run.err, UntransmittedLine("can0", c.untransmitted,
                                         c.told.back().state != 0) +
                           "bus limit of can0:500000 bit/s, 111 bits, 222.0 "
                           "us a frame, 4504 f/s at most\n")
        << c.name;
    EXPECT_EQ(std::accumulate(FakePauses().begin(), FakePauses().end(), 0),
              c.waited)
        << c.name;
  }
}
