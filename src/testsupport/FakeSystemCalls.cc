// SPDX-License-Identifier: MIT
#include "testsupport/FakeSystemCalls.h"

#include <linux/can.h>
#include <linux/can/raw.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <csignal>
#include <cstring>

#include "can/SystemCalls.h"
#include "testsupport/FakeClock.h"

FakeSystem& Fake() {
  static FakeSystem fake;
  return fake;
}

const FakeSystem::Bytes* FakeSystem::Option(const std::string& tag) const {
  for (const auto& option : options) {
    if (option.first == tag) return &option.second;
  }
  return nullptr;
}

namespace {

bool Log(const std::string& tag) {
  Fake().calls.push_back(tag);
  if (Fake().failing != tag) return true;
  errno = ENODEV;
  return false;
}

std::string OptionTag(int level, int name) {
  if (level == SOL_SOCKET && name == SO_SNDTIMEO) return "SO_SNDTIMEO";
  if (level == SOL_SOCKET && name == SO_RCVTIMEO) return "SO_RCVTIMEO";
  if (level == SOL_SOCKET && name == SO_TIMESTAMP) return "SO_TIMESTAMP";
  if (level == SOL_SOCKET && name == SO_RXQ_OVFL) return "SO_RXQ_OVFL";
  if (level == SOL_CAN_RAW) {
    switch (name) {
      case CAN_RAW_FILTER: return "CAN_RAW_FILTER";
      case CAN_RAW_LOOPBACK: return "CAN_RAW_LOOPBACK";
      case CAN_RAW_RECV_OWN_MSGS: return "CAN_RAW_RECV_OWN_MSGS";
      case CAN_RAW_FD_FRAMES: return "CAN_RAW_FD_FRAMES";
      case CAN_RAW_ERR_FILTER: return "CAN_RAW_ERR_FILTER";
      default: break;
    }
  }
  return "option " + std::to_string(level) + "/" + std::to_string(name);
}

// The next arrival into `buffer`, as a read that waits takes it (the clock
// set, Ctrl-C raised) or, without `wait`, as one that does not.
ssize_t Arrive(const char* tag, bool wait, void* buffer, size_t size,
               timeval* stamp = nullptr) {
  FakeSystem& fake = Fake();
  fake.calls.push_back(tag);
  if (fake.reads.empty() && fake.whenIdle) fake.whenIdle();
  if (fake.reads.empty()) {
    errno = EAGAIN;
    return -1;
  }
  FakeSystem::Arrival arrival = fake.reads.front();
  fake.reads.pop_front();
  if (wait && arrival.clock >= 0) SetFakeClock(arrival.clock);
  if (wait && arrival.interrupt) raise(SIGINT);
  if (stamp != nullptr) *stamp = arrival.stamp;
  const size_t length = std::min(size, arrival.image.size());
  std::memcpy(buffer, arrival.image.data(), length);
  return static_cast<ssize_t>(length);
}

}  // namespace

namespace sys {

int Socket(int domain, int type, int protocol) {
  if (domain == AF_NETLINK && protocol == NETLINK_ROUTE) {
    return Log("socket netlink") ? Fake().netlinkSocket : -1;
  }
  const bool raw = domain == PF_CAN && type == SOCK_RAW && protocol == CAN_RAW;
  if (!raw) {
    Log("socket of another kind");
    return -1;
  }
  return Log("socket") ? Fake().socketResult : -1;
}

int Ioctl(int, unsigned long request, ifreq* ifr) {
  if (request == SIOCGIFINDEX) {
    Fake().interfaceName = ifr->ifr_name;
    if (!Log("SIOCGIFINDEX")) return -1;
    ifr->ifr_ifindex = Fake().ifindex;
    return 0;
  }
  if (request == SIOCGIFMTU) {
    if (!Log("SIOCGIFMTU")) return -1;
    ifr->ifr_mtu = Fake().mtu;
    return 0;
  }
  if (request == SIOCGIFHWADDR) {
    if (!Log("SIOCGIFHWADDR")) return -1;
    ifr->ifr_hwaddr.sa_family = Fake().hardwareType;
    return 0;
  }
  Log("ioctl " + std::to_string(request));
  return -1;
}

int Bind(int, const sockaddr* address, socklen_t length) {
  const auto* first = reinterpret_cast<const unsigned char*>(address);
  Fake().boundAddress.assign(first, first + length);
  return Log("bind") ? 0 : -1;
}

int SetSockOpt(int, int level, int name, const void* value, socklen_t length) {
  const std::string tag = OptionTag(level, name);
  const auto* first = static_cast<const unsigned char*>(value);
  Fake().options.emplace_back(tag, FakeSystem::Bytes(first, first + length));
  return Log(tag) ? 0 : -1;
}

int GetSockOpt(int, int level, int name, void* value, socklen_t* length) {
  if (level != SOL_SOCKET || name != SO_MEMINFO) {
    Log(OptionTag(level, name));
    return -1;
  }
  if (!Log("SO_MEMINFO")) return -1;
  uint32_t meminfo[SK_MEMINFO_VARS] = {};
  meminfo[SK_MEMINFO_DROPS] = Fake().drops;
  *length = std::min(*length, static_cast<socklen_t>(sizeof meminfo));
  std::memcpy(value, meminfo, *length);
  return 0;
}

ssize_t Read(int, void* buffer, size_t size) {
  return Arrive("read", true, buffer, size);
}

ssize_t Write(int, const void* buffer, size_t size) {
  FakeSystem& fake = Fake();
  fake.calls.push_back("write");
  const auto* first = static_cast<const unsigned char*>(buffer);
  fake.written.emplace_back(first, first + size);
  ssize_t result = static_cast<ssize_t>(size);
  if (!fake.writeResults.empty()) {
    result = fake.writeResults.front();
    fake.writeResults.pop_front();
  }
  if (fake.afterWrite) fake.afterWrite();
  if (result >= 0) return result;
  errno = static_cast<int>(-result);
  return -1;
}

ssize_t ReadNow(int, void* buffer, size_t size) {
  return Arrive("read now", false, buffer, size);
}

ssize_t ReadStamped(int, void* buffer, size_t size, int flags,
                    timeval* stamp) {
  const bool wait = (flags & MSG_DONTWAIT) == 0;
  return Arrive(wait ? "recvmsg" : "recvmsg now", wait, buffer, size, stamp);
}

ssize_t ReadNowCountingDrops(int, void* buffer, size_t size, uint32_t* drops) {
  FakeSystem& fake = Fake();
  fake.calls.push_back("read errors");
  if (fake.errorFrames.empty()) {
    errno = EAGAIN;
    return -1;
  }
  const FakeSystem::ErrorArrival arrival = fake.errorFrames.front();
  fake.errorFrames.pop_front();
  *drops = arrival.drops;
  const size_t length = std::min(size, arrival.image.size());
  std::memcpy(buffer, arrival.image.data(), length);
  return static_cast<ssize_t>(length);
}

ssize_t SendToKernel(int, const void* buffer, size_t size) {
  const auto* first = static_cast<const unsigned char*>(buffer);
  Fake().netlinkRequests.emplace_back(first, first + size);
  return Log("send netlink") ? static_cast<ssize_t>(size) : -1;
}

ssize_t ReceiveWithin(int, void* buffer, size_t size, int millis,
                      sockaddr_nl* sender) {
  FakeSystem& fake = Fake();
  fake.waits.push_back(millis);
  if (!Log("receive netlink")) return -1;
  if (fake.netlinkReplies.empty()) {
    errno = EAGAIN;
    return -1;
  }
  FakeSystem::NetlinkReply reply = fake.netlinkReplies.front();
  fake.netlinkReplies.pop_front();
  const size_t sequenceAt = offsetof(nlmsghdr, nlmsg_seq);
  if (reply.answers && !fake.netlinkRequests.empty() &&
      reply.datagram.size() >= sizeof(nlmsghdr)) {
    std::copy_n(fake.netlinkRequests.back().begin() + sequenceAt,
                sizeof(uint32_t), reply.datagram.begin() + sequenceAt);
  }
  *sender = sockaddr_nl{};
  sender->nl_family = AF_NETLINK;
  sender->nl_pid = reply.sender;
  const size_t length = std::min(size, reply.datagram.size());
  std::memcpy(buffer, reply.datagram.data(), length);
  return static_cast<ssize_t>(length);
}

int Close(int) { return Log("close") ? 0 : -1; }

int IsTerminal(int) {
  errno = ENOTTY;
  return 0;
}

int Alarm(int64_t micros) {
  Fake().alarms.push_back(micros);
  return Log("setitimer") ? 0 : -1;
}

ssize_t GetRandom(void* buffer, size_t size) {
  if (!Log("getrandom")) return -1;
  const size_t filled = std::min(size, sizeof Fake().random);
  std::memcpy(buffer, &Fake().random, filled);
  return static_cast<ssize_t>(filled);
}

int BatchScheduling() { return Log("sched_setscheduler") ? 0 : -1; }

}  // namespace sys
