// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <string>

#include "can/LinkFacts.h"
#include "can/LinkQuery.h"
#include "report/AfterTheTotals.h"
#include "report/SettingAdvice.h"
#include "report/SettingLines.h"
#include "report/TimingLines.h"
#include "report/TroubleLine.h"

// Reads the link facts of interface `ifindex` before a run and prints, on
// standard error, the settings of its controller that spoil the test;
// standard output is flushed first, so that the lines come before
// "Testing..." also where both streams go to one file.
inline LinkFacts LinkBeforeTheRun(const char* device, int ifindex) {
  const LinkFacts facts = ReadLinkFacts(ifindex);
  const std::string lines = SettingLines(device, facts);
  if (!lines.empty()) {
    fflush(stdout);
    fputs(lines.c_str(), stderr);
  }
  return facts;
}

// After the run's other lines: the advice on restart-ms and bus-error
// reporting where they mattered, and the timing facts where `explain` asks
// for them or the run found trouble on the bus: its `troubleLine` was
// printed, or the controller lacked acknowledgements (error-passive,
// bus-off, a rising transmit error counter: what makes writes refused and
// frames untransmitted for a reason other than a short queue).
inline void PrintLinkAfterTheRun(const char* device, const LinkFacts& before,
                                 const LinkFacts& after,
                                 const std::string& troubleLine, bool explain) {
  const bool trouble = !troubleLine.empty() || Unacknowledged(before, after);
  PrintAfterTheTotals(SettingAdvice(device, before, after, trouble) +
                      TimingReport(device, after, explain, trouble));
}
