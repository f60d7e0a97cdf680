#include "test/Replies.h"

#include <cctype>
#include <cstdio>
#include <cstring>

bool ReadWord(char* field, size_t size) {
  char format[24];
  snprintf(format, sizeof format, "%%%zus", size - 1);
  if (scanf(format, field) != 1) return true;
  const int next = getchar();
  if (next == EOF) return true;
  ungetc(next, stdin);
  return std::strlen(field) < size - 1 || std::isspace(next);
}
