// SPDX-License-Identifier: MIT
#include "test/UsageText.h"

#include <cstdio>

#include "test/OptionTable.h"

// Like the option lines of the table, the head lines are the programs'
// interface, matched byte for byte by scripts and the tests.
void PrintUsage(const char* prog, const char* shortOptions, bool fd,
                const VariantTexts& texts) {
  printf("Usage: %s <device> [filter] [loopBack] [rcvOwn]%s\n", prog,
         texts.positionalBrs);
  printf("OR Usage: %s [-%s]\n", prog, shortOptions);
  for (const OptionRow& row : kOptionRows) {
    if (!HasOption(row, fd)) continue;
    switch (row.slot) {
      case UsageSlot::kNone: fputs(row.usage, stdout); break;
      case UsageSlot::kLengths: printf(row.usage, texts.lengths); break;
      case UsageSlot::kCountName: printf(row.usage, texts.countName); break;
    }
  }
  putchar('\n');
}
