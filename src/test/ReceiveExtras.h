// SPDX-License-Identifier: MIT
#pragma once

#include <sys/time.h>

#include <cstdint>
#include <limits>

#include "can/FrameImage.h"
#include "can/FrameType.h"
#include "output/CandumpLine.h"
#include "output/FrameFile.h"

// The receive loop's two forms (ReceiveRun.h), each compiled on its own: as
// it always was, or with a frame limit (--number) and the frame log in
// candump's format (--journal), whose stamped reads and lines cost their
// share per frame only in runs that ask for them.

// Reads as the loop always did; nothing after a frame.
struct PlainReceive {
  template <class Channel>
  bool Read(Channel& can, bool wait, bool fetch, FrameType* type, int* id,
            int* length, unsigned char* data) const {
    if (wait) return fetch ? can.Read(type, id, length, data) : can.Read();
    return fetch ? can.ReadQueued(type, id, length, data) : can.ReadQueued();
  }
  template <class Channel>
  bool Took(const Channel&, int64_t) const {
    return false;
  }
};

// Reads with the kernel's receive time when there is a log; after each
// frame counted, logs it and tells whether the limit is reached.
class ExtendedReceive {
 public:
  // `limit` 0: none. `log` null: no log; else the frames of `device`.
  ExtendedReceive(int64_t limit, FrameFile* log, const char* device)
      : m_limit(limit > 0 ? limit : std::numeric_limits<int64_t>::max()),
        m_log(log),
        m_lines(device) {}

  template <class Channel>
  bool Read(Channel& can, bool wait, bool fetch, FrameType* type, int* id,
            int* length, unsigned char* data) {
    bool whole;
    if (m_log != nullptr) {
      whole = can.ReadStamped(wait, &m_stamp);
    } else {
      whole = wait ? can.Read() : can.ReadQueued();
    }
    return whole &&
           (!fetch || DecodeImage(can.m_received, type, id, length, data));
  }

  template <class Channel>
  bool Took(const Channel& can, int64_t count) {
    if (m_log != nullptr) {
      char line[kCandumpLineSize];
      m_log->Add(line, m_lines.Line(line, m_stamp, can.m_received));
    }
    return count >= m_limit;
  }

 private:
  int64_t m_limit;
  FrameFile* m_log;
  CandumpLines m_lines;
  timeval m_stamp{};
};
