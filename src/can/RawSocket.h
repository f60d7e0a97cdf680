// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>
#include <net/if.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "can/SystemCalls.h"
#include "can/WriteRefusals.h"

// The steps of opening a raw CAN socket that both frame formats share, and
// the whole-image transfers. Each set-up step prints its own failure message.

// The socket's send and receive time-out.
constexpr int kSocketTimeoutSeconds = 5;

// Creates the socket; *socket receives the result even when it failed.
bool CreateRawSocket(int* socket);

// Looks up the interface index of `device` and fills `address` with it.
// A name that cannot fit an interface name fails like an unknown interface.
bool ResolveInterface(int socket, const char* device, const char* failure,
                      ifreq* ifr, sockaddr_can* address);

bool BindInterface(int socket, const sockaddr_can& address);

// Applies time-outs, receive filter, loopback and receive-own, in that order.
bool ApplySocketOptions(int socket, int filter, int loopback, int rcvOwn);

// Writes the image once; true when it went out whole, else counted in
// `refusals`. Inline: a send step of many frames makes nothing but these.
inline bool WriteWhole(int socket, const void* image, size_t size,
                       WriteRefusals* refusals) {
  const ssize_t written = sys::Write(socket, image, size);
  if (written == static_cast<ssize_t>(size)) return true;
  refusals->Count(written < 0 ? errno : 0);
  return false;
}

// Writes the image until `required` writes went out whole; gives up early
// when no write has gone through for the socket's send time-out.
int WriteUntilAccepted(int socket, const void* image, size_t size,
                       int required, WriteRefusals* refusals);

// One read of one image; true only when exactly `size` bytes came.
bool ReadWhole(int socket, void* image, size_t size);

// The same without waiting: false also when nothing is queued.
bool ReadQueuedWhole(int socket, void* image, size_t size);

// Has the kernel stamp each frame with the time it received it.
bool EnableStamps(int socket);

// ReadWhole, or without `wait` ReadQueuedWhole, with the kernel's stamp.
inline bool ReadStampedWhole(int socket, void* image, size_t size, bool wait,
                             timeval* stamp) {
  return sys::ReadStamped(socket, image, size, wait ? 0 : MSG_DONTWAIT,
                          stamp) == static_cast<ssize_t>(size);
}

// Reads what is queued in the socket without waiting, into `image`, until
// nothing is left, for at most 100 ms: under a flood that never pauses the
// run must still end soon after Ctrl-C. Returns how many reads brought data.
int64_t DiscardQueued(int socket, void* image, size_t size);

// Frames the kernel dropped for this socket because its receive buffer was
// full; false when the kernel cannot tell.
bool ReceiveDrops(int socket, uint32_t* drops);
