// SPDX-License-Identifier: MIT
#include "can/ErrorFrames.h"

#include <linux/can/error.h>
#include <linux/can/raw.h>

#include <algorithm>

#include "can/RawSocket.h"
#include "can/SystemCalls.h"

namespace {

// No data frames (an empty filter list), every class of error frame, and
// the count of the socket's own drops with each frame read.
bool SetUp(int socket, int ifindex) {
  const can_err_mask_t everyError = CAN_ERR_MASK;
  const int on = 1;
  sockaddr_can address{};
  address.can_family = AF_CAN;
  address.can_ifindex = ifindex;
  return sys::SetSockOpt(socket, SOL_CAN_RAW, CAN_RAW_FILTER, nullptr, 0) ==
             0 &&
         sys::SetSockOpt(socket, SOL_CAN_RAW, CAN_RAW_ERR_FILTER, &everyError,
                         sizeof everyError) == 0 &&
         sys::SetSockOpt(socket, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on) ==
             0 &&
         sys::Bind(socket, reinterpret_cast<const sockaddr*>(&address),
                   sizeof address) == 0;
}

}  // namespace

ErrorFrames::ErrorFrames(int ifindex, bool watch) {
  if (!watch) return;
  m_socket = sys::Socket(PF_CAN, SOCK_RAW, CAN_RAW);
  if (m_socket >= 0 && !SetUp(m_socket, ifindex)) {
    sys::Close(m_socket);
    m_socket = -1;
  }
}

ErrorFrames::~ErrorFrames() {
  if (m_socket >= 0) sys::Close(m_socket);
}

const ErrorCounts& ErrorFrames::Drain() {
  if (m_socket < 0) return m_counts;
  uint32_t drops = static_cast<uint32_t>(m_counts.dropped);
  for (int read = 0; read < kMostPerDrain; ++read) {
    can_frame frame;
    if (sys::ReadNowCountingDrops(m_socket, &frame, sizeof frame, &drops) !=
        static_cast<ssize_t>(sizeof frame)) {
      break;
    }
    if ((frame.can_id & CAN_ERR_FLAG) != 0) CountErrorFrame(frame, &m_counts);
  }
  // A frame tells the drops up to its own arrival; the kernel's count, where
  // it tells one (Linux 4.12 on), also those since the last frame.
  uint32_t latest = 0;
  if (ReceiveDrops(m_socket, &latest)) drops = std::max(drops, latest);
  m_counts.dropped = drops;
  return m_counts;
}
