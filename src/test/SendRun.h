// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "can/ErrorFrames.h"
#include "can/FrameImage.h"
#include "can/LinkQuery.h"
#include "can/TransmitWait.h"
#include "report/AfterTheTotals.h"
#include "report/BusLimitLine.h"
#include "report/LostLine.h"
#include "report/MarkedRunLine.h"
#include "report/RefusalLine.h"
#include "report/StatusLine.h"
#include "report/TroubleLine.h"
#include "report/UntransmittedLine.h"
#include "test/CanTester.h"
#include "frame/GrowPayload.h"
#include "frame/MarkStamp.h"
#include "test/RateLine.h"
#include "test/RunBounds.h"
#include "time/CTimeStamp.h"
#include "time/Clock.h"

template <class Variant>
bool CanTester<Variant>::SendFrame() {
  unsigned char payload[kPayload];
  std::memset(payload, static_cast<unsigned char>(m_data), sizeof payload);
  RunBounds bounds(m_unattended);
  if (!Prepare(&bounds)) return false;
  const LinkFacts& before = m_linkBefore;
  ErrorFrames errors(m_can->m_ifindex, before.can);
  StatusLine status(StatusShown(false), m_can->m_ifindex, before);
  status.WatchSend(&m_can->m_refusals, SentBits(payload), m_sleepTime > 0);
  status.WatchErrors(&errors);
  int64_t total = 0;
  if (m_mark != 0) {
    MarkStamp marks(DrawTag());
    PrintAfterTheTotals(MarkedRunStartLine(marks.Tag(), m_can->m_device));
    m_summary.marked = true;
    m_summary.markTag = marks.Tag();
    total = m_grow != 0 ? SendSteps<true>(marks, payload, &status)
                        : SendSteps<false>(marks, payload, &status);
  } else {
    NoMarks none;
    total = m_grow != 0 ? SendSteps<true>(none, payload, &status)
                        : SendSteps<false>(none, payload, &status);
  }
  bounds.Stop();
  status.Erase();
  printf("\nsend frames:%lld\n", static_cast<long long>(total));
  const int64_t elapsed = CTimeStamp::GetInstance()->GetStamp();
  PrintRate(total, elapsed, Variant::kRateAtAnyTime);
  const LinkFacts after = ReadLinkFacts(m_can->m_ifindex);
  const FrameBitsRange bits = SentBits(payload);
  const char* device = m_can->m_device;
  PrintAfterTheTotals(
      RefusalLine(device, m_can->m_refusals, Unacknowledged(before, after)));
  const LinkFacts latest = AwaitTransmission(
      m_can->m_ifindex, before, after, total, FrameNanosOn(after, bits.most));
  PrintAfterTheTotals(UntransmittedLine(device,
                                        Untransmitted(before, latest, total),
                                        Unacknowledged(before, latest)));
  PrintAfterTheTotals(BusLimitLine(device, after, bits, total, elapsed));
  const ErrorCounts errorCounts = errors.Drain();
  const std::string trouble = TroubleLine(device, before, after, errorCounts);
  PrintAfterTheTotals(LostLine(device, before, after) + trouble);
  PrintLinkAfterTheRun(device, before, after, trouble, m_explain != 0);
  m_summary.Sent(m_quitSingle.load() ? QuitEnding() : Ending::kCount, total,
                 elapsed, m_can->m_refusals, bits);
  m_summary.Facts(before, after, latest);
  m_summary.errors = errorCounts;
  return false;
}

template <class Variant>
template <bool kGrow, class Marks>
[[gnu::always_inline]] inline int64_t CanTester<Variant>::SendSteps(Marks& marks, unsigned char* payload,
                                      StatusLine* status) {
  const uint32_t mask = IdentifierMask(m_frameType);
  uint32_t nextId = m_id;
  CTimeStamp::GetInstance()->Init();
  int64_t total = 0;
  for (;;) {
    uint32_t id = m_id;
    if constexpr (kGrow) {
      id = nextId & mask;
      PutGrowId(payload, id);
      nextId = id + 1;
    }
    // A step of many frames ends early once the grace after Ctrl-C is over.
    // The last step of a counted run is known: a marked run marks its end.
    total += m_can->Write(m_frameType, static_cast<int>(id), m_dlc, payload,
                          [] { return QuitGraceOver(); }, marks, m_count == 1);
    // A pause of 0 takes none: even usleep(0) sleeps for the timer slack,
    // which would cap the rate far below what the bus carries.
    if (m_sleepTime > 0) Pause(m_sleepTime);
    if (status->Due()) status->Check(total);
    if (m_quitSingle.load()) break;
    if (m_count > 0 && --m_count == 0) break;
  }
  return total;
}

template <class Variant>
void CanTester<Variant>::Pause(int micros) {
  for (int64_t left = micros; left > 0 && !QuitGraceOver();
       left -= kQuitGraceMicros) {
    PauseMicros(static_cast<int>(std::min(left, kQuitGraceMicros)));
  }
}

template <class Variant>
uint32_t CanTester<Variant>::DrawTag() {
  uint32_t tag = 0;
  if (sys::GetRandom(&tag, sizeof tag) != sizeof tag) {
    tag = static_cast<uint32_t>(ClockNanos());
  }
  return tag;
}

template <class Variant>
FrameBitsRange CanTester<Variant>::SentBits(
    const unsigned char* payload) const {
  const FrameFormat& format = m_can->m_format;
  // Grown identifiers and marks change the frames' bits from frame to frame.
  if (m_grow != 0 || m_mark != 0) {
    return format.BusBitsRange(m_frameType, m_dlc);
  }
  const FrameBits bits = format.BusBits(m_frameType, m_id, m_dlc, payload);
  return {bits, bits};
}
