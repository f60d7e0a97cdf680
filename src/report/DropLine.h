// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// The line on standard error, after a receive run's totals, of the frames
// that reached `device` but that the receiving socket dropped for want of
// room. Empty for no drop.
std::string DropLine(const char* device, uint32_t drops);
