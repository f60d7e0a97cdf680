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

struct SequenceTotals {
  static constexpr int kPlaces = 3;

  // Frames of the sequences, and the sequences.
  int64_t frames = 0;
  int64_t sequences = 0;
  // True when there is something to say: a sequence showed two identifiers
  // or more, and was no chance of other traffic (see SequenceCheck::Finish).
  bool judged = false;
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
  // others.
  MissingPlace places[kPlaces] = {};
  int placeCount = 0;
  bool morePlaces = false;

  // Frames that fit no sequence, and the first of them.
  int64_t foreign = 0;
  ReceivedFrame firstForeign;
};
