// SPDX-License-Identifier: MIT
#include "test/RunBounds.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>

#include "can/RawSocket.h"
#include "can/SystemCalls.h"
#include "time/Clock.h"

bool RunBounds::WatchQuiet(int socket) const {
  if (m_quietMicros == 0) return true;
  const int64_t look =
      std::clamp(m_quietMicros / kLooksPerQuiet, kFewestLookMicros,
                 int64_t{kSocketTimeoutSeconds} * 1000000);
  const timeval timeout{static_cast<time_t>(look / 1000000),
                        static_cast<suseconds_t>(look % 1000000)};
  return sys::SetSockOpt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout,
                         sizeof timeout) == 0;
}

bool RunBounds::Start() {
  m_quietSince = ClockMicros();
  if (m_durationMicros == 0) return true;
  m_armed = sys::Alarm(m_durationMicros) == 0;
  return m_armed;
}

bool RunBounds::Quiet(int64_t count) {
  if (m_quietMicros == 0) return false;
  const int64_t now = ClockMicros();
  if (count != m_seenCount) {
    m_seenCount = count;
    m_quietSince = now;
    return false;
  }
  return now - m_quietSince >= m_quietMicros;
}

void RunBounds::Stop() {
  if (m_armed) sys::Alarm(0);
  m_armed = false;
}
