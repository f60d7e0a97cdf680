// SPDX-License-Identifier: MIT
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <type_traits>

#include "can/ErrorFrames.h"
#include "can/LinkQuery.h"
#include "output/FrameFile.h"
#include "report/AfterTheTotals.h"
#include "report/DropLine.h"
#include "report/LostLine.h"
#include "report/MarkedRunLine.h"
#include "report/OtherFramesLine.h"
#include "report/SequenceLine.h"
#include "report/StatusLine.h"
#include "report/TroubleLine.h"
#include "report/UnreadLine.h"
#include "report/UnwrittenLine.h"
#include "test/CanTester.h"
#include "test/FrameLine.h"
#include "test/RateLine.h"
#include "test/ReceiveExtras.h"
#include "test/RunBounds.h"
#include "test/Signals.h"
#include "verdict/FrameVerdict.h"

template <class Variant>
bool CanTester<Variant>::ReadFrame() {
  FrameType type = standData;
  int id = 0;
  int len = 0;
  unsigned char data[kPayload] = {};
  FrameFile file;
  if (m_showModel == 2) {
    if (!file.Open(m_path)) {
      // The programs' interface, matched byte for byte by scripts and tests.
      puts("Open file error");
      m_summary.failure = "Open file error";
      return false;
    }
    IgnoreBrokenPipes();
  }
  FrameFile journal;
  RunBounds bounds(m_unattended);
  if (!Prepare(&bounds, &journal)) return false;
  // A copy the loop keeps in a register: the calls in it could change a
  // field, so a field is read again at every frame.
  const int show = m_showModel;
  const LinkFacts& before = m_linkBefore;
  ErrorFrames errors(m_can->m_ifindex, before.can);
  StatusLine status(StatusShown(m_showModel == 1), m_can->m_ifindex, before);
  status.WatchReceive(m_can->m_socket);
  status.WatchErrors(&errors);
  typename Variant::ReceiveClock clock;
  FrameVerdict verdict(kPayload);
  int64_t count = 0;
  // `fetch`: the frame lines are printed or saved; a constant in the plain
  // loop, which is compiled with them and without.
  const auto take = [&](bool fetch) __attribute__((always_inline)) {
    verdict.Take(m_can->m_received);
    clock.OnFrame(count == 0);
    ++count;
    if (fetch) {
      if (show == 1) {
        PrintFrame(type, id, len, data);
      } else {
        SaveFrame(&file, type, id, len, data);
      }
    }
  };
  // Inlined, each form: a loop called out of line would keep the locals it
  // reaches in memory, where the loop that runs reads them at every frame.
  const auto receive = [&](auto extras, auto fetching)
                           __attribute__((always_inline)) {
    const bool fetch = fetching;
    for (;;) {
      if (extras.Read(*m_can, true, fetch, &type, &id, &len, data)) {
        take(fetch);
        if (extras.Took(*m_can, count)) return Ending::kFrames;
        if (status.Due()) status.Check(count);
        if (!m_quitSingle.load()) continue;
        // Ctrl-C came while frames were coming: the classic run reads on
        // while frames are waiting, without waiting for more, and for no
        // longer than the grace, however fast they come.
        while (!Variant::kPollAfterFrame && !QuitGraceOver() &&
               extras.Read(*m_can, false, fetch, &type, &id, &len, data)) {
          take(fetch);
          if (extras.Took(*m_can, count)) return Ending::kFrames;
        }
        return QuitEnding();
      }
      status.Check(count);
      if (m_quitSingle.load()) return QuitEnding();
      if (bounds.Quiet(count)) return Ending::kQuiet;
    }
  };
  const bool extended = m_unattended.frames > 0 || journal.IsOpen();
  const bool lines = show == 1 || show == 2;
  Ending ending;
  if (extended) {
    ending = receive(ExtendedReceive(m_unattended.frames,
                                     journal.IsOpen() ? &journal : nullptr,
                                     m_can->m_device),
                     lines);
  } else {
    ending = lines ? receive(PlainReceive(), std::true_type())
                   : receive(PlainReceive(), std::false_type());
  }
  bounds.Stop();
  file.Flush();
  journal.Flush();
  if (file.IsOpen() || journal.IsOpen()) sync();
  status.Erase();
  printf("\nreceive frames:%lld\n", static_cast<long long>(count));
  const int64_t elapsed = clock.Elapsed();
  if (count > 0) PrintRate(count, elapsed, Variant::kRateAtAnyTime);
  const char* device = m_can->m_device;
  // The filter lets one identifier in 256 through: no sequence to judge.
  if (m_can->m_filter == 0) {
    const VerdictReport report = verdict.Finish(count);
    PrintAfterTheTotals(MarkedRunLines(device, report) +
                        SequenceLines(device, report) +
                        OtherFramesLine(report));
    m_summary.judged = true;
    m_summary.runs = report;
  }
  const int64_t unread = m_can->Discard();
  PrintAfterTheTotals(UnreadLine(device, unread));
  uint32_t drops = 0;
  const bool dropsKnown = m_can->Drops(&drops);
  if (dropsKnown) PrintAfterTheTotals(DropLine(device, drops));
  const LinkFacts after = ReadLinkFacts(m_can->m_ifindex);
  const ErrorCounts errorCounts = errors.Drain();
  const std::string trouble = TroubleLine(device, before, after, errorCounts);
  PrintAfterTheTotals(LostLine(device, before, after) + trouble);
  PrintLinkAfterTheRun(device, before, after, trouble, m_explain != 0);
  m_summary.Received(ending, count, elapsed, unread, dropsKnown, drops);
  m_summary.Facts(before, after, after);
  m_summary.errors = errorCounts;
  const bool saved = SavedWhole(file, "path", m_path);
  return SavedWhole(journal, "journal", m_unattended.journal) && saved;
}
