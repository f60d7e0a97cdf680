// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>

#include <cstdint>
#include <random>
#include <vector>

#include "verdict/VerdictReport.h"

// Test support: grow-mode send runs' frames without marks as a receive run
// gets them, made with known faults, and the truth of each sender as its
// receiving end can see it: a step's frames are alike, so missing and
// repeated are each step's shortfall and excess against the frames per
// step, between the first and the last step that came (where the receive
// run may have joined or left within a step, only the excess counts).
class GrowStreamTesting {
 public:
  struct Run {
    uint32_t firstId;
    int64_t steps;
    int perStep = 1;
    double loss = 0, twice = 0;
    // Frames `lateFrames` in a row, near the end of the run, come
    // `lateSteps` steps late.
    int lateFrames = 0;
    int64_t lateSteps = 0;
  };
  struct Truth {
    int64_t frames = 0, sequences = 0, missing = 0, repeated = 0;
    int64_t outOfOrder = 0, fewestPerStep = 0, mostPerStep = 0;
    uint32_t firstId = 0, lastId = 0;
  };

  explicit GrowStreamTesting(uint32_t seed) : m_random(seed) {}
  uint32_t Random(uint32_t below) {
    return static_cast<uint32_t>(m_random() % below);
  }
  double Chance() { return std::uniform_real_distribution<double>(0, 1)(m_random); }

  // A sender of frames of `flags`, `length` and `fill`: its runs one after
  // the other.
  void AddSender(uint32_t flags, unsigned length, unsigned char fill,
                 const std::vector<Run>& runs);
  // Other traffic: `count` frames of `frame`, or random ones when its
  // length is above 64.
  void AddOther(const canfd_frame& frame, int64_t count);
  // Everything interleaved at random, each sender's frames in their order.
  std::vector<canfd_frame> Frames();

  const Truth& TruthOf(size_t sender) const { return m_truths[sender]; }
  // The line of sender `sender`'s shape; null when there is none.
  const ShapeTotals* LineOf(const VerdictReport& report, size_t sender) const;

 private:
  std::mt19937 m_random;
  std::vector<std::vector<canfd_frame>> m_lists;
  std::vector<Truth> m_truths;
};
