// SPDX-License-Identifier: MIT
#include "test/UsageText.h"

#include <cstdio>

namespace {

// The usage text is the programs' interface: scripts and the tests match it
// byte for byte, its spellings included ("recive", "recove"), so it is not
// corrected here.
constexpr const char* kHead =
    "  -D --device device     device to use (default is can0)\n"
    "  -f --filter            only recive id 0xXXXXXX5A (default is disable)\n"
    "  -l --loop              send to loop back (default is disable)\n"
    "  -o --rcvown            recove from loop back (default is disable)\n";

constexpr const char* kFrameOptions =
    "  -w --write             send data (default is receive)\n"
    "  -F --frametype type    frametype to send (default is 0)\n"
    "                           0: standData\n"
    "                           1: standRemote\n"
    "                           2: expandData\n"
    "                           3: expandRemote\n";

constexpr const char* kStepOptions =
    "  -t --time time         delay after send once(us) (default is 0)\n"
    "  -c --countonce count   send frames once (default is 1)\n";

constexpr const char* kTail =
    "  -i --id id             frame id (default is 0x00)\n"
    "  -d --data data         data to send(all bytes same)(default is 0x00)\n"
    "  -g --grow              id and data grow (default is disable)\n"
    "  -S --show model        show model (default is 0)\n"
    "                           0: none\n"
    "                           1: screen\n"
    "                           2: file\n"
    "  -p --path path         file path to save data\n";

}  // namespace

void PrintUsage(const char* prog, const VariantTexts& texts) {
  printf("Usage: %s <device> [filter] [loopBack] [rcvOwn]%s\n", prog,
         texts.positionalBrs);
  printf("OR Usage: %s [-%s]\n", prog, texts.shortOptions);
  printf(
      "%s%s%s  -s --size dlc          dlc(%s)(default is 8)\n%s"
      "  -C --%s n           n times to send (default is Infinite)\n%s\n",
      kHead, texts.brsOption, kFrameOptions, texts.lengths, kStepOptions,
      texts.countName, kTail);
}
