// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "can/ErrorCounts.h"

// The error frames of a run by class, for the bus-trouble line: "error
// frames: N no acknowledgement, N stuff errors, ...", only the classes
// counted, in a fixed order; "error frames, at least:" where the error
// socket dropped some. Empty where no class was counted (the driver sends
// no error frames, or only of classes not counted).
std::string ErrorFrameText(const ErrorCounts& counts);

// The likely cause of the errors the counts show most of: missing
// acknowledgements, bit errors in the data phase, or stuff, form and CRC
// errors on receive; null where none of those was counted.
const char* LikelyCause(const ErrorCounts& counts);
