// SPDX-License-Identifier: MIT
#include "testsupport/GrowStreamTesting.h"

#include <algorithm>
#include <map>

#include "can/FrameImage.h"
#include "frame/GrowPayload.h"
#include "testsupport/Interleaving.h"

void GrowStreamTesting::AddSender(uint32_t flags, unsigned length,
                                  unsigned char fill,
                                  const std::vector<Run>& runs) {
  const uint32_t mask = IdentifierMaskOf(flags);
  Truth truth;
  std::vector<canfd_frame> sent;
  for (const Run& run : runs) {
    std::vector<int64_t> steps;  // each frame's step, in the order they came
    for (int64_t step = 0; step < run.steps; ++step) {
      for (int frame = 0; frame < run.perStep; ++frame) {
        if (Chance() < run.loss) continue;
        steps.insert(steps.end(), Chance() < run.twice ? 2 : 1, step);
      }
    }
    if (run.lateFrames > 0 && run.steps > run.lateSteps + 2) {
      const auto from = std::lower_bound(steps.begin(), steps.end(),
                                         run.steps - run.lateSteps - 2);
      const auto to = std::upper_bound(from, steps.end(),
                                       *from + run.lateSteps);
      if (to - from > run.lateFrames) std::rotate(from, from + run.lateFrames, to);
    }
    std::map<int64_t, int64_t> counts;
    int64_t highest = -1;
    for (const int64_t step : steps) {
      truth.outOfOrder += step < highest ? 1 : 0;
      highest = std::max(highest, step);
      ++counts[step];
      canfd_frame frame{};
      const uint32_t id = (run.firstId + static_cast<uint32_t>(step)) & mask;
      frame.can_id = flags | id;
      frame.len = static_cast<__u8>(length);
      FillGrowPayload(frame.data, sizeof frame.data, length, id, fill);
      sent.push_back(frame);
    }
    truth.frames += static_cast<int64_t>(steps.size());
    if (counts.size() < 2) continue;  // it never rose
    const int64_t first = counts.begin()->first, last = counts.rbegin()->first;
    for (int64_t step = first; step <= last; ++step) {
      const int64_t count = counts.count(step) != 0 ? counts[step] : 0;
      truth.repeated += std::max<int64_t>(0, count - run.perStep);
      if (step != first && step != last) {
        truth.missing += std::max<int64_t>(0, run.perStep - count);
      }
    }
    if (truth.sequences++ == 0) {
      truth.firstId = (run.firstId + static_cast<uint32_t>(first)) & mask;
      truth.fewestPerStep = run.perStep;
    }
    truth.lastId = (run.firstId + static_cast<uint32_t>(last)) & mask;
    truth.fewestPerStep = std::min<int64_t>(truth.fewestPerStep, run.perStep);
    truth.mostPerStep = std::max<int64_t>(truth.mostPerStep, run.perStep);
  }
  m_lists.push_back(std::move(sent));
  m_truths.push_back(truth);
}

void GrowStreamTesting::AddOther(const canfd_frame& frame, int64_t count) {
  std::vector<canfd_frame> frames(static_cast<size_t>(count), frame);
  for (canfd_frame& other : frames) {
    if (frame.len <= CANFD_MAX_DLEN) continue;
    other.can_id = Random(CAN_SFF_MASK + 1);
    other.len = static_cast<__u8>(Random(9));
    for (unsigned char& byte : other.data) {
      byte = static_cast<unsigned char>(Random(256));
    }
  }
  m_lists.push_back(std::move(frames));
}

std::vector<canfd_frame> GrowStreamTesting::Frames() {
  return Interleaved(m_lists, [this](uint32_t below) { return Random(below); });
}

const ShapeTotals* GrowStreamTesting::LineOf(const VerdictReport& report,
                                             size_t sender) const {
  const canfd_frame& frame = m_lists[sender].front();
  for (int i = 0; i < report.shapeCount; ++i) {
    const ShapeTotals& line = report.shapes[i];
    if (line.kindBits == (frame.can_id & CAN_EFF_FLAG) &&
        line.length == frame.len &&
        line.fill == (frame.len > kGrowIdBytes ? frame.data[4] : -1)) {
      return &line;
    }
  }
  return nullptr;
}
