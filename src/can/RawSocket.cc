// SPDX-License-Identifier: MIT
#include "can/RawSocket.h"

#include <linux/can/raw.h>
#include <linux/sock_diag.h>
#include <sys/ioctl.h>

#include <cstring>

#include "can/SetUpFailure.h"
#include "can/SystemCalls.h"
#include "time/Clock.h"

// The set-up messages here and in the frame formats are the programs'
// interface: scripts and the tests match them byte for byte, their
// spellings included ("tmeout"), so they are not corrected here.

namespace {

constexpr canid_t kFilterId = 0x5A;
constexpr canid_t kFilterMask = 0xFF;

bool SetOption(int socket, int level, int name, const void* value,
               socklen_t length, const char* failure) {
  if (sys::SetSockOpt(socket, level, name, value, length) != 0) {
    SetUpFailed(failure);
    return false;
  }
  return true;
}

}  // namespace

bool CreateRawSocket(int* socket) {
  *socket = sys::Socket(PF_CAN, SOCK_RAW, CAN_RAW);
  if (*socket < 0) {
    SetUpFailed("socket PF_CAN failed");
    return false;
  }
  return true;
}

bool ResolveInterface(int socket, const char* device, const char* failure,
                      ifreq* ifr, sockaddr_can* address) {
  std::memset(ifr, 0, sizeof *ifr);
  const size_t length = std::strlen(device);
  if (length >= sizeof ifr->ifr_name) {
    SetUpFailed(failure);
    return false;
  }
  std::memcpy(ifr->ifr_name, device, length + 1);
  if (sys::Ioctl(socket, SIOCGIFINDEX, ifr) < 0) {
    SetUpFailed(failure);
    return false;
  }
  std::memset(address, 0, sizeof *address);
  address->can_family = AF_CAN;
  address->can_ifindex = ifr->ifr_ifindex;
  return true;
}

bool BindInterface(int socket, const sockaddr_can& address) {
  if (sys::Bind(socket, reinterpret_cast<const sockaddr*>(&address),
                sizeof address) < 0) {
    SetUpFailed("bind failed");
    return false;
  }
  return true;
}

bool ApplySocketOptions(int socket, int filter, int loopback, int rcvOwn) {
  const timeval timeout{kSocketTimeoutSeconds, 0};
  can_filter rule{};
  if (filter != 0) {
    rule.can_id = kFilterId;
    rule.can_mask = kFilterMask;
  }
  return SetOption(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout,
                   "Can't Set send tmeout") &&
         SetOption(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout,
                   "Can't Set receive tmeout") &&
         SetOption(socket, SOL_CAN_RAW, CAN_RAW_FILTER, &rule, sizeof rule,
                   "Can't Set device filter") &&
         SetOption(socket, SOL_CAN_RAW, CAN_RAW_LOOPBACK, &loopback,
                   sizeof loopback, "Failed to set loopback mode") &&
         SetOption(socket, SOL_CAN_RAW, CAN_RAW_RECV_OWN_MSGS, &rcvOwn,
                   sizeof rcvOwn, "Failed to set receive own message mode");
}

int WriteUntilAccepted(int socket, const void* image, size_t size,
                       int required, WriteRefusals* refusals) {
  constexpr int64_t kGiveUpMicros = int64_t{kSocketTimeoutSeconds} * 1000000;
  int accepted = 0;
  int64_t lastProgress = ClockMicros();
  while (accepted < required) {
    if (WriteWhole(socket, image, size, refusals)) {
      ++accepted;
      lastProgress = ClockMicros();
    } else if (ClockMicros() - lastProgress >= kGiveUpMicros) {
      break;
    }
  }
  return accepted;
}

bool ReadWhole(int socket, void* image, size_t size) {
  return sys::Read(socket, image, size) == static_cast<ssize_t>(size);
}

bool ReadQueuedWhole(int socket, void* image, size_t size) {
  return sys::ReadNow(socket, image, size) == static_cast<ssize_t>(size);
}

bool EnableStamps(int socket) {
  const int on = 1;
  return sys::SetSockOpt(socket, SOL_SOCKET, SO_TIMESTAMP, &on, sizeof on) ==
         0;
}

int64_t DiscardQueued(int socket, void* image, size_t size) {
  constexpr int64_t kMostMicros = 100000;
  const int64_t start = ClockMicros();
  int64_t discarded = 0;
  while (ClockMicros() - start < kMostMicros &&
         sys::ReadNow(socket, image, size) > 0) {
    ++discarded;
  }
  return discarded;
}

bool ReceiveDrops(int socket, uint32_t* drops) {
  uint32_t meminfo[SK_MEMINFO_VARS] = {};
  socklen_t length = sizeof meminfo;
  if (sys::GetSockOpt(socket, SOL_SOCKET, SO_MEMINFO, meminfo, &length) != 0 ||
      length <= SK_MEMINFO_DROPS * sizeof meminfo[0]) {
    return false;
  }
  *drops = meminfo[SK_MEMINFO_DROPS];
  return true;
}
