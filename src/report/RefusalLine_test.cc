// SPDX-License-Identifier: MIT
#include "report/RefusalLine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

// Refusals counted with the errnos of `errors`, 0 for a short write.
WriteRefusals RefusalsOf(const std::vector<int>& errors) {
  WriteRefusals refusals;
  for (const int error : errors) refusals.Count(error);
  return refusals;
}

}  // namespace

TEST(RefusalLineTest, NamesTheMostCommonReasonAndItsCause) {
  const struct {
    std::vector<int> errors;
    bool unacknowledged;
    std::string line;
  } rows[] = {
      {{}, false, ""},
      {{}, true, ""},
      {{ENOBUFS, ENOBUFS, ENETDOWN}, false,
       "refused writes:3, most with \"No buffer space available\": the "
       "transmit queue of can0 was full (ip link set can0 txqueuelen N "
       "enlarges it; -t pauses after each step)\n"},
      {{ENOBUFS}, true,
       "refused writes:1, most with \"No buffer space available\": no node "
       "acknowledged the frames of can0 (is another node on the bus, at the "
       "same bit rate, with termination?)\n"},
      {{ENETDOWN, ENETDOWN, ENOBUFS}, false,
       "refused writes:3, most with \"Network is down\": can0 was down\n"},
      {{ENETDOWN}, true,
       "refused writes:1, most with \"Network is down\": can0 was down\n"},
      {{EAGAIN}, false,
       "refused writes:1, most with \"Resource temporarily unavailable\": no "
       "frame left can0 for 5 s (is the bus connected, with a node that "
       "acknowledges?)\n"},
      {{0, EPERM, 0}, false, "refused writes:3, most with \"short write\"\n"},
      {{EPERM}, true,
       "refused writes:1, most with \"Operation not permitted\"\n"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(RefusalLine("can0", RefusalsOf(row.errors), row.unacknowledged),
              row.line)
        << testing::PrintToString(row.errors) << " " << row.unacknowledged;
  }
}
