// SPDX-License-Identifier: MIT
#include "can/FdFormat.h"

#include <linux/can/raw.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>

#include "can/SetUpFailure.h"
#include "can/SystemCalls.h"

// The messages are the programs' interface, matched byte for byte by scripts
// and the tests.

namespace {

// An interface of the CAN XL range of MTUs carries CAN FD frames too. That
// range holds Ethernet's 1500, so only a CAN device (hardware type
// ARPHRD_CAN) is taken by it.
bool CarriesCanFd(int socket, const ifreq& ifr) {
  if (ifr.ifr_mtu < static_cast<int>(CANXL_MIN_MTU) ||
      ifr.ifr_mtu > static_cast<int>(CANXL_MAX_MTU)) {
    return false;
  }
  ifreq hardware = ifr;
  return sys::Ioctl(socket, SIOCGIFHWADDR, &hardware) == 0 &&
         hardware.ifr_hwaddr.sa_family == ARPHRD_CAN;
}

}  // namespace

bool FdFormat::PrepareSocket(int socket, ifreq* ifr) const {
  if (sys::Ioctl(socket, SIOCGIFMTU, ifr) < 0) {
    SetUpFailedWithError("SIOCGIFMTU");
    return false;
  }
  if (ifr->ifr_mtu != CANFD_MTU && !CarriesCanFd(socket, *ifr)) {
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
