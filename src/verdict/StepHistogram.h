// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// How many frames each step between a grow-mode sequence's first and last
// came with, in fixed memory, and what that tells: the frames per step, and
// the frames missing and repeated against it, or that it cannot be told
// (DESIGN.md, "Frames per step").
class StepHistogram {
 public:
  // Counts kept one by one; a step with more frames is only noted.
  static constexpr uint64_t kCounts = 64;
  // Below this many steps, no number of frames per step is told: with one
  // frame a step, eight steps of one frame are 2^8 times likelier than from
  // two a step with half of them lost.
  static constexpr int64_t kFewestSteps = 8;
  // The numbers of frames per step fitted to counts with faults, as -c 1 to
  // 4 send them. With more, a tenth of the frames lost spreads the counts
  // so that neighbouring numbers fit them as well: then only steps that all
  // came alike tell.
  static constexpr uint64_t kMostFitted = 4;

  struct Verdict {
    bool known = false;
    int64_t perStep = 0;
    int64_t missing = 0;
    int64_t repeated = 0;
  };

  // `steps` steps came with `count` frames each.
  void Add(uint64_t count, int64_t steps = 1);
  int64_t Steps() const { return m_steps; }
  // The frames of the steps.
  int64_t Frames() const { return m_frames + m_largeFrames; }

  // The frames per step, and the missing and repeated frames of the steps,
  // to which the edges (the first and last step, which may have come in
  // part) add the frames beyond it.
  Verdict Decide(const uint64_t* edges, int edgeCount) const;

 private:
  int64_t m_byCount[kCounts] = {};
  int64_t m_steps = 0;
  int64_t m_frames = 0;  // of the steps counted one by one
  int64_t m_largeSteps = 0;
  int64_t m_largeFrames = 0;
  uint64_t m_largeCount = 0;  // what every large step came with, if alike
  bool m_largeAlike = true;
};
