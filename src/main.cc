// SPDX-License-Identifier: MIT
// TESTER_HEADER names the header of the tester this program is built as.
#include TESTER_HEADER

int main(int argc, char** argv) {
  CCanTest test;
  if (!test.Init(argc, argv)) return 1;
  test.Test();
  return test.ExitStatus();
}
