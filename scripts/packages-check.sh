#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks Debian packages of the project as a user would meet them: lintian
# must report no error and no warning; each package, unpacked with
# dpkg-deb -x, must hold the programs, their man pages and completion, and
# each program must print its usage text and exit with status 1 for -h,
# run natively or under qemu-user. Prints nothing when all is well.
#
#   scripts/packages-check.sh DEB...    (e.g. $(scripts/packages-all.sh))
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/packages.sh"
. "$root/scripts/cross-targets.sh"
install_packages lintian qemu-user-static

[ $# -gt 0 ] || { echo "usage: $0 DEB..." >&2; exit 2; }
status=0
lintian --allow-root --fail-on error,warning "$@" || status=1

native=$(dpkg --print-architecture)
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
for deb in "$@"; do
  arch=$(dpkg-deb -f "$deb" Architecture)
  run=()
  if [ "$arch" != "$native" ]; then
    cross_target "$arch"
    run=("$qemu" -L "/usr/$triple")
  fi
  tree="$unpacked/$arch"
  dpkg-deb -x "$deb" "$tree"
  for program in canfd_tester can_tester; do
    for file in "usr/bin/$program" "usr/share/man/man1/$program.1.gz" \
                "usr/share/bash-completion/completions/$program"; do
      [ -f "$tree/$file" ] || { echo "$deb: no $file" >&2; status=1; }
    done
    set +e
    usage=$("${run[@]}" "$tree/usr/bin/$program" -h 2>/dev/null)
    rc=$?
    set -e
    if [ "$rc" -ne 1 ] || [[ $usage != "Usage: $tree/usr/bin/$program "* ]]; then
      echo "$deb: $program -h gave exit status $rc and no usage text" >&2
      status=1
    fi
  done
done
exit $status
