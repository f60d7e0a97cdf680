// SPDX-License-Identifier: MIT
#include "report/StatusText.h"

#include <linux/can/netlink.h>

#include <cstdarg>
#include <cstdio>

#include "can/LinkFacts.h"

namespace {

// Appends to a line that keeps to kStatusWidth characters.
class LineBuilder {
 public:
  explicit LineBuilder(char (&line)[kStatusWidth + 1]) : m_line(line) {
    m_line[0] = '\0';
  }

  __attribute__((format(printf, 2, 3))) void Add(const char* format, ...) {
    if (m_length >= kStatusWidth) return;
    va_list arguments;
    va_start(arguments, format);
    const int added = vsnprintf(m_line + m_length, sizeof m_line - m_length,
                                format, arguments);
    va_end(arguments);
    if (added > 0) m_length += static_cast<size_t>(added);
    if (m_length > kStatusWidth) m_length = kStatusWidth;
  }

  size_t Length() const { return m_length; }

 private:
  char (&m_line)[kStatusWidth + 1];
  size_t m_length = 0;
};

}  // namespace

size_t StatusText(const StatusFigures& figures,
                  char (&line)[kStatusWidth + 1]) {
  LineBuilder text(line);
  text.Add("%s:%lld %lld f/s", figures.send ? "sent" : "received",
           static_cast<long long>(figures.frames),
           static_cast<long long>(figures.rate));
  if (figures.share && figures.lowShare == figures.highShare) {
    text.Add(" bus:%lld%%", static_cast<long long>(figures.lowShare));
  } else if (figures.share) {
    text.Add(" bus:%lld-%lld%%", static_cast<long long>(figures.lowShare),
             static_cast<long long>(figures.highShare));
  }
  if (figures.send) {
    text.Add(" refused:%lld", static_cast<long long>(figures.refused));
  }
  if (figures.dropsKnown) text.Add(" dropped:%u", figures.drops);
  if (figures.can) {
    text.Add(" lost:%llu", static_cast<unsigned long long>(figures.lost));
    if (figures.state != CAN_STATE_ERROR_ACTIVE) {
      text.Add(" %s", StateName(figures.state));
    }
  }
  return text.Length();
}
