// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>

#include <cstdint>
#include <random>
#include <vector>

#include "report/sequence/SequenceTotals.h"

// Test support: grow-mode send runs' frames as a receive run gets them,
// made with known faults (lost, doubled, late, other nodes' frames among
// them), and the truth of what came, kept from how each frame was made.
class GrowStreamTesting {
 public:
  struct Run {
    uint32_t firstId;
    int64_t steps;
    int perStep;
  };
  // Chances of loss and of a frame twice; `lateRuns` runs of `lateFrames`
  // frames in a row that come `lateSteps` steps late.
  struct Faults {
    double loss = 0, twice = 0;
    int lateRuns = 0, lateFrames = 1;
    int64_t lateSteps = 1;
  };
  // What a sender's line must say (Counts), and the steps that lacked.
  struct Truth {
    std::vector<int64_t> counts;
    std::vector<uint32_t> lacking;
  };

  // A frame of a grow-mode run, its payload as frame/GrowPayload.h makes it.
  static canfd_frame Frame(uint32_t flags, uint32_t id, unsigned length,
                           unsigned char fill);
  // Frames, sequences, fewest and most per step, missing, repeated, late.
  static std::vector<int64_t> Counts(const SequenceTotals& line);

  explicit GrowStreamTesting(uint32_t seed) : m_random(seed) {}
  uint32_t Random(uint32_t below) {
    return static_cast<uint32_t>(m_random() % below);
  }

  // Adds a run started again from the run before's first identifier, or
  // another it sent but its last and the 128 after (a repeat, a gap).
  void AddRun(std::vector<Run>* runs, int64_t steps, int perStep,
              uint32_t mask);
  // A sender of `flags`, `length` and `fill` frames, runs one by one.
  void AddSender(uint32_t flags, unsigned length, unsigned char fill,
                 const std::vector<Run>& runs, const Faults& faults);
  // The senders' frames interleaved at random, each in its order, among
  // other nodes' (`share` of all): SYNC, heartbeats, remote, random.
  std::vector<canfd_frame> Frames(double share);

  const Truth& TruthOf(size_t sender) const { return m_truths[sender]; }
  int64_t OtherFrames() const { return m_other; }
  // The line of sender `sender`'s frames; null if there is none.
  const SequenceTotals* LineOf(const SequenceReport& report,
                               size_t sender) const;

 private:
  canfd_frame OtherFrame();

  std::mt19937 m_random;
  std::vector<std::vector<canfd_frame>> m_senders;
  std::vector<Truth> m_truths;
  int64_t m_other = 0;
};
