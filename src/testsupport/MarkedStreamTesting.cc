// SPDX-License-Identifier: MIT
#include "testsupport/MarkedStreamTesting.h"

#include <algorithm>
#include <set>
#include <utility>

#include "can/FrameImage.h"
#include "frame/GrowPayload.h"
#include "frame/Mark.h"
#include "testsupport/Interleaving.h"

namespace {

// What became of a number: it came, or came damaged; `key` orders them.
struct Delivery {
  int64_t number;
  bool damaged;
  bool garbled;
  double key;
};

}  // namespace

void MarkedStreamTesting::AddSender(uint32_t canId, bool grow,
                                    unsigned length, bool brs,
                                    unsigned char fill,
                                    const std::vector<Run>& runs) {
  std::uniform_real_distribution<double> chance(0, 1);
  const uint32_t mask = IdentifierMaskOf(canId);
  std::vector<canfd_frame> sent;
  for (const Run& run : runs) {
    Truth truth;
    do {
      truth.tag = Random(kMarkTagMask + 1);
    } while (std::any_of(m_truths.begin(), m_truths.end(),
                         [&](const Truth& t) { return t.tag == truth.tag; }));
    const Faults& f = run.faults;
    std::vector<Delivery> deliveries;
    for (int64_t n = 0; n < run.frames; ++n) {
      if (n == f.gapAt) n += f.gapFrames;
      if (n >= run.frames) break;
      if (chance(m_random) < f.loss) continue;
      const int copies = chance(m_random) < f.twice ? 2 : 1;
      for (int copy = 0; copy < copies; ++copy) {
        const auto at = static_cast<double>(deliveries.size());
        const double delay =
            chance(m_random) < f.late
                ? static_cast<double>(1 + Random(static_cast<uint32_t>(f.lateBy))) + 0.5
                : 0;
        deliveries.push_back({n, length > kMarkBytes + 1 && chance(m_random) < f.damage,
                              chance(m_random) < f.garble, at + delay});
      }
    }
    std::stable_sort(deliveries.begin(), deliveries.end(),
                     [](const Delivery& a, const Delivery& b) { return a.key < b.key; });
    std::set<int64_t> seen;
    for (const Delivery& d : deliveries) {
      canfd_frame frame{};
      const uint32_t id =
          grow ? (canId + static_cast<uint32_t>(d.number / run.perStep)) & mask
               : canId & mask;
      frame.can_id = (canId & ~mask) | id;
      frame.len = static_cast<__u8>(length);
      frame.flags = brs ? CANFD_BRS : 0;
      std::fill(frame.data, frame.data + length, fill);
      const bool last = run.counted && d.number == run.frames - 1;
      StoreMark(frame.data,
                MarkWord(MarkFrameWord(frame.can_id, length, brs,
                                       length > kMarkBytes ? fill : 0),
                         static_cast<uint64_t>(d.number), truth.tag, last));
      if (d.garbled) {
        frame.data[Random(kMarkBytes)] ^= static_cast<unsigned char>(1u << Random(8));
        ++m_other;
      } else {
        if (d.damaged) {
          frame.data[kMarkBytes + 1 + Random(length - kMarkBytes - 1)] ^=
              static_cast<unsigned char>(1u << Random(8));
        }
        ++truth.frames;
        truth.damaged += d.damaged ? 1 : 0;
        truth.outOfOrder += d.number < truth.latest ? 1 : 0;
        truth.repeated += seen.insert(d.number).second ? 0 : 1;
        truth.latest = std::max(truth.latest, d.number);
        truth.lastCame = truth.lastCame || last;
      }
      sent.push_back(frame);
    }
    truth.missing = truth.latest + 1 - static_cast<int64_t>(seen.size());
    m_truths.push_back(truth);
  }
  m_senders.push_back(std::move(sent));
}

std::vector<canfd_frame> MarkedStreamTesting::Frames(int64_t others) {
  std::vector<std::vector<canfd_frame>> lists = m_senders;
  lists.emplace_back();
  for (int64_t i = 0; i < others; ++i) {
    canfd_frame frame{};
    const bool plain = Random(2) == 0;
    frame.can_id = plain ? 0x181 : Random(CAN_SFF_MASK + 1);
    frame.len = static_cast<__u8>(plain ? 8 : Random(9));
    for (unsigned char& byte : frame.data) {
      byte = static_cast<unsigned char>(plain ? 0x5A : Random(256));
    }
    lists.back().push_back(frame);
  }
  m_other += others;
  return Interleaved(lists, [this](uint32_t below) { return Random(below); });
}
