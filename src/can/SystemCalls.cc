// SPDX-License-Identifier: MIT
#include "can/SystemCalls.h"

#include <sched.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

namespace sys {

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

int64_t MonotonicMicros() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

int BatchScheduling() {
  const sched_param param{};
  return ::sched_setscheduler(0, SCHED_BATCH, &param);
}

}  // namespace sys
