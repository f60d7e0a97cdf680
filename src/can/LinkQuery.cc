// SPDX-License-Identifier: MIT
#include "can/LinkQuery.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include "can/LinkReply.h"
#include "can/SystemCalls.h"

namespace {

// Datagrams read for one request at most: other messages may come first.
constexpr int kMaxDatagrams = 16;

struct Request {
  nlmsghdr header;
  ifinfomsg link;
};

LinkFacts Await(int socket, uint32_t sequence, int ifindex) {
  // Big enough for a CAN link's message (about 1.5 KiB); a longer one comes
  // cut short and is refused.
  unsigned char reply[16384];
  const int64_t deadline = sys::MonotonicMicros() + kLinkWaitMillis * 1000;
  for (int datagram = 0; datagram < kMaxDatagrams; ++datagram) {
    const int64_t left = deadline - sys::MonotonicMicros();
    if (left <= 0) break;
    sockaddr_nl sender{};
    const ssize_t size =
        sys::ReceiveWithin(socket, reply, sizeof reply,
                           static_cast<int>((left + 999) / 1000), &sender);
    if (size < 0) break;
    if (sender.nl_family != AF_NETLINK || sender.nl_pid != 0) continue;
    LinkFacts facts;
    switch (ParseLinkReply(reply, static_cast<size_t>(size), sequence, ifindex,
                           &facts)) {
      case LinkReply::kOther: continue;
      case LinkReply::kFacts: return facts;
      case LinkReply::kRefused: return LinkFacts();
    }
  }
  return LinkFacts();
}

}  // namespace

LinkFacts ReadLinkFacts(int ifindex) {
  static uint32_t sequence = 0;
  const int socket =
      sys::Socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (socket < 0) return LinkFacts();
  Request request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = RTM_GETLINK;
  request.header.nlmsg_flags = NLM_F_REQUEST;
  request.header.nlmsg_seq = ++sequence;
  request.link.ifi_family = AF_UNSPEC;
  request.link.ifi_index = ifindex;
  LinkFacts facts;
  if (sys::SendToKernel(socket, &request, sizeof request) ==
      static_cast<ssize_t>(sizeof request)) {
    facts = Await(socket, sequence, ifindex);
  }
  sys::Close(socket);
  return facts;
}
