// SPDX-License-Identifier: MIT
#include "test/CCanTest.h"

#include "test/OptionForm.h"
#include "test/PositionalForm.h"
#include "test/ReceiveRun.h"
#include "test/SendRun.h"
#include "test/UnattendedRun.h"

template class CanTester<ClassicVariant>;
