// SPDX-License-Identifier: MIT
// Feeds the receive run's verdict the frames of one crafted stream, for
// scripts/verdict-cost.sh to count the instructions they cost under
// callgrind: the difference of two lengths of a stream is its frames' cost.
//
//   verdict_cost STREAM FRAMES
//
// Each stream is made to make the verdict's slow path work hardest, frame
// after frame or at its last frame. Prints nothing but a line on a wrong
// use.
#include <linux/can.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame/GrowPayload.h"
#include "frame/Mark.h"
#include "verdict/FrameVerdict.h"

namespace {

canfd_frame Grown(uint32_t id, unsigned char fill = 0xA5) {
  canfd_frame frame{};
  frame.can_id = id & CAN_SFF_MASK;
  frame.len = 8;
  FillGrowPayload(frame.data, sizeof frame.data, 8, id & CAN_SFF_MASK, fill);
  return frame;
}

canfd_frame Marked(uint32_t tag, uint64_t number, unsigned length = 8) {
  canfd_frame frame{};
  frame.can_id = 0x123;
  frame.len = static_cast<__u8>(length);
  StoreMark(frame.data, MarkWord(MarkFrameWord(0x123, length, false, 0),
                                 number, tag, false));
  return frame;
}

// A cheap source of random words (splitmix64), so that making a frame
// costs little next to taking it.
struct Random {
  uint64_t state = 1;
  uint64_t operator()() {
    uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
};

// The i-th frame of a stream.
using Stream = canfd_frame (*)(int64_t i, Random* random);

const struct {
  const char* name;
  Stream frame;
} kStreams[] = {
    // Sequences started again after 130 steps, step s with 1 + s % 63
    // frames, so that every restart fits 63 counts.
    {"restarts",
     [](int64_t i, Random*) {
       static const std::vector<uint32_t> run = [] {
         std::vector<uint32_t> ids;
         for (uint32_t step = 0; step < 130; ++step) {
           ids.insert(ids.end(), 1 + step % 63, step);
         }
         return ids;
       }();
       return Grown(run[static_cast<size_t>(i) % run.size()]);
     }},
    // Remote frames far behind, ahead and back, and short frames: no shape.
    {"remote",
     [](int64_t i, Random* random) {
       canfd_frame frame{};
       frame.can_id = CAN_RTR_FLAG | static_cast<uint32_t>(
           (i % 2 == 0 ? static_cast<uint64_t>(i) : (*random)()) & CAN_SFF_MASK);
       frame.len = static_cast<__u8>(i % 3);
       return frame;
     }},
    // A grow-mode shape whose frames jump 129 steps each: a sequence
    // ended and begun at every frame.
    {"jumps", [](int64_t i, Random*) { return Grown(static_cast<uint32_t>(i * 129)); }},
    // Grown frames jumping 128 steps ahead: the window moves whole.
    {"reach", [](int64_t i, Random*) { return Grown(static_cast<uint32_t>(i * 128)); }},
    // Seventeen shapes in turn: a track freed at every frame.
    {"shapes",
     [](int64_t i, Random*) {
       return Grown(static_cast<uint32_t>(i / 17), static_cast<unsigned char>(i % 17));
     }},
    // Random frames of other traffic.
    {"random",
     [](int64_t, Random* random) {
       canfd_frame frame{};
       const uint64_t head = (*random)();
       frame.can_id = static_cast<uint32_t>(head) & (CAN_EFF_FLAG | CAN_EFF_MASK);
       frame.len = static_cast<__u8>((head >> 32) % 65);
       for (size_t at = 0; at < sizeof frame.data; at += 8) {
         const uint64_t word = (*random)();
         std::memcpy(frame.data + at, &word, 8);
       }
       return frame;
     }},
    // A marked run whose every other number is lost, jumping half a window
    // ahead at times: missing ranges to keep by the thousand.
    {"gaps",
     [](int64_t i, Random*) {
       return Marked(0x1234, static_cast<uint64_t>(2 * i + (i / 1000) * 30000));
     }},
    // A marked run that jumps a whole window at every frame.
    {"outages",
     [](int64_t i, Random*) { return Marked(0x1234, static_cast<uint64_t>(i) * 70000); }},
    // Frames late beyond the window into a marked run whose ranges are full.
    {"late",
     [](int64_t i, Random*) {
       const int64_t latest = 200000 + i;
       return Marked(0x1234, static_cast<uint64_t>(i % 2 == 0 ? 2 * latest : 2 * (latest - 70000) + 1));
     }},
    // A new marked run at every frame, high numbers first: a run ended and
    // begun at every frame.
    {"tags",
     [](int64_t i, Random*) {
       return Marked(static_cast<uint32_t>(i) & kMarkTagMask, 8000000);
     }},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s STREAM FRAMES\n", argv[0]);
    return 2;
  }
  const std::string name = argv[1];
  const int64_t frames = std::atoll(argv[2]);
  for (const auto& stream : kStreams) {
    if (name != stream.name) continue;
    Random random;
    FrameVerdict verdict(sizeof(canfd_frame::data));
    for (int64_t i = 0; i < frames; ++i) verdict.Take(stream.frame(i, &random));
    return 0;
  }
  std::fprintf(stderr, "%s: no stream %s\n", argv[0], argv[1]);
  return 2;
}
