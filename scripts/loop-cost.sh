#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Counts the user-space instructions that one frame of a send run costs,
# against the bare write() loop of the VM benchmark (vm/guest/writeloop.c),
# and one frame of a receive run in each display mode, against the bare
# read() loop (vm/guest/readloop.c), for plain frames, those of a grow-mode
# send run and those of a marked one (--mark). The shim makes the frames it
# delivers: each row's bare read() loop row holds what that costs.
# Emulated rates move by tens of percent from run to run; instruction counts
# do not. The programs run natively under callgrind, with the socket calls
# replaced by scripts/loop-cost-shim.c: the frames are written to /dev/null
# and read from the shim, so what is counted is the loop, the frame lines and
# the libc wrappers, not the kernel. Frame lines go to /dev/null (screen) or
# a file under build/loop-cost (file).
# The journal rows read through recvmsg, which the shim also stands in for.
# Each figure is the difference between runs of 200,000 and 100,000 frames
# over 100,000, so start-up and exit drop out.
#
#   scripts/loop-cost.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/packages.sh
install_packages cmake make g++ gcc valgrind

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target canfd_tester can_tester >/dev/null
work=build/loop-cost
mkdir -p "$work"
gcc -O2 -shared -fPIC -Wall -Wextra -o "$work/shim.so" scripts/loop-cost-shim.c
gcc -O2 -Wall -Wextra -o "$work/writeloop" vm/guest/writeloop.c
gcc -O2 -Wall -Wextra -o "$work/readloop" vm/guest/readloop.c

# instructions COMMAND...: instructions the command executed in user space
# (a send run's exit status is always 1). $frames, when set, is the number of
# frames the shim delivers to reads.
instructions() {
    local log
    log=$(LD_PRELOAD="$work/shim.so" LOOP_COST_FRAMES=${frames:-} \
        LOOP_COST_LENGTH=${length:-8} LOOP_COST_GROW=${grow:-0} \
        LOOP_COST_MARK=${mark:-0} valgrind --tool=callgrind \
        --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null) || true
    sed -n 's/.*Collected : \([0-9]*\)$/\1/p' <<<"$log"
}

# per_frame LABEL STEP COMMAND...: COMMAND, whose word STEPS stands for the
# number of steps of STEP frames (1 for the bare loop); STEP 0 is a receive
# run, which reads its frames from the shim.
per_frame() {
    local label=$1 step=$2 n counts=()
    shift 2
    for n in 100000 200000; do
        if ((step == 0)); then
            counts+=("$(frames=$n instructions "$@")")
        else
            counts+=("$(instructions "${@/#STEPS/$((n / step))}")")
        fi
    done
    printf '  %-38s %4d\n' "$label" $(( (counts[1] - counts[0]) / 100000 ))
}

echo "user-space instructions per frame sent:"
for len in 8 64; do
    per_frame "bare write() loop, $len bytes" 1 "$work/writeloop" x STEPS fd 0 "$len"
    for step in 1 100; do
        per_frame "canfd_tester -c $step, $len bytes" "$step" build/canfd_tester -D x -w -s "$len" -c "$step" -C STEPS
        for kind in -g --mark; do
            per_frame "canfd_tester -c $step $kind, $len bytes" "$step" build/canfd_tester -D x -w -s "$len" -c "$step" $kind -C STEPS
        done
    done
done
for step in 1 100; do
    per_frame "can_tester -c $step, 8 bytes" "$step" build/can_tester -D x -w -s 8 -c "$step" -C STEPS
    for kind in -g --mark; do
        per_frame "can_tester -c $step $kind, 8 bytes" "$step" build/can_tester -D x -w -s 8 -c "$step" $kind -C STEPS
    done
done

echo "user-space instructions per frame received (grow: the frames of a grow-mode send run; marked: of a marked one):"
for program in canfd_tester can_tester; do
    for length in 8 64; do
        [[ $program == can_tester && $length == 64 ]] && continue
        for kind in plain grow marked; do
            grow=0 mark=0 label=""
            [[ $kind == grow ]] && grow=1 label=", grow"
            [[ $kind == marked ]] && mark=1 label=", marked"
            [[ $program == canfd_tester ]] &&
                per_frame "bare read() loop, $length bytes$label" 0 "$work/readloop" x fd
            for show in 0 1 2; do
                per_frame "$program -S $show, $length bytes$label" 0 \
                    build/$program -D x -S "$show" -p "$work/frames.txt"
            done
        done
    done
done

echo "user-space instructions per frame received with the options of a run that ends by itself (8 bytes):"
length=8 grow=0 mark=0
for program in canfd_tester can_tester; do
    per_frame "$program -S 0 --number" 0 build/$program -D x --number 1000000000
    per_frame "$program -S 0 --journal" 0 build/$program -D x --journal "$work/journal.log"
    per_frame "$program -S 2 --journal" 0 build/$program -D x -S 2 -p "$work/frames.txt" --journal "$work/journal.log"
done
