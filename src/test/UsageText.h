// SPDX-License-Identifier: MIT
#pragma once

// The parts of the usage text and the send prompt that differ between the
// frame formats, beside the options each program has.
struct VariantTexts {
  const char* positionalBrs;  // tail of the positional usage line
  const char* lengths;        // the payload lengths a frame may have
  const char* countName;      // long name shown for -C
};

// The usage text of a program with the getopt string `shortOptions`, and the
// options of canfd_tester when `fd`.
void PrintUsage(const char* prog, const char* shortOptions, bool fd,
                const VariantTexts& texts);
