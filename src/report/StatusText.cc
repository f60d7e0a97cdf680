// SPDX-License-Identifier: MIT
#include "report/StatusText.h"

#include <linux/can/netlink.h>

#include "can/LinkFacts.h"
#include "report/Formatted.h"

std::string StatusText(const StatusFigures& figures) {
  std::string text =
      Formatted("%s:%lld %lld f/s", figures.send ? "sent" : "received",
                static_cast<long long>(figures.frames),
                static_cast<long long>(figures.rate));
  if (figures.share && figures.lowShare == figures.highShare) {
    text += Formatted(" bus:%lld%%", static_cast<long long>(figures.lowShare));
  } else if (figures.share) {
    text +=
        Formatted(" bus:%lld-%lld%%", static_cast<long long>(figures.lowShare),
                  static_cast<long long>(figures.highShare));
  }
  if (figures.send) {
    text += Formatted(" refused:%lld", static_cast<long long>(figures.refused));
  }
  if (figures.dropsKnown) text += Formatted(" dropped:%u", figures.drops);
  if (figures.can) {
    text +=
        Formatted(" lost:%llu", static_cast<unsigned long long>(figures.lost));
    if (figures.state != CAN_STATE_ERROR_ACTIVE) {
      text += Formatted(" %s", StateName(figures.state));
    }
  }
  if (text.size() > kStatusWidth) text.resize(kStatusWidth);
  return text;
}
