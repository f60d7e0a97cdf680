// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>

#include "test/Arguments.h"
#include "test/CanTester.h"
#include "test/Replies.h"
#include "test/SettingLimits.h"

// The prompts are the programs' interface: scripts and the tests match them
// byte for byte, their spellings included ("Plase"), so they are not
// corrected here.
// Replies are held to the limits the options have: a payload length that
// does not fit the frame, above all, never reaches the send run.
template <class Variant>
typename CanTester<Variant>::Channel* CanTester<Variant>::Positional(
    int argc, char** argv) {
  if (argc > Variant::kMaxArgc) {
    PrintHelp(argv[0]);
    return nullptr;
  }
  int framesPerStep = 1;
  printf("Please Input model: 0-read, 1-write\n:");
  ReadReplies("%d", &m_model);
  const bool replied =
      m_model == 1 ? AskSendRun(&framesPerStep) : AskReceiveRun();
  if (!replied) {
    PrintHelp(argv[0]);
    return nullptr;
  }
  const int filter = argc > 2 ? DecimalArgument(argv[2]) : 0;
  const int loopback =
      argc > 3 ? DecimalArgument(argv[3]) : Variant::kPositionalLoopback;
  const int rcvOwn = argc > 4 ? DecimalArgument(argv[4]) : 0;
  return new Channel(argv[1], framesPerStep, filter, loopback, rcvOwn,
                     Variant::PositionalFormat(argc, argv));
}

template <class Variant>
bool CanTester<Variant>::AskSendRun(int* framesPerStep) {
  printf(
      "frametype: 0-standData, 1-standRemote, 2-expandData, "
      "3-expandRemote\n:");
  printf("Plase input frametype dlc(%s) sleeptime(us) sendFramesOnce(>=1)\n",
         Variant::kTexts.lengths);
  int type = m_frameType;
  ReadReplies("%d%d%d%d", &type, &m_dlc, &m_sleepTime, framesPerStep);
  m_frameType = static_cast<FrameType>(type);
  if (!IsFrameType(type) || !IsPayloadLength(m_dlc, kPayload) ||
      m_sleepTime < 0 || *framesPerStep < 1) {
    return false;
  }
  puts("Plase input id(hex) data(1byte hex) isgrow(0/1)");
  ReadReplies("%x%x%d", &m_id, &m_data, &m_grow);
  return IsIdentifier(m_id, m_frameType, m_grow);
}

template <class Variant>
bool CanTester<Variant>::AskReceiveRun() {
  printf("Please Input data show model: 0-none, 1-screen, 2-file\n:");
  ReadReplies("%d", &m_showModel);
  if (m_showModel != 2) return true;
  printf("Please input file name\n:");
  return ReadWord(m_path);
}
