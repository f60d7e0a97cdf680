// SPDX-License-Identifier: MIT
#include "can/LinkReply.h"

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <cstring>

namespace {

struct Span {
  const unsigned char* data;
  size_t size;
};

// Calls visit(type, payload) for each attribute of `area`; false when an
// attribute's length overruns the area or the visitor refuses it.
template <class Visit>
bool EachAttribute(Span area, Visit visit) {
  while (area.size >= sizeof(rtattr)) {
    rtattr header;
    std::memcpy(&header, area.data, sizeof header);
    if (header.rta_len < sizeof header || header.rta_len > area.size) {
      return false;
    }
    const Span payload{area.data + sizeof header,
                       header.rta_len - sizeof header};
    if (!visit(header.rta_type & NLA_TYPE_MASK, payload)) return false;
    const size_t step = std::min<size_t>(RTA_ALIGN(header.rta_len), area.size);
    area = {area.data + step, area.size - step};
  }
  return true;
}

// A fixed-size payload; a shorter one refuses the reply.
template <class T>
bool Take(Span payload, T* value) {
  if (payload.size < sizeof *value) return false;
  std::memcpy(value, payload.data, sizeof *value);
  return true;
}

// The nest of IFLA_CAN_TDC: its limits come whenever the controller has
// TDC, its values only while it is on.
bool TdcData(Span nest, TdcFacts* tdc) {
  tdc->present = true;
  return EachAttribute(nest, [tdc](unsigned type, Span payload) {
    switch (type) {
      case IFLA_CAN_TDC_TDCV:
        tdc->valueTold = true;
        return Take(payload, &tdc->tdcv);
      case IFLA_CAN_TDC_TDCO: return Take(payload, &tdc->tdco);
      case IFLA_CAN_TDC_TDCF: return Take(payload, &tdc->tdcf);
      default: return true;
    }
  });
}

bool CtrlmodeExt(Span nest, LinkTiming* timing) {
  return EachAttribute(nest, [timing](unsigned type, Span payload) {
    return type != IFLA_CAN_CTRLMODE_SUPPORTED ||
           Take(payload, &timing->supported);
  });
}

bool CanData(Span data, LinkFacts* facts) {
  LinkTiming& timing = facts->timing;
  return EachAttribute(data, [facts, &timing](unsigned type, Span payload) {
    can_ctrlmode mode{};
    can_clock clock{};
    uint32_t restartMs = 0;
    switch (type) {
      case IFLA_CAN_BITTIMING: return Take(payload, &timing.nominal);
      case IFLA_CAN_DATA_BITTIMING: return Take(payload, &timing.data);
      case IFLA_CAN_CLOCK:
        if (!Take(payload, &clock)) return false;
        timing.clock = clock.freq;
        return true;
      case IFLA_CAN_CTRLMODE:
        if (!Take(payload, &mode)) return false;
        timing.ctrlmode = mode.flags;
        return true;
      case IFLA_CAN_TDC: return TdcData(payload, &timing.tdc);
      case IFLA_CAN_CTRLMODE_EXT: return CtrlmodeExt(payload, &timing);
      case IFLA_CAN_RESTART_MS:
        if (!Take(payload, &restartMs)) return false;
        facts->restartMs = restartMs;
        return true;
      case IFLA_CAN_STATE: return Take(payload, &facts->state);
      case IFLA_CAN_BERR_COUNTER: return Take(payload, &facts->errors);
      default: return true;
    }
  });
}

bool LinkInfo(Span info, LinkFacts* facts) {
  Span data{nullptr, 0};
  const bool whole = EachAttribute(info, [&](unsigned type, Span payload) {
    if (type == IFLA_INFO_KIND) {
      const size_t name = strnlen(reinterpret_cast<const char*>(payload.data),
                                  std::min(payload.size, sizeof facts->kind - 1));
      std::memcpy(facts->kind, payload.data, name);
      facts->kind[name] = '\0';
      facts->can = (payload.size == 3 || payload.size == 4) &&
                   std::memcmp(payload.data, "can", 3) == 0 &&
                   (payload.size == 3 || payload.data[3] == '\0');
    }
    if (type == IFLA_INFO_DATA) data = payload;
    if (type == IFLA_INFO_XSTATS) return Take(payload, &facts->device);
    return true;
  });
  return whole && (!facts->can || CanData(data, facts));
}

void Statistics(Span payload, LinkFacts* facts) {
  // Older kernels send fewer counters: the missing ones stay 0.
  rtnl_link_stats64 stats{};
  std::memcpy(&stats, payload.data, std::min(payload.size, sizeof stats));
  facts->rxOver = stats.rx_over_errors;
  facts->rxFifo = stats.rx_fifo_errors;
  facts->rxMissed = stats.rx_missed_errors;
  facts->txPackets = stats.tx_packets;
}

LinkReply LinkMessage(Span body, int ifindex, LinkFacts* facts) {
  ifinfomsg link;
  if (!Take(body, &link) || link.ifi_index != ifindex) {
    return LinkReply::kRefused;
  }
  const size_t skip = std::min<size_t>(NLMSG_ALIGN(sizeof link), body.size);
  LinkFacts read;
  const bool whole = EachAttribute({body.data + skip, body.size - skip},
                                   [&read](unsigned type, Span payload) {
                                     if (type == IFLA_STATS64)
                                       Statistics(payload, &read);
                                     if (type == IFLA_LINKINFO)
                                       return LinkInfo(payload, &read);
                                     return true;
                                   });
  if (!whole) return LinkReply::kRefused;
  *facts = read.can ? read : LinkFacts();
  std::memcpy(facts->kind, read.kind, sizeof facts->kind);
  return LinkReply::kFacts;
}

}  // namespace

LinkReply ParseLinkReply(const unsigned char* message, size_t size,
                         uint32_t sequence, int ifindex, LinkFacts* facts) {
  while (size > 0) {
    nlmsghdr header;
    if (size < sizeof header) return LinkReply::kRefused;
    std::memcpy(&header, message, sizeof header);
    if (header.nlmsg_len < sizeof header || header.nlmsg_len > size) {
      return LinkReply::kRefused;
    }
    if (header.nlmsg_seq == sequence) {
      if (header.nlmsg_type != RTM_NEWLINK) return LinkReply::kRefused;
      return LinkMessage(
          {message + sizeof header, header.nlmsg_len - sizeof header}, ifindex,
          facts);
    }
    const size_t step = std::min<size_t>(NLMSG_ALIGN(header.nlmsg_len), size);
    message += step;
    size -= step;
  }
  return LinkReply::kOther;
}
