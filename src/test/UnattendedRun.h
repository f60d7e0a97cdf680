// SPDX-License-Identifier: MIT
#pragma once

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "can/RawSocket.h"
#include "output/SummaryFile.h"
#include "report/AfterTheTotals.h"
#include "report/Formatted.h"
#include "report/UnwrittenLine.h"
#include "summary/SummaryJson.h"
#include "summary/Verdict.h"
#include "test/CanTester.h"

// The members of CanTester for the options of Unattended.h.

template <class Variant>
bool CanTester<Variant>::Prepare(RunBounds* bounds, FrameFile* journal) {
  const char* device = m_can->m_device;
  std::string failure;
  if (journal != nullptr && m_unattended.journal[0] != '\0') {
    if (!journal->Open(m_unattended.journal)) {
      failure = Formatted("cannot open %s for --journal: %s",
                          m_unattended.journal, strerror(errno));
    } else if (!EnableStamps(m_can->m_socket)) {
      failure = Formatted("cannot stamp the frames of %s for --journal: %s",
                          device, strerror(errno));
    }
    IgnoreBrokenPipes();
  }
  if (failure.empty() && !bounds->WatchQuiet(m_can->m_socket)) {
    failure = Formatted("cannot shorten the reads of %s for --quiet-for: %s",
                        device, strerror(errno));
  }
  if (failure.empty() && !bounds->Start()) {
    failure = Formatted("cannot arm the alarm of --duration: %s",
                        strerror(errno));
  }
  if (failure.empty()) return true;
  fprintf(stderr, "%s\n", failure.c_str());
  m_summary.failure = failure;
  return false;
}

template <class Variant>
Ending CanTester<Variant>::QuitEnding() const {
  switch (m_quitSignal.load()) {
    case SIGALRM: return Ending::kDuration;
    case SIGTERM: return Ending::kTerminate;
    case SIGHUP: return Ending::kHangUp;
    default: return Ending::kInterrupt;
  }
}

template <class Variant>
bool CanTester<Variant>::SavedWhole(FrameFile& file, const char* option,
                                    const char* path) {
  if (!file.IsOpen()) return true;
  m_summary.saved.push_back(
      {option, path, file.Lines(), file.Lost(), file.Error()});
  PrintAfterTheTotals(
      UnwrittenLine(path, file.Lost(), file.Lines(), file.Error()));
  return file.Lost() == 0;
}

template <class Variant>
RunSettings CanTester<Variant>::Settings() const {
  RunSettings s;
  s.device = m_device;
  s.filter = m_filter;
  s.loopback = m_loopback;
  s.rcvOwn = m_rcvOwn;
  if constexpr (Variant::kFd) s.brs = m_format.m_brs;
  s.model = m_model;
  s.frameType = m_frameType;
  s.dlc = m_dlc;
  s.sleepTime = m_sleepTime;
  s.countOnce = m_countOnce;
  s.count = m_count;
  s.id = m_id;
  s.data = m_data;
  s.grow = m_grow;
  s.showModel = m_showModel;
  s.path = m_path;
  s.mark = m_mark;
  s.frames = m_unattended.frames;
  s.quietMicros = m_unattended.quietMicros;
  s.durationMicros = m_unattended.durationMicros;
  s.verdict = m_unattended.verdict;
  s.journal = m_unattended.journal;
  return s;
}

template <class Variant>
void CanTester<Variant>::Failed(const std::string& message) {
  m_summary.failure = message;
  Conclude(false);
}

template <class Variant>
void CanTester<Variant>::Conclude(bool result) {
  m_summary.program = Variant::kProgram;
  m_summary.version = CAN_TESTER_VERSION;
  if (!m_settingsTaken) m_summary.settings = Settings();
  const Verdict verdict = Judge(m_summary);
  if (m_unattended.verdict && m_summary.run != RunSummary::Run::kNone) {
    PrintAfterTheTotals(VerdictLine(verdict));
  }
  m_exitStatus = m_unattended.verdict ? VerdictStatus(m_summary, verdict)
                 : result             ? 0
                                      : 1;
  const char* path = m_unattended.json;
  if (path[0] == '\0') return;
  if (!WriteWhole(path, SummaryJson(m_summary, verdict, m_exitStatus))) {
    PrintAfterTheTotals(UnwrittenSummaryLine(path, errno));
    m_exitStatus = 1;
  }
}
