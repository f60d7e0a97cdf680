#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the statically linked release programs for ARCH (arm64 or armhf)
# into build-aarch64-static/ or build-armhf-static/ (relative to the
# repository root), checks that they are static executables of that
# architecture, puts stripped copies into its stripped/ folder and prints
# their sizes in bytes.
#
#   scripts/cross-static.sh ARCH [extra cmake arguments]
#
# When the target's qemu-user program is present, each program is also run
# once with -h (it must print its usage text and exit with status 1).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/cross-targets.sh"
cross_tools "${1:?usage: $0 arm64|armhf [cmake arguments]}"
shift

cd "$root"
build="$build-static"
cmake -S . -B "$build" --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCAN_TESTER_STATIC=ON \
  -DCAN_TESTER_TESTS=OFF \
  "$@" >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

mkdir -p "$build/stripped"
status=0
for program in canfd_tester can_tester; do
  binary="$build/$program"
  if ! "$triple-readelf" -h "$binary" | grep -Eq "Machine:[[:space:]]+$machine\$"; then
    echo "$binary: not an $machine executable" >&2; status=1
  fi
  if "$triple-readelf" -l "$binary" | grep -q 'INTERP' \
     || "$triple-readelf" -d "$binary" 2>/dev/null | grep -q NEEDED; then
    echo "$binary: not statically linked" >&2; status=1
  fi
  "$triple-strip" -o "$build/stripped/$program" "$binary"

  if command -v "$qemu" >/dev/null; then
    set +e
    usage=$("$qemu" "$build/stripped/$program" -h 2>/dev/null)
    rc=$?
    set -e
    if [ "$rc" -ne 1 ] || ! grep -q '^Usage: ' <<<"$usage"; then
      echo "$program -h under $qemu: exit $rc, no usage text" >&2; status=1
    fi
  fi
done

echo "stripped sizes (bytes):"
for program in canfd_tester can_tester; do
  printf '  %-14s %s\n' "$program" "$(stat -c %s "$build/stripped/$program")"
done
exit $status
