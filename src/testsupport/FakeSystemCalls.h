// SPDX-License-Identifier: MIT
#pragma once

#include <sys/time.h>
#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// A scripted stand-in for the channel's system calls, linked into the unit
// tests in place of the real ones. Every call is logged under a tag: the
// call's name, or for ioctl and setsockopt the request or option name.
struct FakeSystem {
  using Bytes = std::vector<unsigned char>;

  // Configuration.
  std::string failing;  // tag of the call that fails with -1
  int socketResult = 7;
  int ifindex = 4;
  int mtu = 72;
  unsigned short hardwareType = 280;  // ARPHRD_CAN
  // Empty: every write goes out whole. A negative entry -E fails the write
  // with errno E.
  std::deque<ssize_t> writeResults;
  uint32_t drops = 0;  // what SO_MEMINFO tells of the receive buffer
  struct Arrival {
    Bytes image;
    int64_t clock = -1;  // when >= 0, the clock at its arrival
    bool interrupt = false;  // raise SIGINT as it arrives
    timeval stamp{};         // the kernel's receive time, for ReadStamped
  };
  // Once empty, a read calls whenIdle, and fails unless that added more.
  std::deque<Arrival> reads;
  std::function<void()> whenIdle;
  std::function<void()> afterWrite;
  uint64_t random = 0x5A5A3C3C96969696;  // what the kernel's random source gives
  int netlinkSocket = 9;
  struct NetlinkReply {
    Bytes datagram;
    uint32_t sender = 0;  // port id: 0 is the kernel
    // Carries the sequence number of the latest request in place of its
    // first message's own.
    bool answers = true;
  };
  // What the error-frame socket reads, each with the drop count that comes
  // with it (SO_RXQ_OVFL).
  struct ErrorArrival {
    Bytes image;
    uint32_t drops = 0;
  };
  std::deque<ErrorArrival> errorFrames;
  // Once empty, waits for a reply end without one.
  std::deque<NetlinkReply> netlinkReplies;

  // What happened.
  std::vector<std::string> calls;
  std::vector<std::pair<std::string, Bytes>> options;  // tag, value
  std::string interfaceName;
  Bytes boundAddress;
  std::vector<Bytes> written;
  std::vector<Bytes> netlinkRequests;
  std::vector<int> waits;  // milliseconds of each wait for a reply
  std::vector<int64_t> alarms;  // microseconds of each Alarm

  const Bytes* Option(const std::string& tag) const;
};

// The one fake the calls use; tests reset it with Fake() = FakeSystem().
FakeSystem& Fake();

template <class T>
FakeSystem::Bytes BytesOf(const T& value) {
  const auto* first = reinterpret_cast<const unsigned char*>(&value);
  return FakeSystem::Bytes(first, first + sizeof value);
}
