# SPDX-License-Identifier: MIT
# Benchmark (no pass/fail): send and receive rates of canfd_tester and
# can_tester next to can-utils and a bare write() loop, all in one VM run on
# the same interfaces. The figures come from an emulated CPU, so only the
# ratios between rows of one run mean something.
#
# Send: each sender puts N identical frames (id 0x123, 8 bytes 0x55) on the
# bus with nobody listening and local loopback off (our programs' default,
# cangen -x, writeloop 0). "loop" rates are the programs' own figures (time of
# the send loop only), "process" rates count the whole process from exec to
# exit, the only figure cangen gives.
#
# Receive: cangen floods N frames unpaced while our receive run and candump
# listen at the same time; printed is how many each of them got.

. /guest/lib.sh

N=${vmbenchn:-20000}
W=/tmp/bench
rm -rf "$W"; mkdir -p "$W"

# Microseconds of wall-clock time.
now_us() { writeloop --now; }

# ratio A B: A / B with two decimals
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a" }'; }
pct() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1f%%", 100 * a / b; else printf "n/a" }'; }

# timed NAME CMD...: run CMD with output in $W/NAME.out; sets EL (us) and
# PROC_RATE (N frames over EL), and warns when the interface did not count N
# frames sent.
timed() {
    name=$1; shift
    dev_tx0=$(stat_of "$DEV" tx_packets)
    t0=$(now_us)
    "$@" > "$W/$name.out" 2> "$W/$name.err"
    t1=$(now_us)
    EL=$(( t1 - t0 ))
    PROC_RATE=0
    [ "$EL" -gt 0 ] && PROC_RATE=$(( N * 1000000 / EL ))
    sent=$(( $(stat_of "$DEV" tx_packets) - dev_tx0 ))
    [ "$sent" = "$N" ] || echo "BENCH warning: $name put $sent frames on $DEV, not $N"
}

speed_of() { sed -n 's/^speed:\([0-9]*\) f\/s$/\1/p' "$1" | tail -n 1; }
writeloop_speed() { sed -n 's/.*: \([0-9]*\) f\/s$/\1/p' "$1"; }

send_bench() {
    label=$1 DEV=$2 prog=$3 kind=$4
    cangen_fd=""
    [ "$kind" = fd ] && cangen_fd=-f

    timed floor writeloop "$DEV" "$N" "$kind" 0
    floor_loop=$(writeloop_speed "$W/floor.out"); floor_proc=$PROC_RATE
    timed ours $prog -D "$DEV" -w -C "$N" -i 123 -s 8 -d 55
    ours_loop=$(speed_of "$W/ours.out"); ours_proc=$PROC_RATE
    # The same frames in steps of 100 (-c 100): what a send step costs
    # besides its writes (the pause call made after every step) shows here.
    timed ours100 $prog -D "$DEV" -w -c 100 -C $(( N / 100 )) -i 123 -s 8 -d 55
    ours100_loop=$(speed_of "$W/ours100.out"); ours100_proc=$PROC_RATE
    timed gen cangen "$DEV" $cangen_fd -x -g 0 -n "$N" -I 123 -L 8 -D 5555555555555555
    gen_proc=$PROC_RATE

    echo "BENCH send $label on $DEV, $N frames (f/s, loop / process):"
    printf 'BENCH   %-20s %8s / %8s\n' writeloop "$floor_loop" "$floor_proc"
    printf 'BENCH   %-20s %8s / %8s\n' "$prog" "$ours_loop" "$ours_proc"
    printf 'BENCH   %-20s %8s / %8s\n' "$prog -c 100" "$ours100_loop" "$ours100_proc"
    printf 'BENCH   %-20s %8s / %8s\n' cangen - "$gen_proc"
    echo "BENCH   $prog / writeloop (loop): $(ratio "$ours_loop" "$floor_loop")"
    echo "BENCH   $prog / cangen (process): $(ratio "$ours_proc" "$gen_proc")"
    echo "BENCH   $prog -c 100 / writeloop (loop): $(ratio "$ours100_loop" "$floor_loop")"
}

# recv_bench LABEL DEV PROG CANGEN_FLAGS SHOW_ARGS...
recv_bench() {
    label=$1 DEV=$2 prog=$3 gen_flags=$4
    shift 4
    W=/tmp/bench/case
    rm -rf "$W"; mkdir -p "$W"
    start_run recv $prog -D "$DEV" "$@" || { echo "BENCH receive $label: $prog did not start"; W=/tmp/bench; return; }
    start_dump dump "$DEV"
    cangen "$DEV" $gen_flags -g 0 -n "$N" -I 123 -L 8 -D 5555555555555555
    sleep 0.5
    stop_run "$BG"
    stop_dump dump
    ours=$(frames_of "$W/recv.out")
    dumped=$(wc -l < "$W/dump.frames")
    echo "BENCH receive $label on $DEV: cangen sent $N; $prog got ${ours:-?} ($(pct "${ours:-0}" "$N")), candump got $dumped ($(pct "$dumped" "$N")); $prog / candump: $(ratio "${ours:-0}" "$dumped")"
    if [ -n "${OUT_FILE:-}" ]; then
        echo "BENCH   lines in the output file: $(wc -l < "$OUT_FILE")"
    fi
    W=/tmp/bench
}

echo "BENCH N=$N, $(grep -c ^processor /proc/cpuinfo) CPU, kernel $(uname -r)"
send_bench "CAN FD" can0 canfd_tester fd
send_bench "classic" can1 can_tester classic

OUT_FILE=""
recv_bench "CAN FD, display none" can0 canfd_tester -f
OUT_FILE=/tmp/bench/frames-fd.txt
recv_bench "CAN FD, display file" can0 canfd_tester -f -S 2 -p "$OUT_FILE"
OUT_FILE=""
recv_bench "classic, display none" can1 can_tester ""
OUT_FILE=/tmp/bench/frames-classic.txt
recv_bench "classic, display file" can1 can_tester "" -S 2 -p "$OUT_FILE"
echo "BENCH done"
