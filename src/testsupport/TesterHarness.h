// SPDX-License-Identifier: MIT
#pragma once

#include <getopt.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "test/CanTester.h"
#include "test/ClassicVariant.h"
#include "test/FdVariant.h"
#include "testsupport/FakeSystemCalls.h"
#include "testsupport/FakeClock.h"

using Variants = testing::Types<FdVariant, ClassicVariant>;

// Runs a tester over the fake system calls and clock, with a given standard
// input, and collects what it prints.
template <class Variant>
class TesterHarness {
 public:
  using Tester = CanTester<Variant>;

  TesterHarness() {
    Fake() = FakeSystem();
    SetFakeClock(0);
    SetFakeClockStep(0);
    FakePauses().clear();
    optind = 0;  // a fresh getopt scan
    Tester::m_quitSingle = false;
  }

  bool Init(const std::vector<std::string>& words,
            const std::string& input = "") {
    m_words.assign(1, "tester");
    m_words.insert(m_words.end(), words.begin(), words.end());
    m_argv.clear();
    for (std::string& word : m_words) m_argv.push_back(&word[0]);
    m_argv.push_back(nullptr);
    m_input = input;
    FILE* in = m_input.empty() ? fopen("/dev/null", "r")
                               : fmemopen(&m_input[0], m_input.size(), "r");
    FILE* terminal = stdin;
    stdin = in;
    testing::internal::CaptureStdout();
    const bool ready =
        tester.Init(static_cast<int>(m_words.size()), m_argv.data());
    out += testing::internal::GetCapturedStdout();
    stdin = terminal;
    fclose(in);
    return ready;
  }

  bool Test() {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const bool passed = tester.Test();
    out += testing::internal::GetCapturedStdout();
    err += testing::internal::GetCapturedStderr();
    return passed;
  }

  // The channel's socket options as the fake saw them.
  template <class T>
  T Option(const std::string& tag) const {
    T value{};
    const FakeSystem::Bytes* bytes = Fake().Option(tag);
    EXPECT_NE(bytes, nullptr) << tag;
    if (bytes != nullptr && bytes->size() == sizeof value) {
      std::copy(bytes->begin(), bytes->end(),
                reinterpret_cast<unsigned char*>(&value));
    }
    return value;
  }

  Tester tester;
  std::string out;
  std::string err;  // what Test printed on standard error

 private:
  std::vector<std::string> m_words;
  std::vector<char*> m_argv;
  std::string m_input;
};

// The clock stands at `micros` times the writes so far after each one.
inline void AdvanceClockPerWrite(int64_t micros) {
  Fake().afterWrite = [micros] {
    SetFakeClock(static_cast<int64_t>(Fake().written.size()) * micros);
  };
}

inline void InterruptWhenIdle() {
  Fake().whenIdle = [] { raise(SIGINT); };
}
