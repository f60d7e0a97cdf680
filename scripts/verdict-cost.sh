#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Counts the user-space instructions that the receive run's verdict costs
# on crafted streams (bench/verdict_cost.cc), under callgrind: the average
# a frame, the difference between 40,000 and 20,000 frames over 20,000, and
# the most one frame cost, the largest difference between k and k+1 frames
# over the frames of a stream's period (or its known worst frame).
#
#   scripts/verdict-cost.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/packages.sh
install_packages cmake make g++ googletest valgrind

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCAN_TESTER_TESTS=ON >/dev/null
cmake --build build -j "$(nproc)" --target verdict_cost >/dev/null
bench=build/tests/verdict_cost

# instructions STREAM FRAMES
instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$bench" "$1" "$2" 2>&1 |
        sed -n 's/.*Collected : \([0-9]*\)$/\1/p'
}

# STREAM and the frames after which to look for its most costly one.
printf '  %-10s %10s %10s\n' stream average most
while read -r stream from period; do
    low=$(instructions "$stream" 20000)
    high=$(instructions "$stream" 40000)
    most=0
    before=$(instructions "$stream" "$from")
    for ((k = from + 1; k <= from + period; ++k)); do
        now=$(instructions "$stream" "$k")
        ((now - before > most)) && most=$((now - before))
        before=$now
    done
    printf '  %-10s %10d %10d\n' "$stream" $(((high - low) / 20000)) "$most"
done <<'STREAMS'
restarts 4041 2
remote 20000 2
jumps 20000 2
reach 20000 2
shapes 20000 17
random 20000 8
gaps 20999 2
outages 20000 2
late 20000 2
tags 20000 2
STREAMS
