// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "report/sequence/SequenceTotals.h"

// The lines on standard error, after a receive run's totals, that judge the
// sequences of grow-mode send runs that came to `device`. Each is empty when
// it has nothing to say: no sequence rose, or no frame was foreign.

// One line per kind, length and fill byte: how many frames, which
// identifiers, and the frames missing, repeated and out of order. Where
// there are several, each names its kind, length and fill byte.
std::string SequenceLines(const char* device, const SequenceReport& report);

// The frames that fit no sequence, with the first of them as a frame line.
std::string ForeignLine(const SequenceReport& report);
