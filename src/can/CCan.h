// SPDX-License-Identifier: MIT
#pragma once

#include "can/ClassicFormat.h"

// The classic CAN channel.
using CCan = CanChannel<ClassicFormat>;
