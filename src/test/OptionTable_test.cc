// SPDX-License-Identifier: MIT
#include "test/OptionTable.h"

#include <getopt.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The long options the programs have always had, with their letters.
struct Specified {
  const char* name;
  char letter;
  bool fdOnly;
};
constexpr Specified kSpecified[] = {
    {"device", 'D', false},   {"filter", 'f', false}, {"loop", 'l', false},
    {"rcvown", 'o', false},   {"BRS", 'B', true},     {"write", 'w', false},
    {"frametype", 'F', false}, {"size", 's', false},  {"time", 't', false},
    {"countonce", 'c', false}, {"count", 'C', false}, {"id", 'i', false},
    {"data", 'd', false},     {"grow", 'g', false},   {"show", 'S', false},
    {"path", 'p', false},
};

// What "--`word`" meant among the specified options alone: the option it
// names exactly or as the only one it begins, else '?'.
int SpecifiedMeaning(const std::string& word, bool fd) {
  int found = '?';
  int matches = 0;
  for (const Specified& option : kSpecified) {
    if (option.fdOnly && !fd) continue;
    const std::string name = option.name;
    if (name == word) return option.letter;
    if (name.compare(0, word.size(), word) == 0) {
      found = option.letter;
      ++matches;
    }
  }
  return matches == 1 ? found : '?';
}

// What getopt_long makes of "--`word`" with a program's options today.
template <bool kFd>
int Meaning(const std::string& word) {
  static constexpr auto kShort = ShortOptions<kFd>();
  static constexpr auto kLong = LongOptions<kFd>();
  std::string program = "tester", option = "--" + word, value = "1";
  char* argv[] = {&program[0], &option[0], &value[0], nullptr};
  optind = 0;
  opterr = 0;
  const int code = getopt_long(3, argv, kShort.data(), kLong.data(), nullptr);
  opterr = 1;
  return code;
}

template <bool kFd>
void ExpectEveryAbbreviationKept() {
  for (const Specified& option : kSpecified) {
    if (option.fdOnly && !kFd) continue;
    const std::string name = option.name;
    for (size_t length = 1; length <= name.size(); ++length) {
      const std::string word = name.substr(0, length);
      EXPECT_EQ(Meaning<kFd>(word), SpecifiedMeaning(word, kFd))
          << "--" << word << (kFd ? " (canfd_tester)" : " (can_tester)");
    }
  }
}

}  // namespace

// New long options leave every abbreviation of the specified ones as it
// was: the same option, or refused where it was ambiguous.
TEST(OptionTableTest, KeepsTheMeaningOfEverySpecifiedAbbreviation) {
  ExpectEveryAbbreviationKept<true>();
  ExpectEveryAbbreviationKept<false>();
}

// The options without a letter are reached by their long names alone, and
// the usage text, the programs' interface, does not show them.
TEST(OptionTableTest, LongOnlyOptionsStayOutOfTheShortOptions) {
  for (const OptionRow& row : kOptionRows) {
    if (HasLetter(row.code)) continue;
    EXPECT_EQ(row.usage, nullptr) << row.name;
    EXPECT_EQ(Meaning<true>(row.name), row.code) << row.name;
    EXPECT_EQ(Meaning<false>(row.name), row.fdOnly ? '?' : row.code)
        << row.name;
  }
  EXPECT_STREQ(ShortOptions<true>().data(), "D:floBwF:s:t:c:C:i:d:gS:p:");
  EXPECT_STREQ(ShortOptions<false>().data(), "D:flowF:s:t:c:C:i:d:gS:p:");
}
