// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "can/LinkFacts.h"

// The lines on standard error, before a run, of the settings of the
// controller of `device` that spoil the test, each with the `ip link`
// commands that mend it: loopback, listen-only, presume-ack and one-shot
// mode on, and a CAN FD data bit rate above 1 Mbit/s with TDC off where the
// controller has it. Empty where none is set, and unless `facts` are those
// of a CAN controller.
std::string SettingLines(const char* device, const LinkFacts& facts);

// The data bit rate above which a transceiver's loop delay outlasts the
// sample point without TDC: the bit time is then under about 1 us, while
// the loop delay of usual transceivers is 100 to 250 ns plus the wiring.
constexpr uint32_t kTdcNeededAbove = 1000000;

// `ip link set DEVICE down; ip link set DEVICE type can CHANGE; ip link set
// DEVICE up`: a controller's settings change only while it is down.
std::string MendCommands(const char* device, const std::string& change);
