// SPDX-License-Identifier: MIT
// A marked send run's frames, as it wrote them over the fake, handed to a
// receive run: what the two say on standard error.
#include <gtest/gtest.h>

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "frame/Mark.h"
#include "testsupport/FakeSystemCalls.h"
#include "testsupport/TesterHarness.h"

namespace {

using Frames = std::vector<FakeSystem::Bytes>;

// The send run of `words` (with -w --mark), each write answered from
// `results` (empty: every write goes out); its standard error, and the
// frames the socket took.
template <class Variant>
Frames SendMarked(const std::vector<std::string>& words,
                  std::deque<ssize_t> results, std::string* err) {
  TesterHarness<Variant> run;
  std::vector<std::string> all = {"-w", "--mark"};
  all.insert(all.end(), words.begin(), words.end());
  Fake().writeResults = results;
  EXPECT_TRUE(run.Init(all));
  run.Test();
  *err = run.err;
  Frames taken;
  const auto whole =
      static_cast<ssize_t>(sizeof(typename Variant::Channel::Image));
  for (const FakeSystem::Bytes& image : Fake().written) {
    const ssize_t result = results.empty() ? whole : results.front();
    if (!results.empty()) results.pop_front();
    if (result == whole) taken.push_back(image);
  }
  return taken;
}

// The receive run's standard error after `frames`.
template <class Variant>
std::string Received(const Frames& frames) {
  TesterHarness<Variant> run;
  for (const FakeSystem::Bytes& image : frames) Fake().reads.push_back({image});
  InterruptWhenIdle();
  EXPECT_TRUE(run.Init({}));
  run.Test();
  return run.err;
}

// The tag the fake's random source gives.
std::string Tag() {
  char text[8];
  snprintf(text, sizeof text, "%05X",
           static_cast<unsigned>(Fake().random & kMarkTagMask));
  return text;
}

}  // namespace

template <class Variant>
class MarkedRunTest : public testing::Test {};
TYPED_TEST_SUITE(MarkedRunTest, Variants, );

TYPED_TEST(MarkedRunTest, NumbersTheFramesTheSocketTookAndMarksTheLast) {
  using V = TypeParam;
  const auto whole = static_cast<ssize_t>(sizeof(typename V::Channel::Image));
  struct Row {
    std::vector<std::string> words;
    std::deque<ssize_t> results;
    // What becomes of the frames taken on the way: dropped, doubled, moved.
    std::vector<size_t> dropped, doubled;
    std::string judged;
  };
  std::vector<Row> rows = {
      {{"-C", "5", "-c", "3"}, {}, {}, {},
       "15 frames, numbers 0 to 14, the last; none missing, repeated, out of "
       "order or damaged"},
      // Refused writes leave no gap; the refused last frame goes again.
      {{"-C", "2", "-c", "2", "-g", "-F", "2"},
       {whole, -ENOBUFS, whole, -ENOBUFS, -ENOBUFS, whole},
       {}, {},
       "3 frames, numbers 0 to 2, the last; none missing, repeated, out of "
       "order or damaged"},
      {{"-C", "10"}, {}, {0, 4, 5, 9}, {2},
       "7 frames, numbers 0 to 8, the end cannot tell; 3 missing (0, 4 to 5), "
       "1 repeated, 0 out of order, 0 damaged"},
  };
  // The bit-rate switch and the fill byte are checked, at the first frame
  // of a run as at the others.
  if (V::kFd) {
    rows.push_back({{"-C", "4", "-s", "12", "-B", "-d", "5A"}, {}, {}, {},
                    "4 frames, numbers 0 to 3, the last; none missing, "
                    "repeated, out of order or damaged"});
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.words));
    std::string sendErr;
    const Frames taken = SendMarked<V>(row.words, row.results, &sendErr);
    EXPECT_EQ(sendErr.rfind("marked run " + Tag() + " from can0\n", 0), 0u);
    Frames arrived;
    for (size_t i = 0; i < taken.size(); ++i) {
      if (std::count(row.dropped.begin(), row.dropped.end(), i) != 0) continue;
      arrived.push_back(taken[i]);
      if (std::count(row.doubled.begin(), row.doubled.end(), i) != 0) {
        arrived.push_back(taken[i]);
      }
    }
    EXPECT_EQ(Received<V>(arrived),
              "marked run " + Tag() + " of can0:" + row.judged + "\n");
  }
}
