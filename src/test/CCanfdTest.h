// SPDX-License-Identifier: MIT
#pragma once

#include "test/FdTesting.h"

// The CAN FD tester.
using CCanTest = CanTester<FdTesting>;
