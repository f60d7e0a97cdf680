#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds the project and its unit tests for ARCH (arm64 or armhf) into
# build-aarch64/ or build-armhf/ (relative to the repository root) and runs
# them with ctest, which starts each test program under qemu-user (the
# toolchain file sets CMAKE_CROSSCOMPILING_EMULATOR). GoogleTest is built
# from the Debian sources in /usr/src/googletest, so no libraries of the
# target's architecture are needed.
#
#   scripts/cross-tests.sh ARCH [extra cmake arguments]
#
# CTEST_ARGS (environment) adds arguments to ctest, e.g. CTEST_ARGS="-R Frame".
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/cross-targets.sh"
cross_tools "${1:?usage: $0 arm64|armhf [cmake arguments]}" qemu-user-static googletest
shift

cd "$root"
# -O1: a cross run tests what the target changes (word sizes, layouts, byte
# order, its C library); the native tests cover -O3. At -O1 the test sources
# compile in 60 % of the time.
cmake -S . -B "$build" --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCAN_TESTER_TESTS=ON \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
  "$@" >/dev/null

emulator=$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$build/CMakeCache.txt")
if [ -z "$emulator" ]; then
  echo "no CMAKE_CROSSCOMPILING_EMULATOR in $build: is $qemu installed?" >&2
  exit 1
fi

cmake --build "$build" -j "$(nproc)" >/dev/null
cd "$build"
# shellcheck disable=SC2086 # CTEST_ARGS is a list of words
ctest --output-on-failure --no-tests=error ${CTEST_ARGS:-}
