// SPDX-License-Identifier: MIT
#pragma once

#include "test/ClassicTesting.h"

// The classic CAN tester.
using CCanTest = CanTester<ClassicTesting>;
