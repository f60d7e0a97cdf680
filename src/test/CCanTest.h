// SPDX-License-Identifier: MIT
#pragma once

#include "test/ClassicVariant.h"

// The classic CAN tester.
using CCanTest = CanTester<ClassicVariant>;
