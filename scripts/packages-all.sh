#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian packages for this machine's architecture (amd64 on the
# project's machines) and, cross-built, for arm64 and armhf into
# build-packages/ (relative to the repository root), and prints their paths,
# one a line.
#
#   scripts/packages-all.sh [extra cmake arguments]
#
# e.g. -DCAN_TESTER_MAINTAINER="Jane Doe <jane@example.com>". Each package
# comes from a fresh Release build in build-deb-ARCH/ with Debian's hardening
# flags (dpkg-buildflags) and dynamically linked programs.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/cross-targets.sh"
# Their output goes to standard error: standard output lists the packages.
install_packages cmake make g++ dpkg-dev >&2

cd "$root"
out=build-packages
rm -rf "$out"
mkdir -p "$out"
native=$(dpkg --print-architecture)
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { DEB_HOST_ARCH=$arch dpkg-buildflags --get "$1"; }
for arch in "$native" arm64 armhf; do
  cross=()
  if [ "$arch" != "$native" ]; then
    cross_tools "$arch" >&2
    cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain")
  fi
  dir=build-deb-$arch
  rm -rf "$dir"
  # CMake takes CXXFLAGS and LDFLAGS from the environment when it first
  # configures a build directory; it has no CPPFLAGS.
  CXXFLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" LDFLAGS=$(flags LDFLAGS) \
    cmake -S . -B "$dir" "${cross[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCAN_TESTER_TESTS=OFF "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)" >/dev/null
  (cd "$dir" && cpack >cpack.log 2>&1) || { cat "$dir/cpack.log" >&2; exit 1; }
  cp "$dir/can-tester_"*"_$arch.deb" "$out/"
done
ls -1 "$out"/*.deb
