// SPDX-License-Identifier: MIT
#include "test/UsageText.h"

#include <cstdio>
#include <cstring>

#include "test/OptionTable.h"

namespace {

// Prints a usage line of the table with `text` in place of its "%s".
void PrintFilled(const char* usage, const char* text) {
  const char* slot = std::strstr(usage, "%s");
  fwrite(usage, 1, static_cast<size_t>(slot - usage), stdout);
  fputs(text, stdout);
  fputs(slot + 2, stdout);
}

}  // namespace

// Like the option lines of the table, the head lines are the programs'
// interface, matched byte for byte by scripts and the tests.
void PrintUsage(const char* prog, const char* shortOptions, bool fd,
                const VariantTexts& texts) {
  printf("Usage: %s <device> [filter] [loopBack] [rcvOwn]%s\n", prog,
         texts.positionalBrs);
  printf("OR Usage: %s [-%s]\n", prog, shortOptions);
  for (const OptionRow& row : kOptionRows) {
    if (!HasOption(row, fd) || row.usage == nullptr) continue;
    switch (row.slot) {
      case UsageSlot::kNone: fputs(row.usage, stdout); break;
      case UsageSlot::kLengths: PrintFilled(row.usage, texts.lengths); break;
      case UsageSlot::kCountName:
        PrintFilled(row.usage, texts.countName);
        break;
    }
  }
  putchar('\n');
}
