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

inline FakeSystem::Bytes U32Attribute(unsigned short type, uint32_t value) {
  return AttributeOf(type, BytesOf(value));
}

// Appends `attribute` to `bytes` when `when`.
inline void AddIf(bool when, FakeSystem::Bytes* bytes,
                  const FakeSystem::Bytes& attribute) {
  if (when) *bytes = Joined({*bytes, attribute});
}

// The message of `facts` as a kernel lays it out; the nests of the TDC (its
// limits whenever the controller has it, the values while it is on) and of
// the supported modes only where they are set, as before Linux 5.16 never.
inline FakeSystem::Bytes LinkReplyOf(const LinkFacts& facts,
                                     const std::string& kind = "can",
                                     int ifindex = 4) {
  const LinkTiming& timing = facts.timing;
  const TdcFacts& tdc = timing.tdc;
  FakeSystem::Bytes tdcNest = U32Attribute(IFLA_CAN_TDC_TDCO_MAX, 127);
  AddIf(tdc.valueTold, &tdcNest, U32Attribute(IFLA_CAN_TDC_TDCV, tdc.tdcv));
  AddIf(timing.TdcOn(), &tdcNest,
        Joined({U32Attribute(IFLA_CAN_TDC_TDCO, tdc.tdco),
                U32Attribute(IFLA_CAN_TDC_TDCF, tdc.tdcf)}));
  const can_ctrlmode mode{CAN_CTRLMODE_FD, timing.ctrlmode};
  FakeSystem::Bytes canData =
      Joined({AttributeOf(IFLA_CAN_STATE, BytesOf(facts.state)),
              AttributeOf(IFLA_CAN_CTRLMODE, BytesOf(mode)),
              AttributeOf(IFLA_CAN_BERR_COUNTER, BytesOf(facts.errors))});
  AddIf(timing.nominal.bitrate != 0, &canData,
        AttributeOf(IFLA_CAN_BITTIMING, BytesOf(timing.nominal)));
  AddIf(timing.data.bitrate != 0, &canData,
        AttributeOf(IFLA_CAN_DATA_BITTIMING, BytesOf(timing.data)));
  AddIf(timing.clock != 0, &canData,
        U32Attribute(IFLA_CAN_CLOCK, timing.clock));
  AddIf(facts.restartMs >= 0, &canData,
        U32Attribute(IFLA_CAN_RESTART_MS,
                     static_cast<uint32_t>(facts.restartMs)));
  AddIf(tdc.present, &canData,
        AttributeOf(IFLA_CAN_TDC | NLA_F_NESTED, tdcNest));
  AddIf(
      timing.supported != 0, &canData,
      AttributeOf(IFLA_CAN_CTRLMODE_EXT | NLA_F_NESTED,
                  U32Attribute(IFLA_CAN_CTRLMODE_SUPPORTED, timing.supported)));
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
  facts.timing.nominal.bitrate = bitrate;
  facts.timing.data.bitrate = dataBitrate;
  if (dataBitrate != 0) facts.timing.ctrlmode = CAN_CTRLMODE_FD;
  return facts;
}

// A CAN FD controller as a 6.x kernel tells it: an 80 MHz clock, 500
// kbit/s at 87.5%, a data phase of 2 Mbit/s at 75% with TDC on.
inline LinkFacts FdControllerFacts() {
  LinkFacts facts = ControllerFacts(500000, 2000000);
  LinkTiming& timing = facts.timing;
  timing.clock = 80000000;
  timing.nominal = {500000, 875, 25, 69, 70, 20, 10, 2};
  timing.data = {2000000, 750, 25, 14, 15, 10, 5, 2};
  timing.ctrlmode = CAN_CTRLMODE_FD | CAN_CTRLMODE_TDC_AUTO;
  timing.supported = CAN_CTRLMODE_LOOPBACK | CAN_CTRLMODE_LISTENONLY |
                     CAN_CTRLMODE_ONE_SHOT | CAN_CTRLMODE_BERR_REPORTING |
                     CAN_CTRLMODE_FD | CAN_CTRLMODE_PRESUME_ACK |
                     CAN_CTRLMODE_TDC_AUTO | CAN_CTRLMODE_TDC_MANUAL;
  timing.tdc = {true, true, 13, 30, 0};
  facts.restartMs = 100;
  return facts;
}

// Queues the replies to a run's two requests: before and after its frames.
inline void ReplyToRun(const LinkFacts& before, const LinkFacts& after) {
  Fake().netlinkReplies = {{LinkReplyOf(before)}, {LinkReplyOf(after)}};
}
