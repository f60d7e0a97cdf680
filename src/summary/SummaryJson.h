// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "summary/RunSummary.h"
#include "summary/Verdict.h"

// The summary for programs: one JSON object on one line, with "format": 1,
// of the run's settings, every figure it printed or would print, the
// verdict with its checks and the exit status. The keys are in the man
// page; a key's value is null where the run cannot know it.
std::string SummaryJson(const RunSummary& summary, const Verdict& verdict,
                        int exitStatus);
