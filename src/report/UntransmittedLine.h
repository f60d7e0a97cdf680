// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// The line on standard error, after a send run's totals, of frames that the
// socket accepted but that `device` had not sent when the run ended: still
// queued, or dropped below the socket. `unacknowledged` when the controller
// lacked acknowledgements meanwhile (see Unacknowledged). Empty for no
// untransmitted frame.
std::string UntransmittedLine(const char* device, int64_t untransmitted,
                              bool unacknowledged);
