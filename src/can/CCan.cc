#include "can/CCan.h"

template class CanChannel<ClassicFormat>;
