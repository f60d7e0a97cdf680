// SPDX-License-Identifier: MIT
#include "testsupport/GrowStreamTesting.h"

#include <algorithm>

#include "can/FrameImage.h"
#include "frame/GrowPayload.h"

canfd_frame GrowStreamTesting::Frame(uint32_t flags, uint32_t id,
                                     unsigned length, unsigned char fill) {
  canfd_frame frame{};
  frame.can_id = flags | id;
  frame.len = static_cast<__u8>(length);
  FillGrowPayload(frame.data, sizeof frame.data, length, id, fill);
  return frame;
}

void GrowStreamTesting::AddSender(uint32_t flags, unsigned length,
                                  unsigned char fill,
                                  const std::vector<Run>& runs,
                                  const Faults& faults) {
  const uint32_t mask = IdentifierMaskOf(flags);
  std::uniform_real_distribution<double> chance(0, 1);
  SequenceTotals made;
  made.fewestPerStep = ~uint64_t{0};
  Truth truth;
  std::vector<canfd_frame> sent;
  for (const Run& run : runs) {
    // The steps of the frames in the order they come, and how many frames
    // count for each step.
    const auto n = static_cast<size_t>(run.steps);
    std::vector<size_t> steps;
    std::vector<int64_t> counts(n);
    for (size_t step = 0; step < n; ++step) {
      for (int frame = 0; frame < run.perStep; ++frame) {
        if (chance(m_random) < faults.loss) continue;
        const int copies = chance(m_random) < faults.twice ? 2 : 1;
        steps.insert(steps.end(), static_cast<size_t>(copies), step);
        counts[step] += copies;
      }
    }
    // Each late run from a part of the send run of its own, away from its
    // edges, moved behind the frames of a step `lateSteps` further.
    for (size_t i = 0; i < static_cast<size_t>(faults.lateRuns); ++i) {
      const size_t from = n * i / static_cast<size_t>(faults.lateRuns + 1) + 2;
      const auto begin = std::lower_bound(steps.begin(), steps.end(), from);
      if (steps.end() - begin <= faults.lateFrames) break;
      const auto end = begin + faults.lateFrames;
      const size_t to = *(end - 1) + static_cast<size_t>(faults.lateSteps);
      if (to >= n - 2) break;
      const auto at = std::upper_bound(end, steps.end(), to);
      for (auto late = begin; late != end; ++late) {
        made.outOfOrder += *(at - 1) > *late ? 1 : 0;
        if (*(at - 1) - *late >= 128) --counts[*late];  // beyond the window
      }
      std::rotate(begin, end, at);
    }
    size_t first = 0, last = n - 1;
    while (first < last && counts[first] == 0) ++first;
    while (last > first && counts[last] == 0) --last;
    for (size_t step = first; step <= last; ++step) {
      made.repeated += std::max<int64_t>(0, counts[step] - run.perStep);
      if (step == first || step == last || counts[step] >= run.perStep)
        continue;
      made.missing += run.perStep - counts[step];
      truth.lacking.push_back((run.firstId + static_cast<uint32_t>(step)) &
                              mask);
    }
    made.sequences += 1;
    made.frames += static_cast<int64_t>(steps.size());
    made.fewestPerStep = std::min<uint64_t>(made.fewestPerStep,
                                            static_cast<uint64_t>(run.perStep));
    made.mostPerStep = std::max<uint64_t>(made.mostPerStep,
                                          static_cast<uint64_t>(run.perStep));
    for (size_t step : steps) {
      sent.push_back(Frame(flags,
                           (run.firstId + static_cast<uint32_t>(step)) & mask,
                           length, fill));
    }
  }
  truth.counts = Counts(made);
  m_senders.push_back(sent);
  m_truths.push_back(truth);
}

canfd_frame GrowStreamTesting::OtherFrame() {
  canfd_frame frame{};
  const uint32_t flags = Random(2) == 1 ? CAN_EFF_FLAG : 0;
  frame.can_id = Random(IdentifierMaskOf(flags)) | flags;
  frame.len = static_cast<__u8>(Random(9));
  for (unsigned char& byte : frame.data) {
    byte = static_cast<unsigned char>(Random(256));
  }
  // CANopen's SYNC, a node's heartbeat, remote frames, a value sent over
  // and over, random frames.
  switch (Random(5)) {
    case 0: return canfd_frame{0x080, 0, 0, 0, 0, {}};
    case 1: return canfd_frame{0x705, 1, 0, 0, 0, {0x05}};
    case 2: frame.can_id |= CAN_RTR_FLAG; break;
    case 3: frame.can_id = 0x181; break;
    default: break;
  }
  return frame;
}

std::vector<canfd_frame> GrowStreamTesting::Frames(double share) {
  size_t left = 0;
  for (const auto& sender : m_senders) left += sender.size();
  m_other =
      static_cast<int64_t>(static_cast<double>(left) * share / (1 - share));
  std::vector<std::vector<canfd_frame>> lists = m_senders;
  lists.emplace_back(static_cast<size_t>(m_other));
  for (canfd_frame& frame : lists.back()) frame = OtherFrame();
  std::vector<canfd_frame> frames;
  std::vector<size_t> next(lists.size());
  for (left += lists.back().size(); left > 0; --left) {
    size_t pick = Random(static_cast<uint32_t>(left)), list = 0;
    for (; pick >= lists[list].size() - next[list]; ++list) {
      pick -= lists[list].size() - next[list];
    }
    frames.push_back(lists[list][next[list]++]);
  }
  return frames;
}

std::vector<int64_t> GrowStreamTesting::Counts(const SequenceTotals& line) {
  return {line.frames,
          line.sequences,
          static_cast<int64_t>(line.fewestPerStep),
          static_cast<int64_t>(line.mostPerStep),
          line.missing,
          line.repeated,
          line.outOfOrder};
}

void GrowStreamTesting::AddRun(std::vector<Run>* runs, int64_t steps,
                               int perStep, uint32_t mask) {
  uint32_t first = Random(0x800);
  for (int tries = 0; !runs->empty() && tries < 20; ++tries) {
    const Run& before = runs->back();
    const uint32_t next =
        tries == 0 && Random(3) != 0
            ? before.firstId
            : before.firstId + Random(static_cast<uint32_t>(before.steps));
    first = next & mask;
    if (((next - before.firstId - static_cast<uint32_t>(before.steps - 1)) &
         mask) > 128)
      break;
  }
  runs->push_back({first, steps, perStep});
}

const SequenceTotals* GrowStreamTesting::LineOf(const SequenceReport& report,
                                                size_t sender) const {
  const canfd_frame& frame = m_senders[sender].front();
  for (const SequenceTotals& line : report.lines) {
    if (line.kindBits == (frame.can_id & ~line.firstMask) &&
        line.length == frame.len &&
        line.fill == (frame.len > 4 ? frame.data[4] : -1)) {
      return &line;
    }
  }
  return nullptr;
}
