// SPDX-License-Identifier: MIT
#pragma once

#include "can/LinkFacts.h"

// Asks the kernel for the facts of interface `ifindex` over rtnetlink
// (RTM_GETLINK) and waits at most kLinkWaitMillis for the answer. Facts of
// `can` false when there are none.
constexpr int kLinkWaitMillis = 100;
LinkFacts ReadLinkFacts(int ifindex);
