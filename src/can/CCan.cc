// SPDX-License-Identifier: MIT
#include "can/CCan.h"

template class CanChannel<ClassicFormat>;
