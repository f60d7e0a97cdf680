// SPDX-License-Identifier: MIT
#include "time/CTimeStamp.h"

#include "time/Clock.h"

CTimeStamp* CTimeStamp::m_instance = nullptr;

CTimeStamp* CTimeStamp::GetInstance() {
  if (m_instance == nullptr) {
    m_instance = new CTimeStamp();
    m_instance->Init();
  }
  return m_instance;
}

bool CTimeStamp::Init() {
  m_start = ClockMicros();
  return true;
}

int64_t CTimeStamp::GetStamp() const { return ClockMicros() - m_start; }
