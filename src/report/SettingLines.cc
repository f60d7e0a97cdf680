// SPDX-License-Identifier: MIT
#include "report/SettingLines.h"

#include "report/Formatted.h"

namespace {

// A mode that keeps the test from proving the bus, with what it does and
// the word of `ip link ... type can` that turns it off.
struct SpoilingMode {
  uint32_t flag;
  const char* name;
  const char* effect;
};

constexpr SpoilingMode kSpoilingModes[] = {
    {CAN_CTRLMODE_LOOPBACK, "loopback",
     "its frames come back from the controller itself, so the test proves "
     "nothing of the bus"},
    {CAN_CTRLMODE_LISTENONLY, "listen-only",
     "it neither sends nor acknowledges frames"},
    {CAN_CTRLMODE_PRESUME_ACK, "presume-ack",
     "it takes frames as sent without another node's acknowledgement, so a "
     "missing node goes unnoticed"},
    {CAN_CTRLMODE_ONE_SHOT, "one-shot",
     "a frame that fails is dropped, not sent again"},
};

// The sample point as `ip link` takes it: 875 (tenths of a percent) is
// 0.875.
std::string SamplePoint(uint32_t tenths) {
  return Formatted("%u.%03u", tenths / 1000, tenths % 1000);
}

std::string TdcLine(const char* device, const LinkTiming& timing) {
  const can_bittiming& data = timing.data;
  if (!timing.tdc.present || timing.TdcOn() ||
      (timing.ctrlmode & CAN_CTRLMODE_FD) == 0 ||
      data.bitrate <= kTdcNeededAbove) {
    return "";
  }
  // Given the bit timing again without a TDC setting, the kernel works TDC
  // out and turns it on, where the data phase's prescaler is 1 or 2; it
  // takes data bit timing only with the nominal one and "fd on".
  const can_bittiming& nominal = timing.nominal;
  const std::string change = Formatted(
      "bitrate %u sample-point %s dbitrate %u dsample-point %s fd on",
      nominal.bitrate, SamplePoint(nominal.sample_point).c_str(), data.bitrate,
      SamplePoint(data.sample_point).c_str());
  return Formatted(
      "TDC of %s is off at a data bit rate of %u bit/s: above 1 Mbit/s frames "
      "can go unacknowledged (the kernel turns it on where the data "
      "prescaler is 1 or 2, now %u: %s)\n",
      device, data.bitrate, data.brp, MendCommands(device, change).c_str());
}

}  // namespace

std::string MendCommands(const char* device, const std::string& change) {
  return Formatted(
      "ip link set %s down; ip link set %s type can %s; ip link "
      "set %s up",
      device, device, change.c_str(), device);
}

std::string SettingLines(const char* device, const LinkFacts& facts) {
  if (!facts.can) return "";
  std::string lines;
  for (const SpoilingMode& mode : kSpoilingModes) {
    if ((facts.timing.ctrlmode & mode.flag) == 0) continue;
    lines += Formatted(
        "%s mode of %s is on: %s (%s)\n", mode.name, device, mode.effect,
        MendCommands(device, std::string(mode.name) + " off").c_str());
  }
  return lines + TdcLine(device, facts.timing);
}
