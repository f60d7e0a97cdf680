// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "can/FrameImage.h"
#include "frame/Mark.h"

// Puts the mark (frame/Mark.h) on the frames of a marked send run: each
// frame the socket takes gets the next number, so that a refused write
// leaves no gap.
class MarkStamp {
 public:
  // The run's last frame carries the mark of the end.
  static constexpr bool kMarksLast = true;

  explicit MarkStamp(uint32_t tag) : m_tag(tag & kMarkTagMask) {}

  uint32_t Tag() const { return m_tag; }

  // Marks the image, whose other fields are set, as the next frame, the
  // run's last when `last`.
  template <class Image>
  void Put(Image* image, bool last) const {
    const unsigned char fill =
        sizeof image->data > kMarkBytes && image->len > kMarkBytes
            ? image->data[kMarkBytes]
            : 0;
    StoreMark(image->data,
              MarkWord(MarkFrameWord(image->can_id, image->len, BrsOf(*image),
                                     fill),
                       m_next, m_tag, last));
  }
  // The socket took the frame.
  void Took() { ++m_next; }

 private:
  uint32_t m_tag;
  uint64_t m_next = 0;
};

// A send run's frames unmarked: the same calls, which cost nothing.
struct NoMarks {
  static constexpr bool kMarksLast = false;
  template <class Image>
  void Put(Image*, bool) const {}
  void Took() {}
};
