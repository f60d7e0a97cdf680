// SPDX-License-Identifier: MIT
#pragma once

#include "can/FdFormat.h"

// The CAN FD channel.
using CCan = CanChannel<FdFormat>;
