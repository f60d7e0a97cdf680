// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// Writes `text` whole to `path`, or to standard error for "-". A regular
// file (or a new one) is written as a temporary file beside it, flushed to
// disk and renamed over it, so that a reader sees the old file or the whole
// new one, never a part; a path to something else (a device, a fifo, or a
// link to one) is written straight. False, with errno, when it could not be
// written whole.
bool WriteWhole(const char* path, const std::string& text);
