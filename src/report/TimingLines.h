// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "can/LinkFacts.h"
#include "can/LinkTiming.h"

// The timing facts of the controller of `device`, one line each, always in
// this order so that the lines of two nodes can be set side by side: the
// clock; bit rate, sample point, time quantum and SJW; the data phase's bit
// rate, sample point and SJW; TDC; the modes that are on.
std::string TimingLines(const char* device, const LinkTiming& timing);

// The modes of `ctrlmode` by the names `ip -details link show` gives them,
// separated by blanks; "none" for none.
std::string ModeNames(uint32_t ctrlmode);

// The timing lines after a run: where it found trouble or `asked` for
// them, for a CAN controller; asked for of another interface, one line that
// there are none.
std::string TimingReport(const char* device, const LinkFacts& facts, bool asked,
                         bool trouble);
