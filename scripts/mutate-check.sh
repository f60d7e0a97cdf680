#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Mutates the marks' check, one change at a time, in a copy of the sources
# (build/mutate), and runs the unit tests of marks and marked runs against
# each: a mutation the tests let pass is a hole in them. Prints one line a
# mutation, killed or survived; exits 1 when one survived.
#
#   scripts/mutate-check.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/packages.sh
install_packages cmake make g++ googletest python3

copy=build/mutate
rm -rf "$copy/src"
mkdir -p "$copy"
cp -r src cmake man completion packaging tests bench CMakeLists.txt LICENSE "$copy/"
# A mutant may leave a value unused: warnings do not stop its build.
sed -i 's/ -Werror)/)/' "$copy/CMakeLists.txt"
# Less optimised than a release: each mutant rebuilds most of the tests.
cmake -S "$copy" -B "$copy/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" -DCAN_TESTER_TESTS=ON >/dev/null
cmake --build "$copy/build" -j "$(nproc)" --target unit_tests >/dev/null

# Each mutation: the file, the text replaced, what replaces it, and what the
# change means.
python3 - "$copy" 'Mark*:*Marked*:Unattended*:*SendRun*' <<'PYTHON'
import shutil, subprocess, sys

copy, tests = sys.argv[1:]
MUTATIONS = [
    ("src/frame/Mark.h", "0x9E3779B97F4A7C15ULL", "0x9E3779B97F4A7C17ULL",
     "K1 another odd number"),
    ("src/frame/Mark.h", "0xFF51AFD7ED558CCDULL", "0xFF51AFD7ED558CCFULL",
     "K2 another odd number"),
    ("src/frame/Mark.h", "(frameWord ^ runWord * kMarkK1)",
     "(frameWord ^ runWord)", "the run word not multiplied"),
    ("src/frame/Mark.h", "uint64_t{brs ? 1u : 0u} << 40 |", "0 |",
     "the bit-rate switch not covered"),
    ("src/frame/Mark.h", " |\n         uint64_t{fill} << kMarkFillShift;", ";",
     "the fill byte not covered"),
    ("src/frame/Mark.h", "uint64_t{length} << 32 |", "0 |",
     "the length not covered"),
    ("src/frame/Mark.h", " + (uint64_t{last ? 1u : 0u} << 59)", "",
     "the last bit not covered"),
    ("src/frame/Mark.h", "(uint64_t{tag} << 40)", "0", "the tag not covered"),
    ("src/frame/Mark.h", "(uint64_t{1} << 41) - 1", "(uint64_t{1} << 40) - 1",
     "the head mask without the bit-rate switch"),
    ("src/frame/MarkStamp.h", "(last ? MarkRunWord(0, 0, true) * kMarkK1 : 0)",
     "0", "the sender checks its last frame as not last"),
    ("src/verdict/FrameVerdict.h",
     "MarkMix(frameWord, next + slot.tagInRun) != word >> kMarkCheckShift",
     "false", "the fast path takes any check"),
    ("src/verdict/FrameVerdict.h", "!FillsRest(image.data, slot.rest)", "false",
     "the fast path lets changed bytes pass"),
    ("src/verdict/MarkedRuns.cc", "number >= 0 && MarkCheck(",
     "number >= 0 && 0 * MarkCheck(", "a known run's frame takes no check"),
    ("src/verdict/MarkedRuns.cc",
     "MarkCheck(frameWord, number, tag, last) != check ||", "false ||",
     "a new run takes no check"),
    ("src/verdict/MarkedRuns.cc", "      LooksUnmarked(canId, word)) {",
     "      false) {", "unmarked payloads may begin runs"),
    ("src/verdict/MarkedRuns.cc",
     "slot->run.Unsure();\n        m_fast = slot;", "m_fast = slot;",
     "a frame read the other way is sure"),
    ("src/verdict/MarkedRuns.cc", "if (Ended(tag)) slot->run.Unsure();", "",
     "a tag seen again is a new run"),
]

survived = 0
for path, old, new, what in MUTATIONS:
    text = open(path).read()
    if old not in text:
        sys.exit(f"{path}: no {old!r}")
    open(f"{copy}/{path}", "w").write(text.replace(old, new, 1))
    built = subprocess.run(
        ["cmake", "--build", f"{copy}/build", "-j2", "--target", "unit_tests"],
        capture_output=True).returncode == 0
    if not built:
        sys.exit(f"{path}: the mutant does not build: {what}")
    # A mutant the tests hang on is caught too: they would never pass.
    try:
        passed = subprocess.run(
            [f"{copy}/build/tests/unit_tests", f"--gtest_filter={tests}"],
            capture_output=True, timeout=300).returncode == 0
    except subprocess.TimeoutExpired:
        passed = False
    print(("survived: " if passed else "killed:   ") + what, flush=True)
    survived += passed
    shutil.copy(path, f"{copy}/{path}")
sys.exit(1 if survived else 0)
PYTHON
