#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every test, installing what it needs on a fresh Debian machine:
#  1. the unit tests, the program tests, the man page lint, the bash
#     completion test and the status line in a terminal, built natively,
#     with g++ and again with clang++ (unoptimized: what it adds is its own
#     warnings, errors there too);
#  2. the same under AddressSanitizer and UndefinedBehaviorSanitizer;
#  3. the same cross-built for 64-bit ARM and for 32-bit ARM (armhf), under
#     qemu-user;
#  4. the static armhf programs: built, checked, run with -h under qemu-user;
#  5. the Debian packages for amd64, arm64 and armhf: built, lintian, each
#     unpacked and its programs run with -h;
#  6. the static 64-bit ARM programs end to end against virtual CAN buses in
#     a virtual machine, with can-utils as the peer.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/packages.sh
install_packages cmake make g++ clang googletest mandoc tmux python3

jobs=$(nproc)
step() { printf '\n=== %s (at %d s)\n' "$*" "$SECONDS"; }

step "unit and program tests"
# The tests are asked for: scripts/run.sh configures the same build without them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCAN_TESTER_TESTS=ON >/dev/null
cmake --build build -j "$jobs" >/dev/null
ctest --test-dir build -j "$jobs" --output-on-failure --no-tests=error

step "unit and program tests built with clang++"
cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-clang -j "$jobs" >/dev/null
ctest --test-dir build-clang -j "$jobs" --output-on-failure --no-tests=error

step "unit and program tests under ASan and UBSan"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug \
  -DCAN_TESTER_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j "$jobs" >/dev/null
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize -j "$jobs" --output-on-failure \
  --no-tests=error

step "aarch64 unit and program tests under qemu-user"
scripts/cross-tests.sh arm64

step "armhf unit and program tests under qemu-user"
scripts/cross-tests.sh armhf

step "armhf static programs"
scripts/cross-static.sh armhf

step "Debian packages: lintian, unpacked, -h"
packages=$(scripts/packages-all.sh)
mapfile -t debs <<<"$packages"
scripts/packages-check.sh "${debs[@]}"
printf '%s\n' "${debs[@]##*/}"

step "aarch64 programs end to end in a virtual machine"
scripts/cross-static.sh arm64
vm/run.sh test build-aarch64-static
