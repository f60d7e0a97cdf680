// SPDX-License-Identifier: MIT
#include "test/CCanfdTest.h"

#include "test/OptionForm.h"
#include "test/PositionalForm.h"
#include "test/ReceiveRun.h"
#include "test/SendRun.h"
#include "test/UnattendedRun.h"

template class CanTester<FdVariant>;
