// SPDX-License-Identifier: MIT
#include "can/SetUpFailure.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
std::string& Message() {
  static std::string message;
  return message;
}
}  // namespace

void SetUpFailed(const char* message) {
  puts(message);
  Message() = message;
}

void SetUpFailedWithError(const char* what) {
  const int error = errno;
  perror(what);
  Message() = std::string(what) + ": " + strerror(error);
}

const std::string& SetUpFailure() { return Message(); }
