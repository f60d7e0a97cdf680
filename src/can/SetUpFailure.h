// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// The message of a failed set-up step: printed as the programs always have,
// and kept for the run's summary, which scripts read when a set-up failed.

// puts(message) on standard output.
void SetUpFailed(const char* message);
// perror(what) on standard error: "what: the system's error text".
void SetUpFailedWithError(const char* what);
// The latest message, without its newline; empty when no step failed.
const std::string& SetUpFailure();
