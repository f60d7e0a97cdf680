// SPDX-License-Identifier: MIT
#include "can/FdFormat.h"

#include <linux/can/raw.h>
#include <sys/ioctl.h>

#include "can/SetUpFailure.h"
#include "can/SystemCalls.h"

// The messages are the programs' interface, matched byte for byte by scripts
// and the tests.

bool FdFormat::PrepareSocket(int socket, ifreq* ifr) const {
  if (sys::Ioctl(socket, SIOCGIFMTU, ifr) < 0) {
    SetUpFailedWithError("SIOCGIFMTU");
    return false;
  }
  if (ifr->ifr_mtu != CANFD_MTU) {
    SetUpFailed("CAN interface is not CAN FD capable - sorry.");
    return false;
  }
  const int enable = 1;
  if (sys::SetSockOpt(socket, SOL_CAN_RAW, CAN_RAW_FD_FRAMES, &enable,
                      sizeof enable) != 0) {
    SetUpFailed("error when enabling CAN FD support");
    return false;
  }
  return true;
}
