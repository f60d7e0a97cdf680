// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "test/SequenceTotals.h"

// The lines on standard error, after a receive run's totals, that judge the
// sequences of grow-mode send runs that came to `device`. Each is empty when
// it has nothing to say: no sequence showed two identifiers, or no frame was
// foreign.

// How many frames, which identifiers, and the frames missing, repeated and
// out of order.
std::string SequenceLine(const char* device, const SequenceTotals& totals);

// The frames that fit no sequence, with the first of them as a frame line.
std::string ForeignLine(const SequenceTotals& totals);

void ReportSequence(const char* device, const SequenceTotals& totals);
