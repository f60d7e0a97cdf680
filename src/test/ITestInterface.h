// SPDX-License-Identifier: MIT
#pragma once

// One test: configured from the command line, then run once.
class ITestInterface {
 public:
  virtual ~ITestInterface() = default;
  // True when the test is ready to run.
  virtual bool Init(int argc, char** argv) = 0;
  // True when the test succeeded.
  virtual bool Test() = 0;
};
