// SPDX-License-Identifier: MIT
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "can/ErrorFrames.h"
#include "can/LinkQuery.h"
#include "report/AfterTheTotals.h"
#include "report/DropLine.h"
#include "report/LostLine.h"
#include "report/StatusLine.h"
#include "report/TroubleLine.h"
#include "report/UnreadLine.h"
#include "report/sequence/SequenceCheck.h"
#include "report/sequence/SequenceLine.h"
#include "test/CanTester.h"
#include "test/FrameLine.h"
#include "test/RateLine.h"

template <class Variant>
bool CanTester<Variant>::ReadFrame() {
  FrameType type = standData;
  int id = 0;
  int len = 0;
  unsigned char data[kPayload] = {};
  FILE* file = nullptr;
  if (m_showModel == 2) {
    file = fopen(m_path, "w");
    if (file == nullptr) {
      // The programs' interface, matched byte for byte by scripts and tests.
      puts("Open file error");
      return false;
    }
  }
  // A copy the loop keeps in a register: the calls in it could change a
  // field, so a field is read again at every frame.
  const int show = m_showModel;
  const bool fetch = show == 1 || show == 2;
  const LinkFacts& before = m_linkBefore;
  ErrorFrames errors(m_can->m_ifindex, before.can);
  StatusLine status(StatusShown(m_showModel == 1), m_can->m_ifindex, before);
  status.WatchReceive(m_can->m_socket);
  status.WatchErrors(&errors);
  typename Variant::ReceiveClock clock;
  SequenceCheck sequence(kPayload);
  int64_t count = 0;
  const auto take = [&] {
    sequence.Take(m_can->m_received);
    clock.OnFrame(count == 0);
    ++count;
    if (show == 1) PrintFrame(type, id, len, data);
    if (show == 2) SaveFrame(file, type, id, len, data);
  };
  for (;;) {
    if (fetch ? m_can->Read(&type, &id, &len, data) : m_can->Read()) {
      take();
      if (status.Due()) status.Check(count);
      if (!m_quitSingle.load()) continue;
      // Ctrl-C came while frames were coming: the classic run reads on
      // while frames are waiting, without waiting for more, and for no
      // longer than the grace, however fast they come.
      while (!Variant::kPollAfterFrame && !QuitGraceOver() &&
             (fetch ? m_can->ReadQueued(&type, &id, &len, data)
                    : m_can->ReadQueued())) {
        take();
      }
      break;
    }
    status.Check(count);
    if (m_quitSingle.load()) break;
  }
  if (file != nullptr) {
    fflush(file);
    sync();
  }
  status.Erase();
  printf("\nreceive frames:%lld\n", static_cast<long long>(count));
  if (count > 0) PrintRate(count, clock.Elapsed(), Variant::kRateAtAnyTime);
  const char* device = m_can->m_device;
  // The filter lets one identifier in 256 through: no sequence to judge.
  if (m_can->m_filter == 0) {
    const SequenceReport report = sequence.Finish(count);
    PrintAfterTheTotals(SequenceLines(device, report) + ForeignLine(report));
  }
  PrintAfterTheTotals(UnreadLine(device, m_can->Discard()));
  uint32_t drops = 0;
  if (m_can->Drops(&drops)) PrintAfterTheTotals(DropLine(device, drops));
  const LinkFacts after = ReadLinkFacts(m_can->m_ifindex);
  const std::string trouble =
      TroubleLine(device, before, after, errors.Drain());
  PrintAfterTheTotals(LostLine(device, before, after) + trouble);
  PrintLinkAfterTheRun(device, before, after, trouble, m_explain != 0);
  return true;
}
