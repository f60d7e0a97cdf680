// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "can/LinkFacts.h"

// The lines on standard error, after a run's totals, on two settings of the
// controller of `device` that are the kernel's defaults and matter only
// when something went wrong: restart-ms 0 after a bus-off (the controller
// stays off the bus), and bus-error reporting off when the run found
// `trouble` (its bus errors went uncounted), each with the `ip link`
// commands that change it. Empty otherwise, and unless `before` and
// `after` are facts of a CAN controller.
std::string SettingAdvice(const char* device, const LinkFacts& before,
                          const LinkFacts& after, bool trouble);

// A wait before the automatic restart after bus-off that the advice
// proposes: long enough for a node that keeps failing not to flood the bus,
// short next to a test's run.
constexpr int kRestartMsAdvised = 100;
