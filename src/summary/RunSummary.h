// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "can/ErrorCounts.h"
#include "can/FrameBits.h"
#include "can/LinkFacts.h"
#include "can/WriteRefusals.h"
#include "verdict/VerdictReport.h"

// What a run was asked and what it found, as values: a run gathers them,
// and plain functions make the summary for programs (SummaryJson.h) and the
// verdict (Verdict.h) from them. A later figure is one more field here and
// one more part in each of those.

// How a run ended.
enum class Ending {
  kNone,       // it did not run
  kCount,      // a send run's -C steps were sent
  kFrames,     // a receive run's --number frames came
  kQuiet,      // --quiet-for passed without a frame
  kDuration,   // --duration passed
  kInterrupt,  // SIGINT (Ctrl-C)
  kTerminate,  // SIGTERM
  kHangUp,     // SIGHUP
};

// The settings record as the run had it.
struct RunSettings {
  std::string device;
  int filter = 0;
  int loopback = 0;
  int rcvOwn = 0;
  int brs = -1;  // -1: the program has no bit-rate switch
  int model = 0;
  int frameType = 0;
  int dlc = 0;
  int sleepTime = 0;
  int countOnce = 0;
  int count = 0;
  uint32_t id = 0;
  uint32_t data = 0;
  int grow = 0;
  int showModel = 0;
  std::string path;
  int mark = 0;
  int64_t frames = 0;
  int64_t quietMicros = 0;
  int64_t durationMicros = 0;
  bool verdict = false;
  std::string journal;
};

// A file of frame lines, and how many of them never reached it.
struct SavedLines {
  const char* option;  // "path" (-p) or "journal"
  std::string path;
  int64_t lines = 0;
  int64_t lost = 0;
  int error = 0;  // errno of the first failure
};

struct RunSummary {
  enum class Run { kNone, kSend, kReceive };

  const char* program = "";
  const char* version = "";
  RunSettings settings;
  // The message of what failed before the run could count a frame: options
  // refused, a set-up step, a file that could not be opened. Empty when
  // nothing did.
  std::string failure;

  Run run = Run::kNone;
  Ending ending = Ending::kNone;
  int64_t frames = 0;  // sent or received
  // From the first to the latest frame or to the end of the run, as the
  // time line has it; measured only once a frame went or came.
  bool timed = false;
  int64_t elapsedMicros = 0;

  // A send run: writes refused, and the reason given most often (an errno,
  // 0 for short writes); the bits of the frames it sent.
  int64_t refused = 0;
  int refusalReason = 0;
  FrameBitsRange bits{};

  // A receive run: the socket's drops where the kernel tells, and the
  // frames left unread in it.
  bool dropsKnown = false;
  uint32_t drops = 0;
  int64_t unread = 0;

  // The interface's facts before the run's first frame and after its last;
  // after a send run also the latest, once its frames had left or the wait
  // for them was over (each of `can` false where there are none).
  LinkFacts before;
  LinkFacts after;
  LinkFacts latest;
  // The error frames of the run, by class (none where the driver sends
  // none, or the interface is no controller).
  ErrorCounts errors;

  std::vector<SavedLines> saved;

  // A marked send run's tag.
  bool marked = false;
  uint32_t markTag = 0;
  // A receive run's verdict on marked runs and sequences; not judged with
  // the filter of -f.
  bool judged = false;
  VerdictReport runs;

  void Sent(Ending how, int64_t sent, int64_t micros,
            const WriteRefusals& refusals, const FrameBitsRange& sentBits) {
    run = Run::kSend;
    ending = how;
    frames = sent;
    timed = true;
    elapsedMicros = micros;
    refused = refusals.Total();
    refusalReason = refusals.MostCommon();
    bits = sentBits;
  }
  void Received(Ending how, int64_t received, int64_t micros,
                int64_t unreadFrames, bool dropsTold, uint32_t dropped) {
    run = Run::kReceive;
    ending = how;
    frames = received;
    timed = received > 0;
    elapsedMicros = micros;
    unread = unreadFrames;
    dropsKnown = dropsTold;
    drops = dropped;
  }
  void Facts(const LinkFacts& first, const LinkFacts& last,
             const LinkFacts& sentLatest) {
    before = first;
    after = last;
    latest = sentLatest;
  }

  int64_t LinesLost() const {
    int64_t lost = 0;
    for (const SavedLines& file : saved) lost += file.lost;
    return lost;
  }
};
