// SPDX-License-Identifier: MIT
#include "can/FrameBits.h"

#include <algorithm>
#include <array>

namespace {

// CRC delimiter, acknowledge slot and delimiter, end of frame, intermission.
constexpr int kTail = 1 + 1 + 1 + 7 + 3;
constexpr int kFdLengths[16] = {0, 1,  2,  3,  4,  5,  6,  7,
                                8, 12, 16, 20, 24, 32, 48, 64};

// The unstuffed bits of a frame up to the end of its data field.
class BitString {
 public:
  void Put(uint32_t value, int width) {
    for (int bit = width - 1; bit >= 0; --bit) {
      m_bits[static_cast<size_t>(m_size++)] = (value >> bit) & 1U;
    }
  }
  int Size() const { return m_size; }

  // Dynamic stuff bits over all bits: a complement after five equal ones,
  // itself the first of the next run. *before receives those that follow a
  // bit ahead of `boundary`.
  int StuffBits(int boundary, int* before) const {
    int count = 0;
    int run = 0;
    unsigned last = 2;
    *before = 0;
    for (int i = 0; i < m_size; ++i) {
      const unsigned bit = m_bits[static_cast<size_t>(i)];
      run = bit == last ? run + 1 : 1;
      last = bit;
      if (run == 5) {
        ++count;
        if (i < boundary) ++*before;
        last ^= 1U;
        run = 1;
      }
    }
    return count;
  }

  uint32_t Crc15() const {
    uint32_t crc = 0;
    for (int i = 0; i < m_size; ++i) {
      const uint32_t next = m_bits[static_cast<size_t>(i)] ^ (crc >> 14);
      crc = (crc << 1) & 0x7FFF;
      if (next != 0) crc ^= 0x4599;
    }
    return crc;
  }

 private:
  // The longest: an extended CAN FD frame of 64 bytes.
  std::array<unsigned char, 64 * 8 + 64> m_bits{};
  int m_size = 0;
};

// Start of frame and identifier, up to the RTR (classic) or RRS bit.
void PutArbitration(BitString* bits, FrameType type, uint32_t id, bool remote) {
  bits->Put(0, 1);
  if (type & expandData) {
    bits->Put((id >> 18) & 0x7FF, 11);
    bits->Put(3, 2);  // SRR, IDE
    bits->Put(id & 0x3FFFF, 18);
  } else {
    bits->Put(id & 0x7FF, 11);
  }
  bits->Put(remote ? 1 : 0, 1);
}

int FdDlc(int length) {
  int dlc = 0;
  while (dlc < 15 && kFdLengths[dlc] < length) ++dlc;
  return dlc;
}

// Stuff count (three bits and parity) and CRC, with a fixed stuff bit
// ahead of each four of their bits.
int FdCrcBits(int length) {
  const int bits = 4 + (length > 16 ? 21 : 17);
  return bits + (bits + 3) / 4;
}

int MostStuffBits(int bits) { return bits >= 5 ? (bits - 1) / 4 : 0; }

// The payload of the frames that stand for all of a kind and length: the
// number of bits does not depend on the values.
constexpr unsigned char kZeros[64] = {};

// A classic frame's bits from the start of frame to the end of its CRC.
BitString ClassicBits(FrameType type, uint32_t id, int length,
                      const unsigned char* data) {
  const bool remote = (type & standRemote) != 0;
  BitString bits;
  PutArbitration(&bits, type, id, remote);
  bits.Put(0, 2);  // IDE or r1, r0
  bits.Put(static_cast<uint32_t>(length), 4);
  for (int byte = 0; !remote && byte < length; ++byte) bits.Put(data[byte], 8);
  bits.Put(bits.Crc15(), 15);
  return bits;
}

// A CAN FD frame's bits from the start of frame to the end of its data
// field; *switchAt receives the position of its bit-rate switch.
BitString FdBits(FrameType type, uint32_t id, int length,
                 const unsigned char* data, bool bitRateSwitch, int* switchAt) {
  const int dlc = FdDlc(length);
  BitString bits;
  PutArbitration(&bits, type, id, false);
  if (!(type & expandData)) bits.Put(0, 1);  // IDE
  bits.Put(2, 2);                            // FDF, res
  *switchAt = bits.Size();
  bits.Put(bitRateSwitch ? 1 : 0, 1);
  bits.Put(0, 1);  // ESI: error active
  bits.Put(static_cast<uint32_t>(dlc), 4);
  for (int byte = 0; byte < kFdLengths[dlc]; ++byte) {
    bits.Put(byte < length ? data[byte] : 0, 8);
  }
  return bits;
}

FrameBits Split(int nominal, int data, bool bitRateSwitch) {
  if (bitRateSwitch) return {nominal, data};
  return {nominal + data, 0};
}

}  // namespace

FrameBits ClassicFrameBits(FrameType type, uint32_t id, int length,
                           const unsigned char* data) {
  const BitString bits = ClassicBits(type, id, length, data);
  int unused = 0;
  return {bits.Size() + bits.StuffBits(0, &unused) + kTail, 0};
}

FrameBits FdFrameBits(FrameType type, uint32_t id, int length,
                      const unsigned char* data, bool bitRateSwitch) {
  const int dlc = FdDlc(length);
  int switchAt = 0;
  const BitString bits =
      FdBits(type, id, length, data, bitRateSwitch, &switchAt);
  int nominalStuff = 0;
  const int stuff = bits.StuffBits(switchAt, &nominalStuff);
  const int nominal = switchAt + 1 + nominalStuff + kTail;
  const int dataPhase = bits.Size() - switchAt - 1 + stuff - nominalStuff +
                        FdCrcBits(kFdLengths[dlc]);
  return Split(nominal, dataPhase, bitRateSwitch);
}

FrameBitsRange ClassicFrameBitsRange(FrameType type, int length) {
  const int stuffed = ClassicBits(type, 0, length, kZeros).Size();
  return {{stuffed + kTail, 0}, {stuffed + MostStuffBits(stuffed) + kTail, 0}};
}

FrameBitsRange FdFrameBitsRange(FrameType type, int length,
                                bool bitRateSwitch) {
  int switchAt = 0;
  const int head =
      FdBits(type, 0, length, kZeros, bitRateSwitch, &switchAt).Size();
  const int nominal = switchAt + 1 + kTail;
  const int dataPhase =
      head - switchAt - 1 + FdCrcBits(kFdLengths[FdDlc(length)]);
  const int nominalStuff = MostStuffBits(switchAt);
  const int dataStuff = MostStuffBits(head) - nominalStuff;
  return {Split(nominal, dataPhase, bitRateSwitch),
          Split(nominal + nominalStuff, dataPhase + dataStuff, bitRateSwitch)};
}

int64_t FrameNanos(const FrameBits& bits, uint32_t bitrate,
                   uint32_t dataBitrate) {
  if (bitrate == 0 || (bits.data > 0 && dataBitrate == 0)) return 0;
  const int64_t nominal = int64_t{bits.nominal} * 1000000000 / bitrate;
  return bits.data == 0
             ? nominal
             : nominal + int64_t{bits.data} * 1000000000 / dataBitrate;
}

uint32_t DataBitrate(const LinkFacts& facts) {
  const LinkTiming& timing = facts.timing;
  return (timing.ctrlmode & CAN_CTRLMODE_FD) != 0 ? timing.data.bitrate : 0;
}

int64_t FrameNanosOn(const LinkFacts& facts, const FrameBits& bits) {
  return FrameNanos(bits, facts.timing.nominal.bitrate, DataBitrate(facts));
}

double BusShare(int64_t frames, int64_t frameNanos, int64_t elapsedMicros) {
  return 100.0 * static_cast<double>(frames) * static_cast<double>(frameNanos) /
         (static_cast<double>(elapsedMicros) * 1000.0);
}
