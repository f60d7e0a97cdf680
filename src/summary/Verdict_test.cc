// SPDX-License-Identifier: MIT
#include "summary/Verdict.h"

#include <gtest/gtest.h>
#include <linux/can/netlink.h>

#include <functional>
#include <string>
#include <vector>

#include "testsupport/LinkReplyTesting.h"

namespace {

std::vector<std::string> Failed(const Verdict& verdict) {
  std::vector<std::string> names;
  for (const Check& check : verdict.checks) {
    if (check.outcome != Outcome::kPass) names.emplace_back(check.name);
  }
  return names;
}

// A clean run on a controller: `frames` came or went, nothing else.
RunSummary Clean(RunSummary::Run run, int64_t frames) {
  RunSummary s;
  s.run = run;
  s.frames = frames;
  s.dropsKnown = true;
  s.before = s.after = s.latest = ControllerFacts();
  s.latest.txPackets = static_cast<uint64_t>(frames);
  return s;
}

}  // namespace

// Each row spoils a clean run in one way, and that way alone fails.
TEST(VerdictTest, FailsEachCheckThatDoesNotHold) {
  using Run = RunSummary::Run;
  const struct {
    Run run;
    std::function<void(RunSummary*)> spoil;
    std::vector<std::string> failed;
  } rows[] = {
      {Run::kReceive, [](RunSummary*) {}, {}},
      {Run::kReceive, [](RunSummary* s) { s->frames = 0; }, {"frames"}},
      {Run::kReceive, [](RunSummary* s) { s->settings.frames = 10; }, {"frames"}},
      {Run::kReceive, [](RunSummary* s) { s->settings.frames = 10; s->frames = 10; }, {}},
      {Run::kReceive, [](RunSummary* s) { s->drops = 3; }, {"dropped"}},
      {Run::kReceive, [](RunSummary* s) { s->dropsKnown = false; }, {"dropped"}},
      {Run::kReceive, [](RunSummary* s) { s->after.rxOver = 2; }, {"lost"}},
      {Run::kReceive, [](RunSummary* s) { s->unread = 4; }, {"unread"}},
      {Run::kReceive, [](RunSummary* s) { s->after.device.bus_off = 1; }, {"state"}},
      {Run::kReceive, [](RunSummary* s) { s->before.state = CAN_STATE_ERROR_PASSIVE; }, {"state"}},
      {Run::kReceive, [](RunSummary* s) { s->after.state = CAN_STATE_ERROR_WARNING; }, {}},
      {Run::kReceive, [](RunSummary* s) { s->after = LinkFacts(); }, {"lost", "state"}},
      // Marked runs and sequences: whole, faulty, or not told.
      {Run::kReceive, [](RunSummary* s) { s->judged = true; s->runs.markedCount = 1; s->runs.marked[0].lastCame = true; }, {}},
      {Run::kReceive, [](RunSummary* s) { s->judged = true; s->runs.markedCount = 1; s->runs.marked[0].lastCame = true; s->runs.marked[0].damaged = 1; }, {"runs"}},
      {Run::kReceive, [](RunSummary* s) { s->judged = true; s->runs.markedCount = 1; }, {"runs"}},
      {Run::kReceive, [](RunSummary* s) { s->judged = true; s->runs.shapeCount = 1; s->runs.shapes[0].missing.value = 2; }, {"runs"}},
      {Run::kReceive, [](RunSummary* s) { s->judged = true; s->runs.shapeCount = 1; s->runs.shapes[0].outOfOrder.known = false; }, {"runs"}},
      {Run::kReceive, [](RunSummary* s) { s->judged = true; s->runs.shapeCount = 1; }, {}},
      // No controller (vcan): its checks are left out.
      {Run::kReceive, [](RunSummary* s) { s->before = s->after = LinkFacts(); }, {}},
      {Run::kSend, [](RunSummary*) {}, {}},
      {Run::kSend, [](RunSummary* s) { s->frames = 0; s->latest.txPackets = 0; }, {"frames"}},
      {Run::kSend, [](RunSummary* s) { s->refused = 7; }, {"refused"}},
      {Run::kSend, [](RunSummary* s) { s->latest.txPackets -= 5; }, {"untransmitted"}},
      {Run::kSend, [](RunSummary* s) { s->latest.txPackets += 5; }, {"untransmitted"}},
      {Run::kSend, [](RunSummary* s) { s->before = LinkFacts(); }, {}},
  };
  int row = 0;
  for (const auto& r : rows) {
    RunSummary summary = Clean(r.run, 100);
    r.spoil(&summary);
    const Verdict verdict = Judge(summary);
    EXPECT_EQ(Failed(verdict), r.failed) << "row " << row;
    EXPECT_EQ(verdict.Passed(), r.failed.empty()) << "row " << row;
    EXPECT_EQ(VerdictStatus(summary, verdict), r.failed.empty() ? 0 : 2)
        << "row " << row;
    ++row;
  }
}

TEST(VerdictTest, NamesTheFailedChecksInOneLine) {
  RunSummary summary = Clean(RunSummary::Run::kReceive, 963);
  summary.settings.frames = 1000;
  summary.drops = 37;
  summary.dropsKnown = true;
  summary.after = LinkFacts();
  EXPECT_EQ(VerdictLine(Judge(summary)),
            "verdict:fail, frames (963 of 1000 came), dropped (37 by the "
            "socket), lost (cannot tell: no facts after), state (cannot tell: "
            "no facts after)\n");
  summary.failure = "bind failed";
  EXPECT_EQ(VerdictStatus(summary, Judge(summary)), 1);
}
