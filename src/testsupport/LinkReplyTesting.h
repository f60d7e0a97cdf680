// SPDX-License-Identifier: MIT
#pragma once

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "can/LinkFacts.h"
#include "testsupport/FakeSystemCalls.h"

// Test support: the kernel's RTM_NEWLINK message for interface `ifindex` of
// `kind` that carries `facts`, laid out as rtnetlink lays it out.

inline FakeSystem::Bytes AttributeOf(unsigned short type,
                                     const FakeSystem::Bytes& payload) {
  rtattr header{static_cast<unsigned short>(RTA_LENGTH(payload.size())), type};
  FakeSystem::Bytes bytes(RTA_ALIGN(header.rta_len));
  std::memcpy(bytes.data(), &header, sizeof header);
  std::copy(payload.begin(), payload.end(), bytes.begin() + sizeof header);
  return bytes;
}

inline FakeSystem::Bytes Joined(
    std::initializer_list<FakeSystem::Bytes> parts) {
  size_t size = 0;
  for (const FakeSystem::Bytes& part : parts) size += part.size();
  FakeSystem::Bytes bytes(size);
  auto next = bytes.begin();
  for (const FakeSystem::Bytes& part : parts) {
    next = std::copy(part.begin(), part.end(), next);
  }
  return bytes;
}

inline FakeSystem::Bytes LinkReplyOf(const LinkFacts& facts,
                                     const std::string& kind = "can",
                                     int ifindex = 4) {
  can_bittiming nominal{};
  nominal.bitrate = facts.bitrate;
  can_bittiming data{};
  data.bitrate = facts.dataBitrate;
  const can_ctrlmode mode{CAN_CTRLMODE_FD, facts.ctrlmode};
  FakeSystem::Bytes canData =
      Joined({AttributeOf(IFLA_CAN_STATE, BytesOf(facts.state)),
              AttributeOf(IFLA_CAN_CTRLMODE, BytesOf(mode)),
              AttributeOf(IFLA_CAN_BERR_COUNTER, BytesOf(facts.errors))});
  if (facts.bitrate != 0) {
    canData =
        Joined({AttributeOf(IFLA_CAN_BITTIMING, BytesOf(nominal)), canData});
  }
  if (facts.dataBitrate != 0) {
    canData =
        Joined({canData, AttributeOf(IFLA_CAN_DATA_BITTIMING, BytesOf(data))});
  }
  const auto* name = reinterpret_cast<const unsigned char*>(kind.c_str());
  const FakeSystem::Bytes kindName(name, name + kind.size() + 1);
  const FakeSystem::Bytes linkInfo =
      Joined({AttributeOf(IFLA_INFO_KIND, kindName),
              AttributeOf(IFLA_INFO_DATA | NLA_F_NESTED, canData),
              AttributeOf(IFLA_INFO_XSTATS, BytesOf(facts.device))});
  rtnl_link_stats64 stats{};
  stats.rx_over_errors = facts.rxOver;
  stats.rx_fifo_errors = facts.rxFifo;
  stats.rx_missed_errors = facts.rxMissed;
  stats.tx_packets = facts.txPackets;
  ifinfomsg link{};
  link.ifi_index = ifindex;
  const FakeSystem::Bytes body =
      Joined({BytesOf(link), AttributeOf(IFLA_STATS64, BytesOf(stats)),
              AttributeOf(IFLA_LINKINFO | NLA_F_NESTED, linkInfo)});
  nlmsghdr header{};
  header.nlmsg_len = static_cast<__u32>(NLMSG_LENGTH(body.size()));
  header.nlmsg_type = RTM_NEWLINK;
  return Joined({BytesOf(header), body});
}

// The facts of a controller at 500 kbit/s, error active, nothing counted.
inline LinkFacts ControllerFacts(uint32_t bitrate = 500000,
                                 uint32_t dataBitrate = 0) {
  LinkFacts facts;
  facts.can = true;
  facts.bitrate = bitrate;
  facts.dataBitrate = dataBitrate;
  if (dataBitrate != 0) facts.ctrlmode = CAN_CTRLMODE_FD;
  return facts;
}

// Queues the replies to a run's two requests: before and after its frames.
inline void ReplyToRun(const LinkFacts& before, const LinkFacts& after) {
  Fake().netlinkReplies = {{LinkReplyOf(before)}, {LinkReplyOf(after)}};
}
