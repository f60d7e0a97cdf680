// SPDX-License-Identifier: MIT
#include "time/CTimeStamp.h"

#include "time/WallClock.h"

CTimeStamp* CTimeStamp::m_instance = nullptr;

CTimeStamp* CTimeStamp::GetInstance() {
  if (m_instance == nullptr) {
    m_instance = new CTimeStamp();
    m_instance->Init();
  }
  return m_instance;
}

bool CTimeStamp::Init() {
  m_start = WallClockMicros();
  return true;
}

int64_t CTimeStamp::GetStamp() const { return WallClockMicros() - m_start; }
