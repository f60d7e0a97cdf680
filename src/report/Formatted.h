// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// The text that printf prints of `format` and the values after it; the
// compiler checks the values against the format.
std::string Formatted(const char* format, ...)
    __attribute__((format(printf, 1, 2)));
