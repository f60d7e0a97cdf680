// SPDX-License-Identifier: MIT
#include "can/CCanfd.h"

template class CanChannel<FdFormat>;
