// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "verdict/VerdictReport.h"

// The lines on standard error, after a receive run's totals, that judge the
// sequences of grow-mode send runs without marks that came to `device`: one
// per kind, length and fill byte, which they then name; empty when no
// sequence rose.
std::string SequenceLines(const char* device, const VerdictReport& report);
