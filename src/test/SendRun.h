// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "can/ErrorFrames.h"
#include "can/FrameImage.h"
#include "can/LinkQuery.h"
#include "report/AfterTheTotals.h"
#include "report/BusLimitLine.h"
#include "report/LostLine.h"
#include "report/RefusalLine.h"
#include "report/StatusLine.h"
#include "report/TroubleLine.h"
#include "report/UntransmittedLine.h"
#include "test/CanTester.h"
#include "frame/GrowPayload.h"
#include "test/RateLine.h"
#include "time/CTimeStamp.h"
#include "time/Clock.h"

template <class Variant>
bool CanTester<Variant>::SendFrame() {
  unsigned char payload[kPayload];
  std::memset(payload, static_cast<unsigned char>(m_data), sizeof payload);
  const uint32_t mask = IdentifierMask(m_frameType);
  uint32_t nextId = m_id;
  const LinkFacts& before = m_linkBefore;
  ErrorFrames errors(m_can->m_ifindex, before.can);
  StatusLine status(StatusShown(false), m_can->m_ifindex, before);
  status.WatchSend(&m_can->m_refusals, SentBits(payload), m_sleepTime > 0);
  status.WatchErrors(&errors);
  CTimeStamp::GetInstance()->Init();
  int64_t total = 0;
  for (;;) {
    uint32_t id = m_id;
    if (m_grow != 0) {
      id = nextId & mask;
      PutGrowId(payload, id);
      nextId = id + 1;
    }
    // A step of many frames ends early once the grace after Ctrl-C is over.
    total += m_can->Write(m_frameType, static_cast<int>(id), m_dlc, payload,
                          [] { return QuitGraceOver(); });
    // A pause of 0 takes none: even usleep(0) sleeps for the timer slack,
    // which would cap the rate far below what the bus carries.
    if (m_sleepTime > 0) Pause(m_sleepTime);
    if (status.Due()) status.Check(total);
    if (m_quitSingle.load()) break;
    if (m_count > 0 && --m_count == 0) break;
  }
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
  const std::string trouble =
      TroubleLine(device, before, after, errors.Drain());
  PrintAfterTheTotals(LostLine(device, before, after) + trouble);
  PrintLinkAfterTheRun(device, before, after, trouble, m_explain != 0);
  return false;
}

template <class Variant>
void CanTester<Variant>::Pause(int micros) {
  for (int64_t left = micros; left > 0 && !QuitGraceOver();
       left -= kQuitGraceMicros) {
    PauseMicros(static_cast<int>(std::min(left, kQuitGraceMicros)));
  }
}

template <class Variant>
FrameBitsRange CanTester<Variant>::SentBits(
    const unsigned char* payload) const {
  const FrameFormat& format = m_can->m_format;
  if (m_grow != 0) return format.BusBitsRange(m_frameType, m_dlc);
  const FrameBits bits = format.BusBits(m_frameType, m_id, m_dlc, payload);
  return {bits, bits};
}
