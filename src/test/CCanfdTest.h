// SPDX-License-Identifier: MIT
#pragma once

#include "test/FdVariant.h"

// The CAN FD tester.
using CCanTest = CanTester<FdVariant>;
