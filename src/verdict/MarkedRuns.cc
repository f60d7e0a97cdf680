// SPDX-License-Identifier: MIT
#include "verdict/MarkedRuns.h"

#include <linux/can.h>

#include <algorithm>

#include "can/FrameImage.h"

namespace {

constexpr int64_t kNumberSpan = int64_t{1} << kMarkNumberBits;
// A frame up to this many numbers behind its run's latest reads as late,
// one further as ahead: so delays and gaps of up to 2^23 (8.4 million)
// frames read right, ten minutes of the fastest classic frames and more.
// The check, which covers the number's upper bits, fails a frame read the
// wrong way.
constexpr int64_t kFarthestBehind = int64_t{1} << 23;

// The full number of a frame whose low bits are `low`, near `latest`.
int64_t Expand(int64_t latest, uint64_t low) {
  const auto ahead = static_cast<int64_t>(
      (low - static_cast<uint64_t>(latest)) & kMarkNumberMask);
  return ahead < kNumberSpan - kFarthestBehind ? latest + ahead
                                               : latest - (kNumberSpan - ahead);
}

// The payload of a frame sent without the mark, in plain or grow mode:
// every frame of such a run is alike, so one that passed the check by
// chance would pass it again and again.
bool LooksUnmarked(uint32_t canId, uint64_t word) {
  if (word == EveryByte(static_cast<unsigned char>(word))) return true;
  const auto low = static_cast<uint32_t>(word);
  const auto high = static_cast<uint32_t>(word >> 32);
  return low == (canId & IdentifierMaskOf(canId)) &&
         high == (high & 0xFF) * 0x01010101u;
}

void Merge(MarkedTotals* line, const MarkedTotals& run) {
  line->runs += run.runs;
  line->frames += run.frames;
  line->lastCame = line->lastCame && run.lastCame;
  line->missing += run.missing;
  line->repeated += run.repeated;
  line->outOfOrder += run.outOfOrder;
  line->damaged += run.damaged;
  line->exact = line->exact && run.exact;
  for (int i = 0; i < run.placeCount; ++i) {
    if (line->placeCount < MarkedTotals::kPlaces) {
      line->places[line->placeCount++] = run.places[i];
    } else {
      line->morePlaces = true;
    }
  }
  line->morePlaces = line->morePlaces || run.morePlaces;
}

}  // namespace

MarkedRuns::Slot* MarkedRuns::Find(uint32_t tag) {
  for (Slot& slot : m_slots) {
    if (slot.used && slot.run.Tag() == tag) return &slot;
  }
  return nullptr;
}

bool MarkedRuns::Ended(uint32_t tag) const {
  return std::find(m_ended, m_ended + m_endedCount, tag) !=
         m_ended + m_endedCount;
}

MarkedRuns::Slot* MarkedRuns::Open(int64_t index) {
  Slot* slot = nullptr;
  for (Slot& candidate : m_slots) {
    if (!candidate.used) {
      slot = &candidate;
      break;
    }
    if (slot == nullptr || candidate.lastUse < slot->lastUse) {
      slot = &candidate;
    }
  }
  if (slot->used) End(slot);
  slot->used = true;
  slot->lastUse = index;
  return slot;
}

void MarkedRuns::AddLater(const MarkedTotals& totals) {
  if (m_hasLater) {
    Merge(&m_later, totals);
  } else {
    m_later = totals;
  }
  m_hasLater = true;
}

void MarkedRuns::End(Slot* slot) {
  const MarkedTotals totals = slot->run.Finish();
  m_frames += totals.frames;
  if (m_endedCount < kEndedTags) {
    m_ended[m_endedCount++] = totals.tag;
  } else {
    std::copy(m_ended + 1, m_ended + kEndedTags, m_ended);
    m_ended[kEndedTags - 1] = totals.tag;
  }
  slot->used = false;
  if (m_fast == slot) m_fast = &m_none;
  // The earliest runs keep lines of their own.
  MarkedTotals* const end = m_lines + m_lineCount;
  MarkedTotals* at = std::upper_bound(
      m_lines, end, totals.order,
      [](int64_t order, const MarkedTotals& line) { return order < line.order; });
  if (m_lineCount == VerdictReport::kLines) {
    if (at == end) {
      AddLater(totals);
      return;
    }
    AddLater(m_lines[VerdictReport::kLines - 1]);
    --m_lineCount;
  }
  std::copy_backward(at, m_lines + m_lineCount, m_lines + m_lineCount + 1);
  *at = totals;
  ++m_lineCount;
}

bool MarkedRuns::Take(uint32_t canId, unsigned length, bool brs,
                      const unsigned char* data, unsigned capacity,
                      int64_t index) {
  if (length < kMarkBytes || length > capacity ||
      (canId & (CAN_RTR_FLAG | CAN_ERR_FLAG)) != 0) {
    return false;
  }
  const uint64_t word = LoadMark(data);
  const uint32_t tag = MarkTagOf(word);
  const bool last = MarkLastOf(word);
  const uint64_t frameWord = MarkFrameWord(
      canId, length, brs, length > kMarkBytes ? data[kMarkBytes] : 0);
  const uint64_t check = MarkCheckOf(word);
  const PayloadRest rest(length);
  const bool damaged = length > kMarkBytes + 1 && !FillsRest(data, rest);
  Slot* slot = Find(tag);
  if (slot != nullptr) {
    slot->lastUse = index;
    const int64_t number = Expand(slot->run.Latest(), MarkNumberOf(word));
    if (number >= 0 && MarkCheck(frameWord, static_cast<uint64_t>(number),
                                 tag, last) == check) {
      slot->run.Take(number, last, damaged);
      m_fast = slot;
      return true;
    }
    // Read the other way: a gap or a delay beyond what the low bits tell.
    // The number is then likely, not sure: each try is one more chance for
    // a damaged frame to pass.
    for (const int64_t other : {number + kNumberSpan, number - kNumberSpan}) {
      if (other >= 0 && MarkCheck(frameWord, static_cast<uint64_t>(other), tag,
                                  last) == check) {
        slot->run.Take(other, last, damaged);
        slot->run.Unsure();
        m_fast = slot;
        return true;
      }
    }
    return false;
  }
  const uint64_t number = MarkNumberOf(word);
  if (MarkCheck(frameWord, number, tag, last) != check ||
      LooksUnmarked(canId, word)) {
    return false;
  }
  slot = Open(index);
  slot->run.Begin(tag, static_cast<int64_t>(number), m_order++, last,
                  damaged);
  if (Ended(tag)) slot->run.Unsure();
  slot->tagInMark = uint64_t{tag} << kMarkNumberBits;
  slot->tagInRun = MarkRunWord(0, tag, false);
  slot->fillMask = length > kMarkBytes ? 0xFF : 0;
  slot->length = length;
  slot->rest = rest;
  m_fast = slot;
  return true;
}

void MarkedRuns::Finish(VerdictReport* report) {
  for (Slot& slot : m_slots) {
    if (slot.used) End(&slot);
  }
  report->markedCount = m_lineCount;
  std::copy(m_lines, m_lines + m_lineCount, report->marked);
  if (m_hasLater) {
    Merge(&report->marked[VerdictReport::kLines - 1], m_later);
  }
}
