// SPDX-License-Identifier: MIT
#pragma once

#include <getopt.h>

#include <cstdint>

// The settings of the options that let a run end by itself, say pass or
// fail, and leave records for other programs (see OptionTable.h).
struct UnattendedOptions {
  // The longest --duration and --quiet-for, so that no sum of times
  // overflows: over three years.
  static constexpr int64_t kMostSeconds = 100000000;

  int64_t frames = 0;          // --number: a receive run's frames; 0 no end
  int64_t quietMicros = 0;     // --quiet-for: the end after no frame; 0 none
  int64_t durationMicros = 0;  // --duration: the end of any run; 0 none
  bool verdict = false;        // --verdict: the exit status says pass or fail
  char json[256] = "";         // --json: the summary's file, "-" stderr
  char journal[256] = "";      // --journal: the frames in candump's log format

  // Takes the value of the option of `code`; false for a value it refuses
  // or a code that is not one of these options.
  bool Take(int code, const char* argument);
  // Only a receive run has the frame limit, the quiet time and the log.
  bool FitsSendRun() const {
    return frames == 0 && quietMicros == 0 && journal[0] == '\0';
  }
};

// Finds the value of the last --json among the options, without a word
// on standard error, so that the summary can say that options were refused
// also when --json came after the refused one. The scan after it starts
// afresh.
void FindJsonPath(int argc, char** argv, const char* shortOptions,
                  const option* longOptions, UnattendedOptions* options);

// "N", "N." or "N.F" seconds, F up to 6 digits, into microseconds; false
// for anything else and for more than kMostSeconds.
bool SecondsArgument(const char* text, int64_t* micros);
