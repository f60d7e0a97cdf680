// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "summary/RunSummary.h"

// Whether a run proved the link: a check for each thing that must hold,
// each passed, failed, or unable to tell, which fails too, since it proves
// nothing. A check whose facts the interface cannot have (a controller's
// on vcan) is left out.
//
// A receive run passes when the frames came (the --number count, else at
// least one), none was dropped by the socket, lost in the controller or
// left unread, and the controller was never error-passive or bus-off. A
// send run passes when frames went, no write was refused and the
// controller sent every frame the socket took.

enum class Outcome { kPass, kFail, kCannotTell };

struct Check {
  const char* name;  // frames, dropped, lost, unread, state, refused,
                     // untransmitted
  Outcome outcome;
  std::string detail;  // what was found, a few words
};

struct Verdict {
  std::vector<Check> checks;  // none when the run did not run

  bool Passed() const;
};

Verdict Judge(const RunSummary& summary);

// The line on standard error, last after a run's totals, that names every
// check that failed; empty when all passed.
std::string VerdictLine(const Verdict& verdict);

// The exit status with --verdict: 1 when the test could not be made or its
// frame lines were lost, else 0 when it passed and 2 when it failed.
int VerdictStatus(const RunSummary& summary, const Verdict& verdict);

const char* OutcomeName(Outcome outcome);
