// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "verdict/VerdictReport.h"

// The lines on standard error, after a receive run's totals, that judge the
// marked send runs that came to `device`: one a run, in the order they
// began, the last taking the later ones; empty when none came.
std::string MarkedRunLines(const char* device, const VerdictReport& report);

// The line on standard error with which a marked send run on `device`
// begins: its tag, which the receiving end's lines name.
std::string MarkedRunStartLine(uint32_t tag, const char* device);
