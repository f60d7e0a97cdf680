// SPDX-License-Identifier: MIT
#pragma once

#include <getopt.h>

#include <array>
#include <cstddef>

// The text of its program that a usage line shows beside its own.
enum class UsageSlot { kNone, kLengths, kCountName };

// The codes getopt_long returns for the options that have no letter of
// their own, above every letter. The usage text leaves them out: it is the
// programs' interface, as it always was.
enum LongOnlyCode : int {
  kMarkCode = 256,
  // The runs that end by themselves and say pass or fail (Unattended.h).
  kNumberCode = 260,
  kQuietForCode,
  kDurationCode,
  kVerdictCode,
  kJsonCode,
  kJournalCode,
  kExplainCode = 280,
};

constexpr bool HasLetter(int code) { return code < kMarkCode; }

// One option of the option form.
struct OptionRow {
  int code;          // its letter, or a LongOnlyCode
  const char* name;  // the long option
  bool value;        // takes a value
  bool fdOnly;       // only canfd_tester has it
  // Its lines in the usage text, null for a LongOnlyCode; "%s" marks where
  // the text that `slot` names goes.
  const char* usage;
  UsageSlot slot;
};

// The options in the order of the usage text, the getopt string and the long
// options, which all come from here. The usage lines are the programs'
// interface: scripts and the tests match them byte for byte, their spellings
// included ("recive", "recove"), so they are not corrected here.
inline constexpr OptionRow kOptionRows[] = {
    {'D', "device", true, false,
     "  -D --device device     device to use (default is can0)\n",
     UsageSlot::kNone},
    {'f', "filter", false, false,
     "  -f --filter            only recive id 0xXXXXXX5A (default is "
     "disable)\n",
     UsageSlot::kNone},
    {'l', "loop", false, false,
     "  -l --loop              send to loop back (default is disable)\n",
     UsageSlot::kNone},
    {'o', "rcvown", false, false,
     "  -o --rcvown            recove from loop back (default is disable)\n",
     UsageSlot::kNone},
    {'B', "BRS", false, true,
     "  -B --BRS               enable BRS (default is disable)\n",
     UsageSlot::kNone},
    {'w', "write", false, false,
     "  -w --write             send data (default is receive)\n",
     UsageSlot::kNone},
    {'F', "frametype", true, false,
     "  -F --frametype type    frametype to send (default is 0)\n"
     "                           0: standData\n"
     "                           1: standRemote\n"
     "                           2: expandData\n"
     "                           3: expandRemote\n",
     UsageSlot::kNone},
    {'s', "size", true, false,
     "  -s --size dlc          dlc(%s)(default is 8)\n", UsageSlot::kLengths},
    {'t', "time", true, false,
     "  -t --time time         delay after send once(us) (default is 0)\n",
     UsageSlot::kNone},
    {'c', "countonce", true, false,
     "  -c --countonce count   send frames once (default is 1)\n",
     UsageSlot::kNone},
    {'C', "count", true, false,
     "  -C --%s n           n times to send (default is Infinite)\n",
     UsageSlot::kCountName},
    {'i', "id", true, false,
     "  -i --id id             frame id (default is 0x00)\n", UsageSlot::kNone},
    {'d', "data", true, false,
     "  -d --data data         data to send(all bytes same)(default is 0x00)\n",
     UsageSlot::kNone},
    {'g', "grow", false, false,
     "  -g --grow              id and data grow (default is disable)\n",
     UsageSlot::kNone},
    {'S', "show", true, false,
     "  -S --show model        show model (default is 0)\n"
     "                           0: none\n"
     "                           1: screen\n"
     "                           2: file\n",
     UsageSlot::kNone},
    {'p', "path", true, false,
     "  -p --path path         file path to save data\n", UsageSlot::kNone},
    {kMarkCode, "mark", false, false, nullptr, UsageSlot::kNone},
    {kNumberCode, "number", true, false, nullptr, UsageSlot::kNone},
    {kQuietForCode, "quiet-for", true, false, nullptr, UsageSlot::kNone},
    {kDurationCode, "duration", true, false, nullptr, UsageSlot::kNone},
    {kVerdictCode, "verdict", false, false, nullptr, UsageSlot::kNone},
    {kJsonCode, "json", true, false, nullptr, UsageSlot::kNone},
    {kJournalCode, "journal", true, false, nullptr, UsageSlot::kNone},
    {kExplainCode, "explain", false, false, nullptr, UsageSlot::kNone},
};

constexpr bool HasOption(const OptionRow& row, bool fd) {
  return fd || !row.fdOnly;
}

// The letters of a program's options, with their values' colons.
constexpr size_t ShortOptionsLength(bool fd) {
  size_t length = 0;
  for (const OptionRow& row : kOptionRows) {
    if (HasOption(row, fd) && HasLetter(row.code)) length += row.value ? 2 : 1;
  }
  return length;
}

constexpr size_t OptionCount(bool fd) {
  size_t count = 0;
  for (const OptionRow& row : kOptionRows) count += HasOption(row, fd);
  return count;
}

// The getopt string of a program, with its terminating NUL.
template <bool kFd>
constexpr std::array<char, ShortOptionsLength(kFd) + 1> ShortOptions() {
  std::array<char, ShortOptionsLength(kFd) + 1> text{};
  size_t next = 0;
  for (const OptionRow& row : kOptionRows) {
    if (!HasOption(row, kFd) || !HasLetter(row.code)) continue;
    text[next++] = static_cast<char>(row.code);
    if (row.value) text[next++] = ':';
  }
  return text;
}

// The long options of a program, each returning its code, and the all-zero
// terminator.
template <bool kFd>
constexpr std::array<option, OptionCount(kFd) + 1> LongOptions() {
  std::array<option, OptionCount(kFd) + 1> table{};
  size_t next = 0;
  for (const OptionRow& row : kOptionRows) {
    if (!HasOption(row, kFd)) continue;
    table[next++] = {row.name, row.value ? required_argument : no_argument,
                     nullptr, row.code};
  }
  return table;
}
