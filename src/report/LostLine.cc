// SPDX-License-Identifier: MIT
#include "report/LostLine.h"

#include <cstdint>

std::string LostLine(const char* device, const LinkFacts& before,
                     const LinkFacts& after) {
  if (!before.can || !after.can) return "";
  const uint64_t lost = Growth(before.Lost(), after.Lost());
  if (lost == 0) return "";
  return "lost frames:" + std::to_string(lost) + ", which the controller of " +
         device +
         " lost: the driver did not empty it in time (interrupt load, CPU "
         "frequency, a slow bus driver such as SPI)\n";
}
