// SPDX-License-Identifier: MIT
#pragma once

// The parts of the usage text and the send prompt that differ between the
// frame formats.
struct VariantTexts {
  const char* positionalBrs;  // tail of the positional usage line
  const char* shortOptions;   // getopt string, also shown in the usage text
  const char* brsOption;      // usage line of -B, empty where there is none
  const char* lengths;        // the payload lengths a frame may have
  const char* countName;      // long name shown for -C
};

void PrintUsage(const char* prog, const VariantTexts& texts);
