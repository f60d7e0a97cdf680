// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>
#include <sys/time.h>

#include <cstddef>

// Received frames as lines of candump's log format (candump -L), which
// canplayer replays and log2asc converts:
//   (1700000000.123456) can0 123#DEADBEEF        classic data frame
//   (1700000000.123456) can0 12345678#R8         remote frame, length 8
//   (1700000000.123456) can0 123##5A1B2C         CAN FD frame, flags 5
// the identifier in 3 hexadecimal digits, or 8 for an extended one, the
// payload bytes in upper-case hexadecimal, the CAN FD flags as one digit, a
// classic 8-byte frame's raw length code above 8 after an underscore.

// Seconds of up to 20 digits, the interface name of up to 19 characters,
// 64 payload bytes: the longest line with its newline.
constexpr size_t kCandumpLineSize = 1 + 20 + 1 + 6 + 2 + 19 + 1 + 8 + 3 + 128 +
                                    2 + 1;

// The lines of one interface's frames. The seconds are written once for
// all the frames of a second: a line costs little more than its bytes.
class CandumpLines {
 public:
  explicit CandumpLines(const char* device);

  size_t Line(char (&line)[kCandumpLineSize], const timeval& stamp,
              const can_frame& frame);
  size_t Line(char (&line)[kCandumpLineSize], const timeval& stamp,
              const canfd_frame& frame);

 private:
  // "(seconds.micros) device identifier#"
  size_t Head(char* line, const timeval& stamp, canid_t canId);

  char m_seconds[23];  // "(" and the seconds and "."
  size_t m_secondsSize = 0;
  time_t m_second = -1;
  char m_device[22];  // ") ", the name, " "
  size_t m_deviceSize = 0;
};
