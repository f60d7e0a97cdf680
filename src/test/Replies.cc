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

bool ReadWord(char* field, size_t size) {
  char format[24];
  snprintf(format, sizeof format, "%%%zus", size - 1);
  if (scanf(format, field) != 1) return true;
  const int next = getchar();
  if (next == EOF) return true;
  ungetc(next, stdin);
  return std::strlen(field) < size - 1 || std::isspace(next);
}
