// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

// Conversions of command-line words into settings.

// A 64-bit strtol in base 10, kept to its low 32 bits; no digits give 0.
int DecimalArgument(const char* text);

// "%x" into *field; text that is no hexadecimal number leaves it unchanged.
void HexArgument(const char* text, uint32_t* field);

// Copies `text` into a field of `size` bytes; false, leaving the field
// unchanged, when it does not fit with its terminator.
bool CopyText(char* field, size_t size, const char* text);
