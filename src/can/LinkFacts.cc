// SPDX-License-Identifier: MIT
#include "can/LinkFacts.h"

const char* StateName(uint32_t state) {
  static const char* const kNames[] = {"ERROR-ACTIVE",  "ERROR-WARNING",
                                       "ERROR-PASSIVE", "BUS-OFF",
                                       "STOPPED",       "SLEEPING"};
  return state < sizeof kNames / sizeof kNames[0] ? kNames[state] : "UNKNOWN";
}
