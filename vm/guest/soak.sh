# SPDX-License-Identifier: MIT
# Soak: long send runs from one interface to another while the receive run
# saves every frame to a file. Per link: both totals equal, the file holds a
# line per frame, the receive run finds its grow-mode frames none missing,
# repeated or out of order and says nothing else on stderr, and its
# resident memory at the end is what it was after its first frame. Prints the figures as SOAK lines and the case
# verdicts as tests.sh does.

. /guest/lib.sh

N=${vmsoakn:-200000}

# rss_kb PID: resident memory of the process in kB, counted over its page
# tables (VmRSS in /proc/PID/status lags behind for a process this small).
rss_kb() { sed -n 's/^Rss:[[:space:]]*\([0-9]*\) kB$/\1/p' "/proc/$1/smaps_rollup"; }

# soak NAME PROG STEP TX:RX... -- SEND_ARGS...: per link TX:RX one frame,
# then N in steps of STEP; the send runs of all links at once. With -g in
# SEND_ARGS (and no -i) the first frame has identifier 0 and the others
# follow from 1: one sequence.
soak() {
    local name=$1 prog=$2 step=$3 links="" link tx rx sent first got lines rss_end t0
    shift 3
    while [ "$1" != "--" ]; do links="$links $1"; shift; done
    shift
    case_start "soak_$name"
    for link in $links; do
        tx=${link%:*} rx=${link#*:}
        start_run "recv.$rx" $prog -D "$rx" -S 2 -p "$W/$rx.txt" || { case_end; return; }
        run_fg "first.$tx" $prog -D "$tx" -w -C 1 "$@"
        settle "$rx" "$(pid_of "recv.$rx")"
        rss_kb "$(pid_of "recv.$rx")" > "$W/$rx.rss"
    done
    t0=$(uptime_cs)
    for link in $links; do
        tx=${link%:*}
        start_bg "send.$tx" timeout -s KILL 1800 $prog -D "$tx" -w -c "$step" -C $((N / step)) "$@" -i 1
    done
    for link in $links; do reap "send.${link%:*}"; done
    for link in $links; do
        tx=${link%:*} rx=${link#*:}
        settle "$rx" "$(pid_of "recv.$rx")"
        rss_end=$(rss_kb "$(pid_of "recv.$rx")")
        expect_eq "$link: resident kB at the end, against after the first frame" "$(cat "$W/$rx.rss")" "$rss_end"
        expect_status "$link: receive run: exit status" 0 stop_run "recv.$rx"
        first=$(frames_of "$W/first.$tx.out")
        sent=$(frames_of "$W/send.$tx.out")
        got=$(frames_of "$W/recv.$rx.out")
        lines=$(wc -l < "$W/$rx.txt")
        expect_eq "$link: frames sent" $((N / step * step + 1)) $(( ${first:-0} + ${sent:-0} ))
        expect_eq "$link: frames received" $(( ${first:-0} + ${sent:-0} )) "$got"
        expect_eq "$link: file lines" "$got" "$lines"
        grep -v "^sequence of $rx:.*, none missing, repeated or out of order\$" "$W/recv.$rx.err" > "$W/recv.$rx.rest"
        expect_empty "$link: receive run: stderr, but for the sequence line with none missing" "$W/recv.$rx.rest"
        echo "SOAK $name: $prog $tx -> $rx $*: sent $((first + sent)), received $got, file lines $lines," \
            "$(sed -n 's/^speed:/send speed /p' "$W/send.$tx.out"), RSS $(cat "$W/$rx.rss") kB after the first frame," \
            "$rss_end kB at the end, $(( ($(uptime_cs) - t0) / 100 )) s"
    done
    case_end
}

case ${vmmachine:-virt} in
    virt)
        soak boards can_tester 1 sja0:sja1 -- -s 8 -d 5A -g
        # Neither vxcan nor the CTU CAN FD model has a bit rate: -t stands in
        # for the bus, as in tests.sh (on the controllers any pause a frame
        # lets the receive run keep up, unpaced it drops about a sixth).
        soak vxcan canfd_tester 1 vxcan0:vxcan1 -- -s 64 -B -F 2 -d A5 -g -t 100
        soak fd canfd_tester 1 fd0:fd1 -- -s 64 -B -F 2 -d A5 -g -t 20
        ;;
    zynqmp)
        # The SoC's own controllers, each way at once. The model has no bit
        # rate either: unpaced, the two senders put about 17,000 frames a
        # second on the bus, where 500 kbit/s carries 4,504 at most, and the
        # receive runs' sockets drop some. With -t 400 each sends about
        # 1,000 a second, together well under the bus's rate.
        soak xcan can_tester 1 xcan0:xcan1 xcan1:xcan0 -- -s 8 -d 5A -g -t 400
        ;;
esac
kernel_log_case
summary
