// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// The frames per step that explain best how many frames steps came with,
// when each frame of a step may be lost, or come twice, on its own: of the
// counts that steps came with, the one that makes the counts likeliest,
// with the chances of loss and of a frame twice that the frames missing and
// over tell, the latter at most kMostTwice. `steps[i]` steps came with
// `counts[i]` frames, counts of 0 included; 0 when no count is above 0.
constexpr double kMostTwice = 0.15;
uint64_t PerStepOf(const uint64_t* counts, const uint64_t* steps, int n);

// How many frames each step of one sequence came with, kept in fixed memory
// as the steps are judged, and what that tells at the end: the frames per
// step, and the frames missing and repeated.
//
// Interior steps come in rising order: the sequence's first and last steps
// are its edges, which may have come in part. A step left out between two
// that came is taken to have come with Most() frames, the most so far, so
// that the usual whole step costs nothing.
//
// The frames per step are decided at the end, by PerStepOf.
class StepCounts {
 public:
  static constexpr int kPlaces = 3;

  // `frames` missing from `step` on, in a row.
  struct Place {
    int64_t step;
    int64_t frames;
  };

  struct Verdict {
    uint64_t perStep = 0;
    // Frames of the interior steps.
    int64_t frames = 0;
    int64_t missing = 0;
    int64_t repeated = 0;
    // The first places of the missing frames; `morePlaces` when there were
    // others; `placesKnown` false when the places were not kept (more than
    // 31 frames per step, fewer than the most that any step came with).
    Place places[kPlaces] = {};
    int placeCount = 0;
    bool morePlaces = false;
    bool placesKnown = true;
  };

  // A sequence whose edge is `first`.
  explicit StepCounts(int64_t first) : m_last(first), m_first(first) {}

  // `step` came with `count` frames.
  void Add(int64_t step, uint64_t count);
  // `steps` steps from `step` on came with none.
  void AddEmpty(int64_t step, int64_t steps);
  uint64_t Most() const { return m_most; }

  // The verdict over the interior steps up to `lastInterior`, and the edges'
  // counts, which tell repeats but no loss.
  Verdict Decide(int64_t lastInterior, const uint64_t* edges, int edgeCount);

 private:
  // Counts below kSmall are kept one by one, larger ones in a few slots;
  // counts beyond those are only summed.
  static constexpr uint64_t kSmall = 32;
  static constexpr int kLarge = 16;

  // The places where frames were missing if the frames per step were a
  // given number.
  struct Places {
    Place places[kPlaces] = {};
    int count = 0;
    bool more = false;
    bool open = false;
    int64_t lastMissed = 0;
    void Miss(int64_t step, int64_t steps, int64_t frames);
  };
  struct Large {
    uint64_t count;
    uint64_t steps;
  };

  // The steps up to `step` that were left out came with m_most frames.
  void Skip(int64_t step);
  void Record(uint64_t count, uint64_t steps);
  // Steps from `step` on with `count` frames each: missing for any number
  // of frames per step above `count`.
  void MissUnder(int64_t step, int64_t steps, uint64_t count);
  // A step came with more frames than any before: each before it lacked
  // frames for the new counts up to `count`.
  void Rise(int64_t step, uint64_t count);
  uint64_t PerStep(const uint64_t* edges, int edgeCount) const;

  int64_t m_last;
  int64_t m_first;
  uint64_t m_most = 0;
  int64_t m_frames = 0;
  uint64_t m_small[kSmall] = {};
  Large m_large[kLarge] = {};
  int m_largeUsed = 0;
  uint64_t m_otherSteps = 0;
  int64_t m_otherFrames = 0;
  // By frames per step below kSmall, and for m_most when it is larger.
  Places m_places[kSmall] = {};
  Places m_mostPlaces;
};
