// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "can/WriteRefusals.h"

// Lines on standard error, after a run's totals, that account for frames the
// totals leave out. Each line is empty when there is nothing to account for.

// Frames that reached `device` but that the receiving socket dropped.
std::string DropLine(const char* device, uint32_t drops);

// Frames still queued in the receiving socket of `device` when the count
// ended: they reached the node but were neither counted nor shown.
std::string UnreadLine(const char* device, int64_t unread);

// Writes to `device` that the socket refused; `unacknowledged` when the
// controller lacked acknowledgements meanwhile (see Unacknowledged).
std::string RefusalLine(const char* device, const WriteRefusals& refusals,
                        bool unacknowledged);

void ReportDrops(const char* device, uint32_t drops);
void ReportUnread(const char* device, int64_t unread);
void ReportRefusals(const char* device, const WriteRefusals& refusals,
                    bool unacknowledged);
