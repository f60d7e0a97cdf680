// SPDX-License-Identifier: MIT
#include "can/SystemCalls.h"

#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sys {

namespace {

// Receives into `buffer` with `flags`, and copies the socket's control
// message of `type` (`valueSize` bytes, a timeval at most) to `value`;
// `*told` says whether the kernel sent one.
ssize_t ReceiveTelling(int fd, void* buffer, size_t size, int flags, int type,
                       void* value, size_t valueSize, bool* told) {
  iovec data{buffer, size};
  alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(timeval))];
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t received = ::recvmsg(fd, &message, flags);
  if (received < 0) return received;
  for (cmsghdr* part = CMSG_FIRSTHDR(&message); part != nullptr;
       part = CMSG_NXTHDR(&message, part)) {
    if (part->cmsg_level == SOL_SOCKET && part->cmsg_type == type &&
        part->cmsg_len >= CMSG_LEN(valueSize)) {
      std::memcpy(value, CMSG_DATA(part), valueSize);
      *told = true;
    }
  }
  return received;
}

}  // namespace

int Socket(int domain, int type, int protocol) {
  return ::socket(domain, type, protocol);
}

int Ioctl(int fd, unsigned long request, ifreq* ifr) {
  return ::ioctl(fd, request, ifr);
}

int Bind(int fd, const sockaddr* address, socklen_t length) {
  return ::bind(fd, address, length);
}

int SetSockOpt(int fd, int level, int name, const void* value,
               socklen_t length) {
  return ::setsockopt(fd, level, name, value, length);
}

int GetSockOpt(int fd, int level, int name, void* value, socklen_t* length) {
  return ::getsockopt(fd, level, name, value, length);
}

ssize_t Read(int fd, void* buffer, size_t size) {
  return ::read(fd, buffer, size);
}

ssize_t Write(int fd, const void* buffer, size_t size) {
  return ::write(fd, buffer, size);
}

ssize_t ReadNow(int fd, void* buffer, size_t size) {
  return ::recv(fd, buffer, size, MSG_DONTWAIT);
}

ssize_t ReadNowCountingDrops(int fd, void* buffer, size_t size,
                             uint32_t* drops) {
  bool told = false;
  return ReceiveTelling(fd, buffer, size, MSG_DONTWAIT, SO_RXQ_OVFL, drops,
                        sizeof *drops, &told);
}

ssize_t SendToKernel(int fd, const void* buffer, size_t size) {
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  return ::sendto(fd, buffer, size, 0, reinterpret_cast<sockaddr*>(&kernel),
                  sizeof kernel);
}

ssize_t ReceiveWithin(int fd, void* buffer, size_t size, int millis,
                      sockaddr_nl* sender) {
  pollfd ready{fd, POLLIN, 0};
  if (::poll(&ready, 1, millis) <= 0) {
    errno = EAGAIN;
    return -1;
  }
  socklen_t length = sizeof *sender;
  return ::recvfrom(fd, buffer, size, MSG_DONTWAIT,
                    reinterpret_cast<sockaddr*>(sender), &length);
}

int Close(int fd) { return ::close(fd); }

int IsTerminal(int fd) { return ::isatty(fd); }

int Alarm(int64_t micros) {
  itimerval alarm{};
  alarm.it_value.tv_sec = static_cast<time_t>(micros / 1000000);
  alarm.it_value.tv_usec = static_cast<suseconds_t>(micros % 1000000);
  return ::setitimer(ITIMER_REAL, &alarm, nullptr);
}

ssize_t ReadStamped(int fd, void* buffer, size_t size, int flags,
                    timeval* stamp) {
  bool told = false;
  const ssize_t received =
      ReceiveTelling(fd, buffer, size, flags, SCM_TIMESTAMP, stamp,
                     sizeof *stamp, &told);
  // Without the kernel's stamp (never while SO_TIMESTAMP is on), the time
  // of reading is the nearest to it.
  if (received >= 0 && !told) ::gettimeofday(stamp, nullptr);
  return received;
}

ssize_t GetRandom(void* buffer, size_t size) {
  return ::getrandom(buffer, size, GRND_NONBLOCK);
}

int BatchScheduling() {
  const sched_param param{};
  return ::sched_setscheduler(0, SCHED_BATCH, &param);
}

}  // namespace sys
