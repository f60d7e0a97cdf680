// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "test/CanTester.h"
#include "test/LossReport.h"
#include "test/RateLine.h"
#include "test/SettingLimits.h"
#include "time/CTimeStamp.h"
#include "time/WallClock.h"

template <class Variant>
bool CanTester<Variant>::SendFrame() {
  unsigned char payload[kPayload];
  std::memset(payload, static_cast<unsigned char>(m_data), sizeof payload);
  const uint32_t mask = IdentifierMask(m_frameType);
  uint32_t nextId = m_id;
  CTimeStamp::GetInstance()->Init();
  int64_t total = 0;
  for (;;) {
    uint32_t id = m_id;
    if (m_grow != 0) {
      id = nextId & mask;
      for (int byte = 0; byte < 4; ++byte) {
        payload[byte] = static_cast<unsigned char>(id >> (8 * byte));
      }
      nextId = id + 1;
    }
    total += m_can->Write(m_frameType, static_cast<int>(id), m_dlc, payload);
    // A pause of 0 takes none: even usleep(0) sleeps for the timer slack,
    // which would cap the rate far below what the bus carries.
    if (m_sleepTime > 0) PauseMicros(m_sleepTime);
    if (m_quitSingle.load()) break;
    if (m_count > 0 && --m_count == 0) break;
  }
  printf("\nsend frames:%lld\n", static_cast<long long>(total));
  PrintRate(total, CTimeStamp::GetInstance()->GetStamp(),
            Variant::kRateAtAnyTime);
  ReportRefusals(m_can->m_device, m_can->m_refusals);
  return false;
}
