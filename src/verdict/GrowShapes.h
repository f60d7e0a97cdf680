// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "verdict/GrowShape.h"
#include "verdict/GrowTally.h"
#include "verdict/GrowTrack.h"
#include "verdict/VerdictReport.h"

// The grow-mode send runs without marks that a receive run gets, a track
// for each kind, length and fill byte, up to kTracks at a time.
class GrowShapes {
 public:
  // Shapes followed at once: eight senders and other traffic that happens
  // to carry its identifier. A shape beyond them frees the track that was
  // idle longest, which its sequence's figures then cannot tell.
  static constexpr int kTracks = 16;

  explicit GrowShapes(unsigned capacity) : m_capacity(capacity) {}
  GrowShapes(const GrowShapes&) = delete;
  GrowShapes& operator=(const GrowShapes&) = delete;

  // The track of the frame before, while it may take frames fast.
  GrowTrack& Fast() { return *m_fast; }

  // Any frame; false when it has no shape. `index`: when it came.
  bool Take(uint32_t canId, unsigned length, const unsigned char* data,
            int64_t index);

  // Ends every sequence; fills the report's shape lines.
  void Finish(VerdictReport* report);
  const GrowTally& Tally() const { return m_tally; }

 private:
  GrowTrack* TrackOf(const GrowShape& shape, int64_t index);

  const unsigned m_capacity;
  // Takes no frame: the fast path's track while no track may.
  GrowTrack m_none;
  GrowTrack* m_fast = &m_none;
  GrowTrack m_tracks[kTracks];
  GrowTally m_tally;
};
