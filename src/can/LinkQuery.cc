// SPDX-License-Identifier: MIT
#include "can/LinkQuery.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include "can/LinkReply.h"
#include "can/SystemCalls.h"
#include "time/Clock.h"

namespace {

// Datagrams read for one request at most: other messages may come first.
constexpr int kMaxDatagrams = 16;

struct Request {
  nlmsghdr header;
  ifinfomsg link;
};

// The answer to request `sequence` about `ifindex` among the datagrams that
// come within `waitMicros` (0: those already queued).
bool Await(int socket, uint32_t sequence, int ifindex, int64_t waitMicros,
           LinkFacts* facts) {
  // Big enough for a CAN link's message (about 1.5 KiB); a longer one comes
  // cut short and is refused.
  unsigned char reply[16384];
  const int64_t deadline = ClockMicros() + waitMicros;
  for (int datagram = 0; datagram < kMaxDatagrams; ++datagram) {
    int millis = 0;
    if (waitMicros > 0) {
      const int64_t left = deadline - ClockMicros();
      if (left <= 0) break;
      millis = static_cast<int>((left + 999) / 1000);
    }
    sockaddr_nl sender{};
    const ssize_t size =
        sys::ReceiveWithin(socket, reply, sizeof reply, millis, &sender);
    if (size < 0) break;
    if (sender.nl_family != AF_NETLINK || sender.nl_pid != 0) continue;
    LinkFacts told;
    switch (ParseLinkReply(reply, static_cast<size_t>(size), sequence, ifindex,
                           &told)) {
      case LinkReply::kOther: continue;
      case LinkReply::kFacts: *facts = told; return true;
      case LinkReply::kRefused: *facts = LinkFacts(); return true;
    }
  }
  return false;
}

}  // namespace

LinkFacts ReadLinkFacts(int ifindex) {
  LinkQuery query(ifindex);
  LinkFacts facts;
  if (query.Ask()) query.Take(kLinkWaitMillis, &facts);
  return facts;
}

LinkQuery::~LinkQuery() {
  if (m_socket >= 0) sys::Close(m_socket);
}

bool LinkQuery::Ask() {
  static uint32_t sequence = 0;
  m_asked = false;
  if (m_socket < 0) {
    m_socket = sys::Socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (m_socket < 0) return false;
  }
  Request request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = RTM_GETLINK;
  request.header.nlmsg_flags = NLM_F_REQUEST;
  request.header.nlmsg_seq = m_sequence = ++sequence;
  request.link.ifi_family = AF_UNSPEC;
  request.link.ifi_index = m_ifindex;
  m_asked = sys::SendToKernel(m_socket, &request, sizeof request) ==
            static_cast<ssize_t>(sizeof request);
  return m_asked;
}

bool LinkQuery::Take(int millis, LinkFacts* facts) {
  if (!m_asked ||
      !Await(m_socket, m_sequence, m_ifindex, int64_t{millis} * 1000, facts)) {
    return false;
  }
  m_asked = false;
  return true;
}
