// SPDX-License-Identifier: MIT
#pragma once

#include <linux/can.h>

#include <cstdint>

// Where in the frame a bit error came, as far as the error frame tells.
enum ErrorPhase : int {
  kArbitration,  // start of frame, identifier, RTR and IDE bits
  kDataPhase,    // from the control field to the CRC delimiter
  kElsewhere,    // elsewhere, or not told
  kErrorPhases,
};

// The error frames a controller's driver sent during a run, by class.
struct ErrorCounts {
  uint64_t noAck = 0;                // no node acknowledged a frame
  uint64_t bit0[kErrorPhases] = {};  // could not send a dominant bit
  uint64_t bit1[kErrorPhases] = {};  // could not send a recessive bit
  uint64_t bit[kErrorPhases] = {};   // bit errors of either level
  uint64_t stuff = 0;
  uint64_t form = 0;
  uint64_t crc = 0;
  // Stuff, form and CRC errors that came while receiving, not sending.
  uint64_t onReceive = 0;
  uint64_t rxOverflow = 0;
  uint64_t txOverflow = 0;
  uint64_t warning = 0;  // reached error-warning
  uint64_t passive = 0;  // reached error-passive
  uint64_t busOff = 0;
  uint64_t restarts = 0;
  uint64_t transceiver = 0;
  uint64_t frames = 0;  // error frames read, of any class
  // Error frames the socket dropped for want of room: the counts above are
  // then lower bounds.
  uint64_t dropped = 0;

  // The error frames of the bus's errors and states: all but the
  // controller's own overflows, which the lost-frames line tells.
  uint64_t OfTheBus() const {
    uint64_t bits = 0;
    for (int phase = 0; phase < kErrorPhases; ++phase) {
      bits += bit0[phase] + bit1[phase] + bit[phase];
    }
    return noAck + bits + stuff + form + crc + warning + passive + busOff +
           restarts + transceiver;
  }

  uint64_t DataPhaseBitErrors() const {
    return bit0[kDataPhase] + bit1[kDataPhase] + bit[kDataPhase];
  }
};

// Counts `frame`, an error frame (CAN_ERR_FLAG set), in each class it
// tells of; a frame may tell of several.
void CountErrorFrame(const can_frame& frame, ErrorCounts* counts);
