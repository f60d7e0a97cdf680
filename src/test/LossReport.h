// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "can/WriteRefusals.h"

// Lines on standard error, after a run's totals, that account for frames the
// totals leave out. Nothing is printed when there is nothing to account for.

// Frames that reached `device` but that the receiving socket dropped.
void ReportDrops(const char* device, uint32_t drops);

// Writes to `device` that the socket refused.
void ReportRefusals(const char* device, const WriteRefusals& refusals);
