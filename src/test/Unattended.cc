// SPDX-License-Identifier: MIT
#include "test/Unattended.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "test/Arguments.h"
#include "test/OptionTable.h"

namespace {

// Whole decimal digits only, up to `most`: these options are new, and a
// word a script mistyped is refused rather than read as something else.
bool CountArgument(const char* text, int64_t most, int64_t* value) {
  int64_t read = 0;
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
    const int digit = *text - '0';
    if (read > (most - digit) / 10) return false;
    read = read * 10 + digit;
  }
  *value = read;
  return true;
}

}  // namespace

bool SecondsArgument(const char* text, int64_t* micros) {
  const char* point = std::strchr(text, '.');
  const size_t whole = point != nullptr ? static_cast<size_t>(point - text)
                                        : std::strlen(text);
  char digits[32];
  if (whole == 0 || whole >= sizeof digits) return false;
  std::memcpy(digits, text, whole);
  digits[whole] = '\0';
  int64_t seconds = 0;
  if (!CountArgument(digits, UnattendedOptions::kMostSeconds, &seconds)) {
    return false;
  }
  int64_t fraction = 0;
  if (point != nullptr) {
    int64_t scale = 100000;
    for (const char* digit = point + 1; *digit != '\0'; ++digit) {
      if (!std::isdigit(static_cast<unsigned char>(*digit)) || scale == 0) {
        return false;
      }
      fraction += (*digit - '0') * scale;
      scale /= 10;
    }
  }
  *micros = seconds * 1000000 + fraction;
  return true;
}

void FindJsonPath(int argc, char** argv, const char* shortOptions,
                  const option* longOptions, UnattendedOptions* options) {
  // getopt_long reorders the words it is given: a copy of the list.
  std::vector<char*> words(argv, argv + argc);
  words.push_back(nullptr);
  const int quiet = opterr;
  opterr = 0;
  optind = 0;
  int code;
  while ((code = getopt_long(argc, words.data(), shortOptions, longOptions,
                             nullptr)) != -1) {
    if (code == kJsonCode) options->Take(code, optarg);
  }
  opterr = quiet;
  optind = 0;
}

bool UnattendedOptions::Take(int code, const char* argument) {
  switch (code) {
    case kNumberCode:
      return CountArgument(argument, INT64_MAX, &frames);
    case kQuietForCode: return SecondsArgument(argument, &quietMicros);
    case kDurationCode: return SecondsArgument(argument, &durationMicros);
    case kVerdictCode: verdict = true; return true;
    case kJsonCode: return CopyText(json, sizeof json, argument);
    case kJournalCode: return CopyText(journal, sizeof journal, argument);
    default: return false;
  }
}
