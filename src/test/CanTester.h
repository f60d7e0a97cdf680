// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "can/FrameBits.h"
#include "report/StatusLine.h"
#include "can/FrameType.h"
#include "can/LinkFacts.h"
#include "can/SetUpFailure.h"
#include "can/SystemCalls.h"
#include "output/FrameFile.h"
#include "summary/RunSummary.h"
#include "test/ITestInterface.h"
#include "test/LinkAroundTheRun.h"
#include "test/RunBounds.h"
#include "test/Signals.h"
#include "test/Unattended.h"
#include "time/Clock.h"

// The test driver: configured by options or by positional words and prompts,
// it opens one channel and makes one send run or one receive run on it.
// `Variant` holds what the frame formats do differently (see FdVariant.h and
// ClassicVariant.h); the members are defined in OptionForm.h,
// PositionalForm.h, SendRun.h and ReceiveRun.h.
template <class Variant>
class CanTester : public ITestInterface {
 public:
  using Channel = typename Variant::Channel;
  using FrameFormat = typename Channel::FrameFormat;
  static constexpr int kPayload = Channel::kPayload;

  bool Init(int argc, char** argv) override;

  bool Test() override {
    // Ctrl-C, and the signals with which scripts, service managers and a
    // closed terminal stop a program: each ends the run with its totals;
    // so does the alarm at the end of --duration.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) CatchSignal(sig, Stop);
    if (m_unattended.durationMicros > 0) CatchSignal(SIGALRM, Stop);
    m_linkBefore = LinkBeforeTheRun(m_can->m_device, m_can->m_ifindex);
    // As given: a send run counts -C down.
    m_summary.settings = Settings();
    m_settingsTaken = true;
    puts("Testing...");
    bool result;
    if (m_model == 1) {
      result = SendFrame();
    } else {
      // Woken by every frame, a receive run would preempt the sender on a
      // shared CPU, read one frame and sleep again: the wake-ups would cost
      // more than the reads. Batch scheduling lets frames gather and be
      // read in a row. A refusal changes nothing else.
      sys::BatchScheduling();
      result = ReadFrame();
    }
    Conclude(result);
    return result;
  }

  // The exit status: 0 when Test returned true, else 1; with --verdict, 0
  // for a pass, 2 for a fail, 1 when the test could not be made or its
  // output was lost.
  int ExitStatus() const { return m_exitStatus; }

  // The handler of SIGINT, SIGTERM, SIGHUP and SIGALRM: raises the quit
  // flag and notes when it was first raised, and by which signal.
  static void Stop(int sig) {
    if (!m_quitSingle.load()) {
      m_quitAt.store(ClockMicros());
      m_quitSignal.store(sig);
    }
    m_quitSingle.store(true);
  }

  // How long a run goes on after Ctrl-C with what it was doing: a step of
  // many frames, a pause, frames waiting in its socket.
  static constexpr int64_t kQuitGraceMicros = 100000;
  static bool QuitGraceOver() {
    return m_quitSingle.load() &&
           ClockMicros() - m_quitAt.load() >= kQuitGraceMicros;
  }

  bool ParseOpts(int argc, char** argv);
  void PrintHelp(char* prog);
  // Always false: every send run ends with exit status 1.
  bool SendFrame();
  // False only when the output file cannot be opened.
  bool ReadFrame();

  // The settings record.
  std::unique_ptr<Channel> m_can;
  char m_device[256] = "can0";
  int m_filter = 0;
  int m_loopback = 0;
  int m_rcvOwn = 0;
  FrameFormat m_format;  // CAN FD: its m_brs is the bit-rate switch
  int m_countOnce = 1;
  int m_sleepTime = 0;
  int m_model = 0;
  int m_showModel = 0;
  FrameType m_frameType = standData;
  int m_dlc = 8;
  uint32_t m_id = 0;
  uint32_t m_data = 0;
  int m_grow = 0;
  char m_path[256] = "";
  int m_count = 0;
  // Beyond the specified settings: options that have no letter.
  int m_mark = 0;  // --mark: a send run's frames carry their run and number
  UnattendedOptions m_unattended;  // the options of Unattended.h
  RunSummary m_summary;  // what the run found, for the verdict and summary
  // The settings were kept as the run began.
  bool m_settingsTaken = false;
  int m_explain = 0;  // --explain: the controller's timing facts after a run

  // Set by Stop and never cleared; read afresh at every poll.
  inline static std::atomic<bool> m_quitSingle{false};
  inline static std::atomic<int64_t> m_quitAt{0};  // ClockMicros() then
  inline static std::atomic<int> m_quitSignal{0};
  static_assert(std::atomic<bool>::is_always_lock_free &&
                    std::atomic<int64_t>::is_always_lock_free &&
                    std::atomic<int>::is_always_lock_free,
                "the quit flag is written by a signal handler");

 private:
  bool TakeOption(int code, const char* argument);
  // The positional form: the channel from argv and the prompted replies, or
  // null after the usage text.
  Channel* Positional(int argc, char** argv);
  bool AskSendRun(int* framesPerStep);
  bool AskReceiveRun();
  // Pauses `micros` in pieces of at most the grace after Ctrl-C, and ends
  // once that grace is over: a signal that comes while a step writes, or
  // just before a piece begins, does not hold the run for the whole pause.
  static void Pause(int micros);
  // A marked send run's tag, at random.
  static uint32_t DrawTag();
  // The steps of a send run, each frame marked by `marks` (NoMarks: none),
  // the identifier grown with `kGrow`; returns the frames sent. The loop
  // once for each kind of run, so that a run pays nothing for the others.
  template <bool kGrow, class Marks>
  int64_t SendSteps(Marks& marks, unsigned char* payload, StatusLine* status);
  // The bits on the bus of the frames a send run sent; `payload` is the
  // plain frame's.
  FrameBitsRange SentBits(const unsigned char* payload) const;

  // Defined in UnattendedRun.h: what a run needs for the options of
  // Unattended.h before it begins (a false result has said why), the way
  // it ended by a signal, the frames a file of `option` lost, the settings
  // as the summary gives them, and the verdict, summary and exit status.
  bool Prepare(RunBounds* bounds, FrameFile* journal = nullptr);
  Ending QuitEnding() const;
  bool SavedWhole(FrameFile& file, const char* option, const char* path);
  RunSettings Settings() const;
  void Failed(const std::string& message);
  void Conclude(bool result);
  int m_exitStatus = 1;
  LinkFacts m_linkBefore;  // the interface's facts from before the run
};

template <class Variant>
bool CanTester<Variant>::Init(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') {
    if (!ParseOpts(argc, argv)) {
      PrintHelp(argv[0]);
      Failed("options refused");
      return false;
    }
    m_can.reset(new Channel(m_device, m_countOnce, m_filter, m_loopback,
                            m_rcvOwn, m_format));
  } else {
    m_can.reset(Positional(argc, argv));
    if (!m_can) return false;
  }
  if (m_can->Open()) return true;
  Failed(SetUpFailure());
  m_can.reset();
  return false;
}
