// SPDX-License-Identifier: MIT
// Runs the built programs as a user does. This machine's kernel may lack
// CAN, so these cases stop before or at the channel's set-up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::string> Split(const std::string& words) {
  std::vector<std::string> split;
  std::istringstream stream(words);
  for (std::string word; stream >> word;) split.push_back(word);
  return split;
}

// Runs `program` (through the emulator of a cross build) with `args`,
// feeding `input` on standard input.
Outcome RunProgram(const char* program, std::vector<std::string> args,
                   const std::string& input = "") {
  char dir[] = "/tmp/program-test-XXXXXX";
  EXPECT_NE(mkdtemp(dir), nullptr);
  const std::string in = std::string(dir) + "/in";
  const std::string out = std::string(dir) + "/out";
  const std::string err = std::string(dir) + "/err";
  std::ofstream(in) << input;

  std::vector<std::string> words = Split(PROGRAM_EMULATOR);
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  Outcome outcome;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) ==
      0) {
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  outcome.out = Slurp(out);
  outcome.err = Slurp(err);
  for (const std::string& path : {in, out, err}) unlink(path.c_str());
  rmdir(dir);
  return outcome;
}

const char kOptionLines[] =
    "  -D --device device     device to use (default is can0)\n"
    "  -f --filter            only recive id 0xXXXXXX5A (default is disable)\n"
    "  -l --loop              send to loop back (default is disable)\n"
    "  -o --rcvown            recove from loop back (default is disable)\n"
    "%s"
    "  -w --write             send data (default is receive)\n"
    "  -F --frametype type    frametype to send (default is 0)\n"
    "                           0: standData\n"
    "                           1: standRemote\n"
    "                           2: expandData\n"
    "                           3: expandRemote\n"
    "  -s --size dlc          dlc(%s)(default is 8)\n"
    "  -t --time time         delay after send once(us) (default is 0)\n"
    "  -c --countonce count   send frames once (default is 1)\n"
    "  -C --%s n           n times to send (default is Infinite)\n"
    "  -i --id id             frame id (default is 0x00)\n"
    "  -d --data data         data to send(all bytes same)(default is 0x00)\n"
    "  -g --grow              id and data grow (default is disable)\n"
    "  -S --show model        show model (default is 0)\n"
    "                           0: none\n"
    "                           1: screen\n"
    "                           2: file\n"
    "  -p --path path         file path to save data\n"
    "\n";

std::string Usage(const char* program, bool fd) {
  char lines[4096];
  snprintf(
      lines, sizeof lines, kOptionLines,
      fd ? "  -B --BRS               enable BRS (default is disable)\n" : "",
      fd ? "0~8, 12, 16, 20, 24, 32, 48, 64" : "0~8", fd ? "count" : "Count");
  return std::string("Usage: ") + program +
         " <device> [filter] [loopBack] [rcvOwn]" + (fd ? " [BRS]" : "") +
         "\nOR Usage: " + program + " [-" +
         (fd ? "D:floBwF:s:t:c:C:i:d:gS:p:" : "D:flowF:s:t:c:C:i:d:gS:p:") +
         "]\n" + lines;
}

// The line a set-up prints when the machine has no CAN, or no such device.
bool IsSetUpFailure(const std::string& out, bool fd) {
  return out == "socket PF_CAN failed\n" ||
         out == (fd ? "ioctl SIOCGIFINDEX failed\n" : "ioctl failed\n");
}

}  // namespace

TEST(ProgramTest, PrintsItsUsageForAnUnknownOption) {
  for (bool fd : {true, false}) {
    const char* program = fd ? CANFD_TESTER : CAN_TESTER;
    const Outcome help = RunProgram(program, {"-h"});
    EXPECT_EQ(help.status, 1);
    EXPECT_EQ(help.out, Usage(program, fd));
    EXPECT_NE(help.err.find("invalid option -- 'h'"), std::string::npos);
    const Outcome longHelp = RunProgram(program, {"--help"});
    EXPECT_EQ(longHelp.out, Usage(program, fd));
    EXPECT_NE(longHelp.err.find("unrecognized option '--help'"),
              std::string::npos);
  }
}

TEST(ProgramTest, RefusesValuesOutOfRangeWithoutTouchingTheBus) {
  for (bool fd : {true, false}) {
    const char* program = fd ? CANFD_TESTER : CAN_TESTER;
    for (const char* words : {"-c 0", "-s 9", "-F 4", "-S 2 -w", "-t -1"}) {
      const Outcome refused = RunProgram(program, Split(words));
      EXPECT_EQ(refused.status, 1) << words;
      EXPECT_EQ(refused.out, Usage(program, fd)) << words;
      EXPECT_EQ(refused.err, "") << words;
    }
  }
  const Outcome classicBrs = RunProgram(CAN_TESTER, {"-B"});
  EXPECT_EQ(classicBrs.out, Usage(CAN_TESTER, false));
  const Outcome classicFd = RunProgram(CAN_TESTER, {"-s", "12"});
  EXPECT_EQ(classicFd.out, Usage(CAN_TESTER, false));
}

TEST(ProgramTest, AcceptedOptionsGoOnToTheChannel) {
  for (bool fd : {true, false}) {
    const char* program = fd ? CANFD_TESTER : CAN_TESTER;
    const Outcome accepted =
        RunProgram(program, {"-D", "nosuchcan7", "-w", "-C", "1", "-s", "8"});
    EXPECT_EQ(accepted.status, 1);
    EXPECT_TRUE(IsSetUpFailure(accepted.out, fd)) << accepted.out;
  }
  const Outcome fdLength =
      RunProgram(CANFD_TESTER, {"-D", "nosuchcan7", "-s", "64", "-B"});
  EXPECT_TRUE(IsSetUpFailure(fdLength.out, true)) << fdLength.out;
}

TEST(ProgramTest, PositionalFormAsksBeforeOpeningTheChannel) {
  const char prompts[] =
      "Please Input model: 0-read, 1-write\n:"
      "Please Input data show model: 0-none, 1-screen, 2-file\n:";
  for (bool fd : {true, false}) {
    const char* program = fd ? CANFD_TESTER : CAN_TESTER;
    const Outcome asked = RunProgram(program, {"nosuchcan7", "1"}, "0\n1\n");
    EXPECT_EQ(asked.status, 1);
    ASSERT_EQ(asked.out.rfind(prompts, 0), 0u) << asked.out;
    EXPECT_TRUE(IsSetUpFailure(asked.out.substr(sizeof prompts - 1), fd))
        << asked.out;

    const std::vector<std::string> tooMany(fd ? 6 : 5, "1");
    const Outcome refused = RunProgram(program, tooMany, "0\n1\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, Usage(program, fd));
  }
}

TEST(ProgramTest, RefusesAPayloadLengthReplyThatDoesNotFit) {
  const Outcome refused = RunProgram(CAN_TESTER, {"can0"}, "1\n0 9 0 1\n");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(
      refused.out.find("sendFramesOnce(>=1)\n" + Usage(CAN_TESTER, false)),
      std::string::npos)
      << refused.out;
}
