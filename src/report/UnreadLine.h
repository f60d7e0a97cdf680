// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// The line on standard error, after a receive run's totals, of the frames
// still queued in the receiving socket of `device` when the count ended:
// they reached the node but were neither counted nor shown. Empty for none.
std::string UnreadLine(const char* device, int64_t unread);
