// SPDX-License-Identifier: MIT
#include "report/StatusLine.h"

#include <unistd.h>

#include <algorithm>
#include <limits>
#include <string>

#include "can/RawSocket.h"
#include "can/SystemCalls.h"
#include "report/StatusText.h"
#include "time/Clock.h"

namespace {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
constexpr int64_t kSecond = 1000000;
// The clock is looked at about this often a second at a steady rate: often
// enough to keep to the second, rarely enough to cost nothing per frame.
constexpr int64_t kLooksPerSecond = 8;

// Steps or frames until the next look, from `counted` over the last
// `micros`. The most bounds how long a sudden fall of the rate (a bus that
// goes silent, writes that wait for their time-out) leaves the line as it
// was.
int64_t NextCountdown(int64_t counted, int64_t micros, int64_t most) {
  if (micros <= 0) return most;
  return std::clamp(counted * kSecond / kLooksPerSecond / micros, int64_t{1},
                    most);
}

}  // namespace

bool StatusShown(bool framesToStandardOutput) {
  return sys::IsTerminal(STDERR_FILENO) == 1 &&
         !(framesToStandardOutput && sys::IsTerminal(STDOUT_FILENO) == 1);
}

StatusLine::StatusLine(bool shown, int ifindex, const LinkFacts& before)
    : m_untilCheck(shown ? 1 : kNever),
      m_shown(shown),
      m_before(before),
      m_facts(before),
      m_link(ifindex),
      m_lookedAt(shown ? ClockMicros() : 0),
      m_shownAt(m_lookedAt) {}

void StatusLine::WatchSend(const WriteRefusals* refusals,
                           const FrameBitsRange& bits, bool paced) {
  m_refusals = refusals;
  m_bits = bits;
  if (paced) m_most = 1;
}

void StatusLine::WatchReceive(int socket) { m_socket = socket; }

void StatusLine::WatchErrors(ErrorFrames* errors) {
  if (!errors->Open()) return;
  m_errors = errors;
  if (m_shown) return;
  m_untilCheck = 1;
  m_lookedAt = m_drainedAt = ClockMicros();
}

void StatusLine::Check(int64_t frames) {
  if (!m_shown && m_errors == nullptr) return;
  const int64_t now = ClockMicros();
  const int64_t sinceLook = now - m_lookedAt;
  m_countdown = NextCountdown(m_countdown - m_untilCheck, sinceLook, m_most);
  m_untilCheck = m_countdown;
  m_lookedAt = now;
  if (m_errors != nullptr && now - m_drainedAt >= kSecond / kLooksPerSecond) {
    m_errors->Drain();
    m_drainedAt = now;
  }
  if (!m_shown) return;
  if (now - m_shownAt >= kSecond) Show(frames, now);
  if (m_before.can && now + sinceLook >= m_shownAt + kSecond) AskLink(now);
}

void StatusLine::AskLink(int64_t now) {
  // A request unanswered for a second is given up and made anew.
  if (m_link.Asked() && now - m_askedAt < kSecond) return;
  m_link.Ask();
  m_askedAt = now;
}

void StatusLine::Show(int64_t frames, int64_t now) {
  const int64_t micros = now - m_shownAt;
  const int64_t recent = frames - m_shownFrames;
  StatusFigures figures;
  figures.send = m_refusals != nullptr;
  figures.frames = frames;
  figures.rate = recent * kSecond / micros;
  if (m_refusals != nullptr) figures.refused = m_refusals->Total();
  if (m_socket >= 0)
    figures.dropsKnown = ReceiveDrops(m_socket, &figures.drops);
  if (m_before.can) {
    LinkFacts told;
    if (m_link.Take(0, &told) && told.can) m_facts = told;
    const LinkFacts& facts = m_facts;
    figures.can = facts.can;
    figures.state = facts.state;
    figures.lost = Growth(m_before.Lost(), facts.Lost());
    const int64_t fewest = FrameNanosOn(facts, m_bits.fewest);
    const int64_t most = FrameNanosOn(facts, m_bits.most);
    figures.share = figures.send && facts.can && fewest > 0;
    if (figures.share) {
      figures.lowShare = static_cast<int64_t>(BusShare(recent, fewest, micros));
      figures.highShare = static_cast<int64_t>(BusShare(recent, most, micros));
    }
  }
  m_shownAt = now;
  m_shownFrames = frames;
  const std::string line = StatusText(figures) + "\033[K\r";
  Write(line.data(), line.size());
}

void StatusLine::Erase() {
  if (m_shown && m_written) Write("\033[K", 3);
}

void StatusLine::Write(const char* text, size_t length) {
  if (sys::Write(STDERR_FILENO, text, length) == static_cast<ssize_t>(length)) {
    m_written = true;
    return;
  }
  // A terminal that refuses the line gets no more of them.
  m_shown = false;
  if (m_errors == nullptr) m_untilCheck = kNever;
}
