// SPDX-License-Identifier: MIT
#include "report/TimingLines.h"

#include "report/Formatted.h"

namespace {

struct ModeName {
  uint32_t flag;
  const char* name;
};

// In the order of `ip -details link show`.
constexpr ModeName kModeNames[] = {
    {CAN_CTRLMODE_LOOPBACK, "LOOPBACK"},
    {CAN_CTRLMODE_LISTENONLY, "LISTEN-ONLY"},
    {CAN_CTRLMODE_3_SAMPLES, "TRIPLE-SAMPLING"},
    {CAN_CTRLMODE_ONE_SHOT, "ONE-SHOT"},
    {CAN_CTRLMODE_BERR_REPORTING, "BERR-REPORTING"},
    {CAN_CTRLMODE_FD, "FD"},
    {CAN_CTRLMODE_FD_NON_ISO, "FD-NON-ISO"},
    {CAN_CTRLMODE_PRESUME_ACK, "PRESUME-ACK"},
    {CAN_CTRLMODE_CC_LEN8_DLC, "CC-LEN8-DLC"},
    {CAN_CTRLMODE_TDC_AUTO, "TDC-AUTO"},
    {CAN_CTRLMODE_TDC_MANUAL, "TDC-MANUAL"},
};

// The sample point in percent: 875 tenths are 87.5%.
std::string Percent(uint32_t tenths) {
  return Formatted("%u.%u%%", tenths / 10, tenths % 10);
}

std::string Tdc(const LinkTiming& timing) {
  const TdcFacts& tdc = timing.tdc;
  if (!tdc.present) return "none";
  if (!timing.TdcOn()) return "off";
  std::string text =
      (timing.ctrlmode & CAN_CTRLMODE_TDC_MANUAL) != 0 ? "manual" : "auto";
  if (tdc.valueTold) text += Formatted(", tdcv %u", tdc.tdcv);
  return text + Formatted(", tdco %u, tdcf %u", tdc.tdco, tdc.tdcf);
}

}  // namespace

std::string ModeNames(uint32_t ctrlmode) {
  std::string names;
  for (const ModeName& mode : kModeNames) {
    if ((ctrlmode & mode.flag) == 0) continue;
    if (!names.empty()) names += ' ';
    names += mode.name;
  }
  return names.empty() ? "none" : names;
}

std::string TimingLines(const char* device, const LinkTiming& timing) {
  const std::string head = Formatted("timing of %s: ", device);
  std::string lines = head;
  lines += timing.clock == 0 ? std::string("clock not told")
                             : Formatted("clock %u Hz", timing.clock);
  const can_bittiming& nominal = timing.nominal;
  lines += "\n" + head;
  lines += nominal.bitrate == 0
               ? std::string("bit rate none (no bit timing)")
               : Formatted(
                     "bit rate %u bit/s, sample point %s, time quantum "
                     "%u ns, SJW %u",
                     nominal.bitrate, Percent(nominal.sample_point).c_str(),
                     nominal.tq, nominal.sjw);
  const can_bittiming& data = timing.data;
  lines += "\n" + head;
  lines += data.bitrate == 0
               ? std::string("data bit rate none")
               : Formatted("data bit rate %u bit/s, sample point %s, SJW %u",
                           data.bitrate, Percent(data.sample_point).c_str(),
                           data.sjw);
  lines += "\n" + head + "TDC " + Tdc(timing);
  lines += "\n" + head + "modes " + ModeNames(timing.ctrlmode) + "\n";
  return lines;
}

std::string TimingReport(const char* device, const LinkFacts& facts, bool asked,
                         bool trouble) {
  if (!facts.can) {
    return asked ? Formatted(
                       "timing of %s: none (no CAN controller, or the "
                       "kernel did not tell)\n",
                       device)
                 : "";
  }
  return asked || trouble ? TimingLines(device, facts.timing) : "";
}
