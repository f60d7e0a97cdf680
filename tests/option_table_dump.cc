// SPDX-License-Identifier: MIT
// Prints the options that the option table gives the program named by the
// argument, "-X --name" a line ("--name" alone for an option without a
// letter), for tests/option_table_test.sh.
#include <cstdio>
#include <cstring>

#include "test/OptionTable.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const bool fd = std::strcmp(argv[1], "canfd_tester") == 0;
  for (const OptionRow& row : kOptionRows) {
    if (!HasOption(row, fd)) continue;
    if (HasLetter(row.code)) printf("-%c ", row.code);
    printf("--%s\n", row.name);
  }
  return 0;
}
