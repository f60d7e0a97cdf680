// SPDX-License-Identifier: MIT
#pragma once

#include <linux/netlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/types.h>

#include <cstdint>

// The few system calls the channel and the receive run make. Programs link
// the real ones (SystemCalls.cc); unit tests link a fake in their place.
namespace sys {

int Socket(int domain, int type, int protocol);
int Ioctl(int fd, unsigned long request, ifreq* ifr);
int Bind(int fd, const sockaddr* address, socklen_t length);
int SetSockOpt(int fd, int level, int name, const void* value,
               socklen_t length);
int GetSockOpt(int fd, int level, int name, void* value, socklen_t* length);
ssize_t Read(int fd, void* buffer, size_t size);
ssize_t Write(int fd, const void* buffer, size_t size);
// One read that does not wait: -1 with EAGAIN when nothing is queued.
ssize_t ReadNow(int fd, void* buffer, size_t size);
// The same, also taking the socket's count of dropped frames that came with
// the frame (SO_RXQ_OVFL) into *drops; *drops unchanged when none came.
ssize_t ReadNowCountingDrops(int fd, void* buffer, size_t size,
                             uint32_t* drops);
// One datagram to the kernel's netlink port.
ssize_t SendToKernel(int fd, const void* buffer, size_t size);
// One datagram within `millis` milliseconds; -1 with EAGAIN when none came.
// *sender receives where it came from.
ssize_t ReceiveWithin(int fd, void* buffer, size_t size, int millis,
                      sockaddr_nl* sender);
int Close(int fd);
// 1 when `fd` is a terminal, else 0 (errno tells why).
int IsTerminal(int fd);
// SIGALRM once `micros` from now (setitimer, on the monotonic clock); 0
// disarms it. Returns 0, or -1 with errno.
int Alarm(int64_t micros);
// One read of a socket with SO_TIMESTAMP on, `flags` as recv takes them;
// *stamp receives the time the kernel received the datagram.
ssize_t ReadStamped(int fd, void* buffer, size_t size, int flags,
                    timeval* stamp);
// Fills `size` bytes at `buffer` from the kernel's random source without
// waiting; returns the bytes filled, or -1.
ssize_t GetRandom(void* buffer, size_t size);
// SCHED_BATCH for this process: woken, it no longer preempts the running
// task. Returns 0, or -1 when refused.
int BatchScheduling();

}  // namespace sys
