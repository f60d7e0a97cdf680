// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstring>

#include "can/FrameImage.h"
#include "frame/Mark.h"

// The marks of one step's frames, which share their frame word: kept in
// registers while the step's frames are written. The run word times K1 of
// the next frame is kept too, and grows by K1 a frame.
struct StepMarks {
  uint64_t frameWord;
  uint64_t tagInMark;  // MarkWordOf's tag bits
  uint64_t next;
  uint64_t nextTimesK1;  // MarkRunWord(next, tag, false) * kMarkK1

  template <class Image>
  void Put(Image* image, bool last) const {
    const uint64_t run =
        nextTimesK1 + (last ? MarkRunWord(0, 0, true) * kMarkK1 : 0);
    const uint64_t check = ((frameWord ^ run) * kMarkK2) >> kMarkCheckShift;
    StoreMark(image->data, (next & kMarkNumberMask) | tagInMark |
                               uint64_t{last ? 1u : 0u} << kMarkLastBit |
                               check << kMarkCheckShift);
  }
  // The socket took the frame.
  void Took() {
    ++next;
    nextTimesK1 += kMarkK1;
  }
};

// Puts the mark (frame/Mark.h) on the frames of a marked send run: each
// frame the socket takes gets the next number, so that a refused write
// leaves no gap.
class MarkStamp {
 public:
  // The run's last frame carries the mark of the end.
  static constexpr bool kMarksLast = true;

  explicit MarkStamp(uint32_t tag)
      : m_tag(tag & kMarkTagMask),
        m_tagInMark(uint64_t{m_tag} << kMarkNumberBits),
        m_nextTimesK1(MarkRunWord(0, m_tag, false) * kMarkK1) {}

  uint32_t Tag() const { return m_tag; }

  // The marks of a step of `image`, whose other fields are set: can_id,
  // the length and the bit-rate switch lie in its first word where the
  // frame word has them (a classic image's byte 5 is 0), and payload byte
  // 8 is 0 in an image of 8 bytes or fewer.
  template <class Image>
  StepMarks Step(const Image& image) const {
    uint64_t head;
    std::memcpy(&head, &image, sizeof head);
    uint64_t frameWord = head & kMarkHeadMask;
    if (sizeof image.data > kMarkBytes) {
      frameWord |= uint64_t{image.data[kMarkBytes]} << kMarkFillShift;
    }
    return {frameWord, m_tagInMark, m_next, m_nextTimesK1};
  }
  void Done(const StepMarks& step) {
    m_next = step.next;
    m_nextTimesK1 = step.nextTimesK1;
  }

 private:
  uint32_t m_tag;
  uint64_t m_tagInMark;
  uint64_t m_next = 0;
  uint64_t m_nextTimesK1;  // MarkRunWord(m_next, m_tag, false) * kMarkK1
};

// A send run's frames unmarked: the same calls, which cost nothing.
struct NoMarks {
  static constexpr bool kMarksLast = false;
  struct Nothing {
    template <class Image>
    void Put(Image*, bool) const {}
    void Took() {}
  };
  template <class Image>
  Nothing Step(const Image&) const {
    return {};
  }
  void Done(const Nothing&) {}
};
