#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds the project and its unit tests for 64-bit ARM Linux into
# build-aarch64/ (relative to the repository root) and runs them with ctest,
# which starts each test program under qemu-aarch64-static (the toolchain
# file sets CMAKE_CROSSCOMPILING_EMULATOR). GoogleTest is built from the
# Debian sources in /usr/src/googletest, so no arm64 libraries are needed.
#
#   scripts/aarch64-tests.sh [extra cmake arguments]
#
# CTEST_ARGS (environment) adds arguments to ctest, e.g. CTEST_ARGS="-R Frame".
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/packages.sh"
install_packages cmake make g++-aarch64-linux-gnu binutils-aarch64-linux-gnu \
  qemu-user-static googletest

cd "$root"
build="build-aarch64"
cmake -S . -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DCAN_TESTER_TESTS=ON \
  "$@"

emulator=$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$build/CMakeCache.txt")
if [ -z "$emulator" ]; then
  echo "no CMAKE_CROSSCOMPILING_EMULATOR in $build: is qemu-aarch64-static installed?" >&2
  exit 1
fi

cmake --build "$build" -j "$(nproc)"
cd "$build"
# shellcheck disable=SC2086 # CTEST_ARGS is a list of words
ctest --output-on-failure --no-tests=error ${CTEST_ARGS:-}
