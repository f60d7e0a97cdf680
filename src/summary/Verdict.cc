// SPDX-License-Identifier: MIT
#include "summary/Verdict.h"

#include <linux/can/netlink.h>

#include "can/TransmitWait.h"
#include "report/Formatted.h"

namespace {

// The exit statuses with --verdict; 1 is the specified one of a failure.
constexpr int kPassed = 0;
constexpr int kNotMade = 1;
constexpr int kFailed = 2;

Check Counted(const char* name, uint64_t count, const char* what) {
  if (count == 0) return {name, Outcome::kPass, "none"};
  return {name, Outcome::kFail,
          Formatted("%llu %s", static_cast<unsigned long long>(count), what)};
}

bool Failing(uint32_t state) {
  return state == CAN_STATE_ERROR_PASSIVE || state == CAN_STATE_BUS_OFF;
}

// Never error-passive or bus-off from before the run to after it: neither
// at either end nor counted in between.
Check State(const LinkFacts& before, const LinkFacts& after) {
  if (!after.can) return {"state", Outcome::kCannotTell, "no facts after"};
  const bool busOff =
      before.state == CAN_STATE_BUS_OFF || after.state == CAN_STATE_BUS_OFF ||
      Growth(before.device.bus_off, after.device.bus_off) > 0;
  const bool passive =
      Failing(before.state) || Failing(after.state) ||
      Growth(before.device.error_passive, after.device.error_passive) > 0;
  if (busOff) return {"state", Outcome::kFail, "bus-off"};
  if (passive) return {"state", Outcome::kFail, "error-passive"};
  return {"state", Outcome::kPass, StateName(after.state)};
}

// Every marked run and every sequence whole: none missing, repeated, out
// of order or damaged, and every figure told; a marked run's end too.
Check Runs(const VerdictReport& r) {
  for (int i = 0; i < r.markedCount; ++i) {
    const MarkedTotals& run = r.marked[i];
    const std::string name =
        run.runs > 1 ? Formatted("%lld marked runs", static_cast<long long>(run.runs))
                     : Formatted("marked run %05X", run.tag);
    if (run.missing + run.repeated + run.outOfOrder + run.damaged > 0 &&
        run.exact) {
      return {"runs", Outcome::kFail,
              Formatted("%s: %lld missing, %lld repeated, %lld out of order, "
                        "%lld damaged",
                        name.c_str(), static_cast<long long>(run.missing),
                        static_cast<long long>(run.repeated),
                        static_cast<long long>(run.outOfOrder),
                        static_cast<long long>(run.damaged))};
    }
    if (!run.exact) {
      return {"runs", Outcome::kCannotTell,
              name + ": missing and repeated"};
    }
    if (!run.lastCame) return {"runs", Outcome::kCannotTell, name + ": its end"};
  }
  for (int i = 0; i < r.shapeCount; ++i) {
    const ShapeTotals& shape = r.shapes[i];
    const bool told = shape.sequences.known && shape.identifiersKnown &&
                      shape.perStepKnown && shape.missing.known &&
                      shape.repeated.known && shape.outOfOrder.known;
    if (!told) return {"runs", Outcome::kCannotTell, "a sequence's figures"};
    if (shape.missing.value + shape.repeated.value + shape.outOfOrder.value > 0) {
      return {"runs", Outcome::kFail,
              Formatted("a sequence: %lld missing, %lld repeated, %lld out of "
                        "order",
                        static_cast<long long>(shape.missing.value),
                        static_cast<long long>(shape.repeated.value),
                        static_cast<long long>(shape.outOfOrder.value))};
    }
  }
  return {"runs", Outcome::kPass,
          Formatted("all whole: %d marked, %d sequences", r.markedCount,
                    r.shapeCount)};
}

void JudgeReceive(const RunSummary& s, std::vector<Check>* checks) {
  const int64_t expected = s.settings.frames;
  if (expected > 0) {
    checks->push_back({"frames",
                       s.frames == expected ? Outcome::kPass : Outcome::kFail,
                       Formatted("%lld of %lld came",
                                 static_cast<long long>(s.frames),
                                 static_cast<long long>(expected))});
  } else {
    checks->push_back(
        {"frames", s.frames > 0 ? Outcome::kPass : Outcome::kFail,
         Formatted("%lld came", static_cast<long long>(s.frames))});
  }
  if (s.judged) checks->push_back(Runs(s.runs));
  if (s.dropsKnown) {
    checks->push_back(Counted("dropped", s.drops, "by the socket"));
  } else {
    checks->push_back({"dropped", Outcome::kCannotTell, "the kernel does not tell"});
  }
  if (s.before.can) {
    if (s.after.can) {
      checks->push_back(Counted(
          "lost", Growth(s.before.Lost(), s.after.Lost()), "in the controller"));
    } else {
      checks->push_back({"lost", Outcome::kCannotTell, "no facts after"});
    }
  }
  checks->push_back(Counted("unread", static_cast<uint64_t>(s.unread),
                            "left in the socket"));
  if (s.before.can) checks->push_back(State(s.before, s.after));
}

void JudgeSend(const RunSummary& s, std::vector<Check>* checks) {
  checks->push_back({"frames", s.frames > 0 ? Outcome::kPass : Outcome::kFail,
                     Formatted("%lld went", static_cast<long long>(s.frames))});
  checks->push_back(
      Counted("refused", static_cast<uint64_t>(s.refused), "writes"));
  if (!s.before.can) return;
  if (UntransmittedKnown(s.before, s.latest, s.frames)) {
    checks->push_back(Counted(
        "untransmitted",
        static_cast<uint64_t>(Untransmitted(s.before, s.latest, s.frames)),
        "not sent by the controller"));
  } else {
    checks->push_back(
        {"untransmitted", Outcome::kCannotTell, "the controller's count"});
  }
}

}  // namespace

bool Verdict::Passed() const {
  for (const Check& check : checks) {
    if (check.outcome != Outcome::kPass) return false;
  }
  return !checks.empty();
}

Verdict Judge(const RunSummary& summary) {
  Verdict verdict;
  if (summary.run == RunSummary::Run::kReceive) {
    JudgeReceive(summary, &verdict.checks);
  } else if (summary.run == RunSummary::Run::kSend) {
    JudgeSend(summary, &verdict.checks);
  }
  return verdict;
}

std::string VerdictLine(const Verdict& verdict) {
  std::string failed;
  for (const Check& check : verdict.checks) {
    if (check.outcome == Outcome::kPass) continue;
    failed += failed.empty() ? "" : ", ";
    failed += Formatted("%s (%s%s)", check.name,
                        check.outcome == Outcome::kCannotTell
                            ? "cannot tell: "
                            : "",
                        check.detail.c_str());
  }
  return failed.empty() ? "" : "verdict:fail, " + failed + "\n";
}

int VerdictStatus(const RunSummary& summary, const Verdict& verdict) {
  if (!summary.failure.empty() || summary.LinesLost() > 0 ||
      summary.run == RunSummary::Run::kNone) {
    return kNotMade;
  }
  return verdict.Passed() ? kPassed : kFailed;
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kPass: return "pass";
    case Outcome::kFail: return "fail";
    case Outcome::kCannotTell: return "cannot tell";
  }
  return "";
}
