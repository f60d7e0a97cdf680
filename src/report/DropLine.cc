// SPDX-License-Identifier: MIT
#include "report/DropLine.h"

#include "report/Formatted.h"

std::string DropLine(const char* device, uint32_t drops) {
  if (drops == 0) return "";
  return Formatted(
      "dropped frames:%u, which reached %s while the receive buffer was full "
      "(read faster, with display none or file, or raise "
      "net.core.rmem_default)\n",
      drops, device);
}
