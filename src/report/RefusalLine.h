// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "can/WriteRefusals.h"

// The line on standard error, after a send run's totals, of the writes to
// `device` that the socket refused: how many, the reason given most often
// and its likely cause; `unacknowledged` when the controller lacked
// acknowledgements meanwhile (see Unacknowledged). Empty for no refusal.
std::string RefusalLine(const char* device, const WriteRefusals& refusals,
                        bool unacknowledged);
