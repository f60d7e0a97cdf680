// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "can/FrameImage.h"
#include "can/FrameType.h"
#include "can/RawSocket.h"
#include "can/WriteRefusals.h"
#include "frame/MarkStamp.h"
#include "time/Clock.h"

// The stop condition of a write that nothing stops.
struct NeverStop {
  bool operator()() const { return false; }
};

// One raw SocketCAN socket bound to one interface. `Format` holds what the
// frame formats do differently: the image type, the interface-index failure
// text, the extra set-up steps and the marks put on sent frames.
template <class Format>
class CanChannel {
 public:
  using FrameFormat = Format;
  using Image = typename Format::Image;
  static constexpr int kPayload = PayloadCapacity<Image>();

  // Keeps at most 19 characters of `device`; Open refuses names that do not
  // fit an interface name anyway.
  CanChannel(char* device, int countOnce, int filter, int loopback, int rcvOwn,
             Format format = Format())
      : m_countOnce(countOnce),
        m_filter(filter),
        m_loopback(loopback),
        m_rcvOwn(rcvOwn),
        m_format(format) {
    const size_t length = std::min(std::strlen(device), sizeof m_device - 1);
    std::memcpy(m_device, device, length);
    m_device[length] = '\0';
  }

  bool Open() { return CreateSocket() && SetSocket(); }

  bool CreateSocket() {
    ifreq ifr;
    sockaddr_can address;
    if (!CreateRawSocket(&m_socket) ||
        !ResolveInterface(m_socket, m_device, Format::kIndexFailure, &ifr,
                          &address)) {
      return false;
    }
    m_ifindex = address.can_ifindex;
    return m_format.PrepareSocket(m_socket, &ifr) &&
           BindInterface(m_socket, address);
  }

  bool SetSocket() {
    return ApplySocketOptions(m_socket, m_filter, m_loopback, m_rcvOwn);
  }

  // Sends the frame m_countOnce times, or until `stop()`, asked before each
  // write, is true; returns the writes that went out and counts the others
  // in m_refusals. `marks` marks each frame (frame/MarkStamp.h); in the
  // `lastStep` of a run the last frame is marked as the run's last and,
  // refused, written again until it goes out, so that a receiving end can
  // tell where the run ended. A length that does not fit the payload area
  // sends nothing.
  template <class Stop = NeverStop, class Marks = NoMarks>
  int Write(FrameType type, int id, int length, unsigned char* data,
            Stop stop = Stop(), Marks&& marks = Marks(),
            bool lastStep = false) {
    Image image;
    if (!Build(&image, type, id, length, data)) return 0;
    // Counted down, and only the refusals counted: this loop is all that a
    // step of many frames does, and the stop costs it a load and a branch.
    // The frame marked last, if any, comes after it.
    const bool markLast =
        std::remove_reference_t<Marks>::kMarksLast && lastStep;
    const int last = markLast ? 1 : 0;
    int left = m_countOnce;
    int refused = 0;
    auto step = marks.Step(image);
    for (; left > last && !stop(); --left) {
      step.Put(&image, false);
      if (WriteWhole(m_socket, &image, sizeof image, &m_refusals)) {
        step.Took();
      } else {
        ++refused;
      }
    }
    if (markLast && left == 1 && !stop()) {
      step.Put(&image, true);
      if (WriteWhole(m_socket, &image, sizeof image, &m_refusals) ||
          WriteAgain(image, stop)) {
        step.Took();
      } else {
        ++refused;
      }
      --left;
    }
    marks.Done(step);
    return m_countOnce - left - refused;
  }

  // Sends the frame until `required` writes went out (see
  // WriteUntilAccepted for when it gives up).
  int Write(int required, FrameType type, int id, int length,
            unsigned char* data) {
    Image image;
    if (!Build(&image, type, id, length, data)) return 0;
    return WriteUntilAccepted(m_socket, &image, sizeof image, required,
                              &m_refusals);
  }

  // `data` must hold kPayload bytes.
  bool Read(FrameType* type, int* id, int* length, unsigned char* data) {
    return Read() && DecodeImage(m_received, type, id, length, data);
  }

  bool Read() { return ReadWhole(m_socket, &m_received, sizeof m_received); }

  // The same as Read, but without waiting: false when no frame is queued.
  bool ReadQueued(FrameType* type, int* id, int* length, unsigned char* data) {
    return ReadQueued() && DecodeImage(m_received, type, id, length, data);
  }

  bool ReadQueued() {
    return ReadQueuedWhole(m_socket, &m_received, sizeof m_received);
  }

  // Read, or without `wait` ReadQueued, with the time the kernel received
  // the frame; the socket must stamp frames (EnableStamps).
  bool ReadStamped(bool wait, timeval* stamp) {
    return ReadStampedWhole(m_socket, &m_received, sizeof m_received, wait,
                            stamp);
  }

  // Reads the frames still queued, counting but not decoding them.
  int64_t Discard() {
    Image image;
    return DiscardQueued(m_socket, &image, sizeof image);
  }

  // Frames the socket dropped because its receive buffer was full; false
  // when the kernel cannot tell.
  bool Drops(uint32_t* drops) const { return ReceiveDrops(m_socket, drops); }

  // The socket stays open until the process ends.
  bool Close() { return true; }

  char m_device[20];
  int m_countOnce;
  int m_filter;
  int m_loopback;
  int m_rcvOwn;
  Format m_format;
  int m_socket = -1;  // no socket yet; 0 would be standard input
  WriteRefusals m_refusals;
  int m_ifindex = 0;      // the interface's, once resolved
  Image m_received = {};  // the frame of the latest read, as it came

 private:
  // Writes `image` again until it goes out, `stop()` is true or no write
  // has gone through for the socket's send time-out.
  template <class Stop>
  bool WriteAgain(const Image& image, Stop stop) {
    constexpr int64_t kGiveUpMicros = int64_t{kSocketTimeoutSeconds} * 1000000;
    const int64_t start = ClockMicros();
    while (!stop() && ClockMicros() - start < kGiveUpMicros) {
      if (WriteWhole(m_socket, &image, sizeof image, &m_refusals)) return true;
    }
    return false;
  }

  bool Build(Image* image, FrameType type, int id, int length,
             unsigned char* data) const {
    if (!BuildImage(image, type, id, length, data)) return false;
    m_format.Mark(image);
    return true;
  }
};
