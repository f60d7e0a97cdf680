// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// What a receive run found of the frames of marked send runs and of
// grow-mode send runs without marks: the values its lines are made of.

// Numbers `first` to `last` of a marked run never came.
struct MissingRange {
  int64_t first;
  int64_t last;
};

// One marked run, or several that share a line (`runs` above 1).
struct MarkedTotals {
  static constexpr int kPlaces = 3;

  uint32_t tag = 0;
  int64_t runs = 1;
  int64_t order = 0;  // when its first frame came, among the runs
  int64_t frames = 0;
  int64_t latest = 0;  // the highest number that came
  // The frame marked last came as the highest: no frame after it is owed.
  bool lastCame = false;
  int64_t missing = 0;
  int64_t repeated = 0;
  int64_t outOfOrder = 0;
  int64_t damaged = 0;
  // False when missing and repeated cannot be told.
  bool exact = true;
  // The first ranges of missing numbers; `morePlaces` when there were
  // others.
  MissingRange places[kPlaces] = {};
  int placeCount = 0;
  bool morePlaces = false;
};

// A figure of a grow-mode sequence line: a count, or `cannot tell`.
struct Figure {
  int64_t value = 0;
  bool known = true;
};

// Where the steps of grow-mode frames came with none: `steps` in a row
// after identifier `afterId`.
struct EmptySteps {
  uint32_t afterId;
  uint32_t idMask;
  int64_t steps;
};

// The grow-mode send runs of one kind, length and fill byte, one after the
// other, or of several such shapes that share a line (`mixed`).
struct ShapeTotals {
  static constexpr int kPlaces = 3;

  uint32_t kindBits = 0;  // CAN_EFF_FLAG or none
  unsigned length = 0;
  int fill = -1;  // -1 where the length leaves no byte for it
  bool mixed = false;
  int64_t order = 0;  // when its first frame came, among the shapes
  int64_t frames = 0;
  Figure sequences;
  // The first identifier of the first sequence and the latest of the last,
  // unless the frames may not tell one story.
  bool identifiersKnown = true;
  uint32_t firstId = 0;
  uint32_t firstMask = 0;
  uint32_t lastId = 0;
  uint32_t lastMask = 0;
  // The frames per step, fewest and most over the sequences, when known.
  bool perStepKnown = true;
  int64_t fewestPerStep = 0;
  int64_t mostPerStep = 0;
  Figure missing;
  Figure repeated;
  Figure outOfOrder;
  // Where steps came with no frame; `morePlaces` when there were others.
  EmptySteps places[kPlaces] = {};
  int placeCount = 0;
  bool morePlaces = false;
};

// A received frame as it came, for showing the first of the other frames.
struct ReceivedFrame {
  uint32_t canId = 0;
  unsigned length = 0;
  unsigned char data[64] = {};
};

struct VerdictReport {
  static constexpr int kLines = 8;

  // Marked runs in the order they began; past kLines, the last line takes
  // the later ones.
  MarkedTotals marked[kLines];
  int markedCount = 0;
  // Grow-mode shapes in the order they began, likewise.
  ShapeTotals shapes[kLines];
  int shapeCount = 0;
  // Frames of neither, and the first of them.
  int64_t other = 0;
  ReceivedFrame firstOther;
};
