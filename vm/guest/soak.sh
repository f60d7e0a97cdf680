# SPDX-License-Identifier: MIT
# Soak: a long send run from one interface to another while the receive run
# saves every frame to a file. Per link: both totals equal, the file holds a
# line per frame, and the receive run's resident memory at the end is what it
# was after its first frame. Prints the figures as SOAK lines and the case
# verdicts as tests.sh does.

. /guest/lib.sh

N=${vmsoakn:-200000}

# rss_kb PID: resident memory of the process in kB, counted over its page
# tables (VmRSS in /proc/PID/status lags behind for a process this small).
rss_kb() { sed -n 's/^Rss:[[:space:]]*\([0-9]*\) kB$/\1/p' "/proc/$1/smaps_rollup"; }

# soak NAME PROG TX RX STEP SEND_ARGS...: one frame, then N in steps of STEP.
soak() {
    local name=$1 prog=$2 tx=$3 rx=$4 step=$5 receiver rss_first rss_end sent first got lines t0
    shift 5
    case_start "soak_$name"
    start_run recv $prog -D "$rx" -S 2 -p "$W/frames.txt" || { case_end; return; }
    receiver=$(pid_of recv)
    run_fg first $prog -D "$tx" -w -C 1 "$@"
    settle "$rx" "$receiver"
    rss_first=$(rss_kb "$receiver")
    t0=$(uptime_cs)
    RUN_LIMIT=1800 run_fg send $prog -D "$tx" -w -c "$step" -C $((N / step)) "$@"
    settle "$rx" "$receiver"
    rss_end=$(rss_kb "$receiver")
    expect_status "receive run: exit status" 0 stop_run recv
    first=$(frames_of "$W/first.out")
    sent=$(frames_of "$W/send.out")
    got=$(frames_of "$W/recv.out")
    lines=$(wc -l < "$W/frames.txt")
    expect_eq "frames sent" $((N / step * step + 1)) $(( ${first:-0} + ${sent:-0} ))
    expect_eq "frames received" $(( ${first:-0} + ${sent:-0} )) "$got"
    expect_eq "file lines" "$got" "$lines"
    expect_eq "resident kB at the end, against after the first frame" "$rss_first" "$rss_end"
    echo "SOAK $name: $prog $tx -> $rx $*: sent $((first + sent)), received $got, file lines $lines," \
        "$(sed -n 's/^speed:/send speed /p' "$W/send.out"), RSS $rss_first kB after the first frame," \
        "$rss_end kB at the end, $(( ($(uptime_cs) - t0) / 100 )) s"
    case_end
}

soak boards can_tester sja0 sja1 1 -s 8 -d 5A -g
# Neither vxcan nor the CTU CAN FD model has a bit rate: -t stands in for
# the bus, as in tests.sh (on the controllers any pause a frame lets the
# receive run keep up, unpaced it drops about a sixth).
soak vxcan canfd_tester vxcan0 vxcan1 1 -s 64 -B -F 2 -d A5 -g -t 100
soak fd canfd_tester fd0 fd1 1 -s 64 -B -F 2 -d A5 -g -t 20
summary
