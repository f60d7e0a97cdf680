// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "verdict/VerdictReport.h"

// The line on standard error, after the lines of marked runs and
// sequences, of the frames of neither, with the first of them as a frame
// line: other nodes' traffic, damaged frames, sequences that never rose.
// Empty without such frames, or without those lines to set them apart from.
std::string OtherFramesLine(const VerdictReport& report);
