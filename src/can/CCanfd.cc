#include "can/CCanfd.h"

template class CanChannel<FdFormat>;
