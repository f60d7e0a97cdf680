// SPDX-License-Identifier: MIT
#pragma once

#include <getopt.h>

#include "frame/Mark.h"
#include "test/Arguments.h"
#include "test/CanTester.h"
#include "test/OptionTable.h"
#include "test/SettingLimits.h"
#include "test/UsageText.h"

// The getopt string of the program of `Variant`.
template <class Variant>
inline constexpr auto kShortOptionsOf = ShortOptions<Variant::kFd>();

template <class Variant>
bool CanTester<Variant>::ParseOpts(int argc, char** argv) {
  static constexpr auto kLong = LongOptions<Variant::kFd>();
  // The summary is written also for options refused before --json.
  FindJsonPath(argc, argv, kShortOptionsOf<Variant>.data(), kLong.data(),
               &m_unattended);
  int code;
  while ((code = getopt_long(argc, argv, kShortOptionsOf<Variant>.data(),
                             kLong.data(), nullptr)) != -1) {
    if (!TakeOption(code, optarg)) return false;
  }
  // The identifier and the mark are checked once all options are in: -F
  // may follow -i, and -s follow --mark.
  return !(m_showModel == 2 && m_path[0] == '\0') &&
         IsIdentifier(m_id, m_frameType, m_grow) &&
         (m_mark == 0 || CanCarryMark(m_frameType, m_dlc)) &&
         (m_model != 1 || m_unattended.FitsSendRun());
}

template <class Variant>
void CanTester<Variant>::PrintHelp(char* prog) {
  PrintUsage(prog, kShortOptionsOf<Variant>.data(), Variant::kFd,
             Variant::kTexts);
}

template <class Variant>
bool CanTester<Variant>::TakeOption(int code, const char* argument) {
  switch (code) {
    case 'D': return CopyText(m_device, sizeof m_device, argument);
    case 'p': return CopyText(m_path, sizeof m_path, argument);
    case 'f': m_filter = 1; return true;
    case 'l': m_loopback = 1; return true;
    case 'o': m_rcvOwn = 1; return true;
    case 'w': m_model = 1; return true;
    case 'g': m_grow = 1; return true;
    case kMarkCode: m_mark = 1; return true;
    case kExplainCode: m_explain = 1; return true;
    case 'i': HexArgument(argument, &m_id); return true;
    case 'd': HexArgument(argument, &m_data); return true;
    case 'S': m_showModel = DecimalArgument(argument); return true;
    case 'F':
      m_frameType = static_cast<FrameType>(DecimalArgument(argument));
      return IsFrameType(m_frameType);
    case 's':
      m_dlc = DecimalArgument(argument);
      return IsPayloadLength(m_dlc, kPayload);
    case 't': m_sleepTime = DecimalArgument(argument); return m_sleepTime >= 0;
    case 'c': m_countOnce = DecimalArgument(argument); return m_countOnce >= 1;
    case 'C': m_count = DecimalArgument(argument); return m_count >= 0;
    default:
      if (code >= kNumberCode) return m_unattended.Take(code, argument);
      return Variant::TakeOption(code, &m_format);
  }
}
