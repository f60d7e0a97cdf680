// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>

#include <cstdint>
#include <random>
#include <vector>

// Test support: marked send runs' frames as a receive run gets them, made
// with known faults, and the truth of each run, kept from what became of
// each of its numbers on the way.
class MarkedStreamTesting {
 public:
  struct Faults {
    // Chances, for each frame, to be lost, to come twice, to come with a
    // payload byte after the fill byte changed, to come with a bit of its
    // mark changed (so: other traffic, its number missing), and to come
    // late.
    double loss = 0, twice = 0, damage = 0, garble = 0, late = 0;
    int64_t lateBy = 1;  // up to this many of its run's frames later
    // An outage: numbers from gapAt on, gapFrames of them, never come.
    int64_t gapAt = -1, gapFrames = 0;
  };
  struct Run {
    int64_t frames;       // the numbers 0 to frames - 1
    bool counted = true;  // its last frame is marked so
    int perStep = 1;      // frames a step, for grow mode
    Faults faults;
  };
  struct Truth {
    uint32_t tag = 0;
    int64_t frames = 0, latest = -1, missing = 0, repeated = 0;
    int64_t outOfOrder = 0, damaged = 0;
    bool lastCame = false;
  };

  explicit MarkedStreamTesting(uint32_t seed) : m_random(seed) {}
  uint32_t Random(uint32_t below) {
    return static_cast<uint32_t>(m_random() % below);
  }

  // A sender of `canId` frames (grown from it a step a time when `grow`) of
  // `length` bytes and fill byte `fill`: its runs one after the other, each
  // with a tag of its own.
  void AddSender(uint32_t canId, bool grow, unsigned length, bool brs,
                 unsigned char fill, const std::vector<Run>& runs);
  // The senders' frames interleaved at random, each sender's in its order,
  // with `others` frames of other traffic among them: random frames, a
  // plain run's and a grow-mode run's without marks.
  std::vector<canfd_frame> Frames(int64_t others);
  const std::vector<Truth>& Truths() const { return m_truths; }
  // The frames of neither: other traffic and garbled frames.
  int64_t OtherFrames() const { return m_other; }

 private:
  std::mt19937 m_random;
  std::vector<std::vector<canfd_frame>> m_senders;
  std::vector<Truth> m_truths;
  int64_t m_other = 0;
};
