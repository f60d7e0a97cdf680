// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// What a receive run found of the sequences that grow-mode send runs put on
// the bus: each step sends a number of frames of one identifier, identifiers
// rise by one a step and wrap, and the payload carries the identifier.

// Where frames went missing: `frames` in a row after identifier `afterId`.
struct MissingPlace {
  uint32_t afterId;
  uint32_t idMask;
  int64_t frames;
};

// A received frame as it came, for showing the first foreign one.
struct ReceivedFrame {
  uint32_t canId = 0;
  unsigned length = 0;
  unsigned char data[64] = {};
};

// The sequences of one kind, length and fill byte: one send run, or several
// one after the other.
struct SequenceTotals {
  static constexpr int kPlaces = 3;

  // Frames of the sequences, and the sequences.
  int64_t frames = 0;
  int64_t sequences = 0;
  // What the frames have in common: kind flags, length and fill byte (-1
  // where the length leaves no byte for it, or for remote frames); `mixed`
  // when the totals of several had to share one line.
  uint32_t kindBits = 0;
  unsigned length = 0;
  int fill = -1;
  bool mixed = false;
  // The first identifier of the first sequence and the last of the last.
  uint32_t firstId = 0;
  uint32_t firstMask = 0;
  uint32_t lastId = 0;
  uint32_t lastMask = 0;
  // The frames per step found, fewest and most over the sequences.
  uint64_t fewestPerStep = 0;
  uint64_t mostPerStep = 0;

  int64_t missing = 0;
  int64_t repeated = 0;
  int64_t outOfOrder = 0;
  // The first places of the missing frames; `morePlaces` when there were
  // others; `placesKnown` false when some were not kept.
  MissingPlace places[kPlaces] = {};
  int placeCount = 0;
  bool morePlaces = false;
  bool placesKnown = true;

  // The frames may be other traffic that fits by chance (remote frames,
  // or too short to carry the identifier); how many rose by one from the
  // frame before, and how many neither rose by one nor kept its step.
  bool weak = false;
  int64_t rises = 0;
  int64_t jumps = 0;
  // When its first frame came, in the order of the frames checked, and that
  // frame; when the last sequence's first frame came.
  int64_t firstIndex = 0;
  ReceivedFrame firstFrame;
  int64_t lastIndex = 0;
};

// The sequences worth a line, in the order they began, and the frames that
// are of none of them.
struct SequenceReport {
  static constexpr int kLines = 8;

  SequenceTotals lines[kLines];
  int lineCount = 0;
  int64_t foreign = 0;
  ReceivedFrame firstForeign;
};
