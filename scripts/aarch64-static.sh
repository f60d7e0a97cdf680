#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The static 64-bit ARM programs that vm/run.sh boots with, in
# build-aarch64-static/: scripts/cross-static.sh for arm64.
#
#   scripts/aarch64-static.sh [extra cmake arguments]
exec "$(dirname "${BASH_SOURCE[0]}")/cross-static.sh" arm64 "$@"
