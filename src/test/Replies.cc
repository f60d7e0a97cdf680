// SPDX-License-Identifier: MIT
#include "test/Replies.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

void ReadReplies(const char* format, ...) {
  va_list fields;
  va_start(fields, format);
  [[maybe_unused]] const int read = vscanf(format, fields);
  va_end(fields);
}

bool ReadWord(char (&field)[256]) {
  if (scanf("%255s", field) != 1) return true;
  const int next = getchar();
  if (next == EOF) return true;
  ungetc(next, stdin);
  return std::strlen(field) < sizeof field - 1 || std::isspace(next);
}
