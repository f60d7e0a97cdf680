// SPDX-License-Identifier: MIT
#include "output/CandumpLine.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// `value` in decimal, at least `width` digits with leading zeros.
size_t PutDecimal(char* out, uint64_t value, int width) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 || count < width);
  for (int i = 0; i < count; ++i) out[i] = digits[count - 1 - i];
  return static_cast<size_t>(count);
}

// Six decimal digits, two at a time.
void PutMicros(char* out, unsigned micros) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233"
      "34353637383940414243444546474849505152535455565758596061626364656667"
      "6869707172737475767778798081828384858687888990919293949596979899";
  for (int pair = 2; pair >= 0; --pair) {
    std::memcpy(out + 2 * pair, kPairs + 2 * (micros % 100), 2);
    micros /= 100;
  }
}

size_t PutHex(char* out, uint32_t value, int digits) {
  for (int i = 0; i < digits; ++i) {
    out[i] = kHexDigits[(value >> (4 * (digits - 1 - i))) & 0xF];
  }
  return static_cast<size_t>(digits);
}

size_t PutBytes(char* out, const unsigned char* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    out[2 * i] = kHexDigits[data[i] >> 4];
    out[2 * i + 1] = kHexDigits[data[i] & 0xF];
  }
  return 2 * length;
}

}  // namespace

CandumpLines::CandumpLines(const char* device) {
  const size_t name = strnlen(device, 19);
  m_device[0] = ')';
  m_device[1] = ' ';
  std::memcpy(m_device + 2, device, name);
  m_device[2 + name] = ' ';
  m_deviceSize = name + 3;
}

size_t CandumpLines::Head(char* line, const timeval& stamp, canid_t canId) {
  if (stamp.tv_sec != m_second) {
    m_second = stamp.tv_sec;
    m_seconds[0] = '(';
    m_secondsSize =
        1 + PutDecimal(m_seconds + 1, static_cast<uint64_t>(stamp.tv_sec), 10);
    m_seconds[m_secondsSize++] = '.';
  }
  size_t at = m_secondsSize;
  std::memcpy(line, m_seconds, at);
  PutMicros(line + at, static_cast<unsigned>(stamp.tv_usec) % 1000000);
  at += 6;
  std::memcpy(line + at, m_device, m_deviceSize);
  at += m_deviceSize;
  if ((canId & CAN_EFF_FLAG) != 0) {
    at += PutHex(line + at, canId & CAN_EFF_MASK, 8);
  } else {
    at += PutHex(line + at, canId & CAN_SFF_MASK, 3);
  }
  line[at++] = '#';
  return at;
}

size_t CandumpLines::Line(char (&line)[kCandumpLineSize], const timeval& stamp,
                          const can_frame& frame) {
  size_t at = Head(line, stamp, frame.can_id);
  const size_t length = frame.len < CAN_MAX_DLEN ? frame.len : CAN_MAX_DLEN;
  const bool rawCode = length == CAN_MAX_DLEN &&
                       frame.len8_dlc > CAN_MAX_DLEN &&
                       frame.len8_dlc <= CAN_MAX_RAW_DLC;
  if ((frame.can_id & CAN_RTR_FLAG) != 0) {
    line[at++] = 'R';
    if (length > 0) line[at++] = kHexDigits[length];
    if (rawCode) line[at++] = kHexDigits[frame.len8_dlc];
  } else {
    at += PutBytes(line + at, frame.data, length);
    if (rawCode) {
      line[at++] = '_';
      line[at++] = kHexDigits[frame.len8_dlc];
    }
  }
  line[at++] = '\n';
  return at;
}

size_t CandumpLines::Line(char (&line)[kCandumpLineSize], const timeval& stamp,
                          const canfd_frame& frame) {
  size_t at = Head(line, stamp, frame.can_id);
  line[at++] = '#';
  line[at++] = kHexDigits[frame.flags & 0xF];
  const size_t length = frame.len < CANFD_MAX_DLEN ? frame.len : CANFD_MAX_DLEN;
  at += PutBytes(line + at, frame.data, length);
  line[at++] = '\n';
  return at;
}
