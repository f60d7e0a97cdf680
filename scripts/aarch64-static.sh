#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the statically linked 64-bit ARM release programs into
# build-aarch64-static/ (relative to the repository root), checks that they are
# static aarch64 executables, puts stripped copies into
# build-aarch64-static/stripped/ and prints their sizes in bytes.
#
#   scripts/aarch64-static.sh [extra cmake arguments]
#
# When qemu-aarch64-static is present, each program is also run once with -h
# (it must print its usage text and exit with status 1).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/packages.sh"
install_packages cmake make g++-aarch64-linux-gnu binutils-aarch64-linux-gnu

cd "$root"
build="build-aarch64-static"
cmake -S . -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DCMAKE_BUILD_TYPE=Release \
  -DCAN_TESTER_STATIC=ON \
  -DCAN_TESTER_TESTS=OFF \
  "$@"
cmake --build "$build" -j "$(nproc)"

mkdir -p "$build/stripped"
status=0
for program in canfd_tester can_tester; do
  binary="$build/$program"
  header=$(aarch64-linux-gnu-readelf -h "$binary")
  programs=$(aarch64-linux-gnu-readelf -l "$binary")
  if ! grep -q 'Machine:.*AArch64' <<<"$header"; then
    echo "$binary: not an AArch64 executable" >&2; status=1
  fi
  if grep -q 'INTERP' <<<"$programs" \
     || aarch64-linux-gnu-readelf -d "$binary" 2>/dev/null | grep -q NEEDED; then
    echo "$binary: not statically linked" >&2; status=1
  fi
  aarch64-linux-gnu-strip -o "$build/stripped/$program" "$binary"

  if command -v qemu-aarch64-static >/dev/null; then
    set +e
    usage=$(qemu-aarch64-static "$build/stripped/$program" -h 2>/dev/null)
    rc=$?
    set -e
    if [ "$rc" -ne 1 ] || ! grep -q '^Usage: ' <<<"$usage"; then
      echo "$program -h under qemu: exit $rc, no usage text" >&2; status=1
    fi
  fi
done

echo "stripped sizes (bytes):"
for program in canfd_tester can_tester; do
  printf '  %-14s %s\n' "$program" "$(stat -c %s "$build/stripped/$program")"
done
exit $status
