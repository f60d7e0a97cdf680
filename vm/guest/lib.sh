# SPDX-License-Identifier: MIT
# Helpers shared by the guest scripts (busybox sh). Sourced, not run.
#
# Case protocol on the console, read by vm/run.sh:
#   PASS <case>
#   FAIL <case>: <first problem>      (further detail lines follow, indented)
#   @@SUMMARY passed=N failed=N

PASSED=0
FAILED=0
CASE=""
CASE_ERR=""
CASE_DETAIL=""
W=/tmp/case            # scratch directory of the current case

# Debian's iproute2 in place of busybox's applets: only it sets CAN bit
# timing, makes vxcan pairs and shapes queues.
ip() { /opt/iproute2/ip "$@"; }
tc() { /opt/iproute2/tc "$@"; }

# add_vxcan A B: a vxcan pair, both ends up, MTU 72 (the vxcan default).
add_vxcan() {
    ip link add "$1" type vxcan peer name "$2" && ip link set "$1" up && ip link set "$2" up
}

# ------------------------------------------------------------ case bookkeeping

case_start() {
    CASE=$1
    CASE_ERR=""
    CASE_DETAIL=/tmp/case-detail
    : > "$CASE_DETAIL"
    rm -rf "$W"
    mkdir -p "$W"
}

# problem MESSAGE: record a failed expectation of the current case.
problem() {
    [ -n "$CASE_ERR" ] || CASE_ERR=$1
    echo "$1" >> "$CASE_DETAIL"
}

case_end() {
    if [ -z "$CASE_ERR" ]; then
        echo "PASS $CASE"
        PASSED=$((PASSED + 1))
    else
        echo "FAIL $CASE: $CASE_ERR"
        sed 's/^/    | /' "$CASE_DETAIL"
        FAILED=$((FAILED + 1))
    fi
}

summary() {
    echo "@@SUMMARY passed=$PASSED failed=$FAILED"
    [ "$FAILED" = 0 ] && [ "$PASSED" -gt 0 ]
}

# ------------------------------------------------------------ expectations

# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
    [ "$2" = "$3" ] || problem "$1: expected '$2', got '$3'"
}

# expect_file WHAT EXPECTED_FILE ACTUAL_FILE: byte-exact comparison.
expect_file() {
    if ! cmp -s "$2" "$3"; then
        problem "$1 differs from the expected text"
        diff -u "$2" "$3" 2>&1 | sed -n '3,40p' >> "$CASE_DETAIL"
        # cmp sees a missing final newline; diff -u may not show it.
        echo "(expected $(wc -c < "$2") bytes, got $(wc -c < "$3" 2>/dev/null || echo 0))" >> "$CASE_DETAIL"
    fi
}

# expect_empty WHAT FILE
expect_empty() {
    if [ -s "$2" ]; then
        problem "$1 should be empty"
        head -n 10 "$2" >> "$CASE_DETAIL"
    fi
}

# check NAME EXPECTED_FILE ACTUAL_FILE: a whole case that is one file comparison.
check() {
    case_start "$1"
    expect_file "output" "$2" "$3"
    case_end
}

# ------------------------------------------------------------ processes

# proc_state PID: the one-letter state of the process (R, S, Z, ...).
proc_state() {
    local st
    st=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    st=${st##*") "}
    echo "${st%% *}"
}

# alive PID: the process exists and is no zombie.
alive() {
    case "$(proc_state "$1")" in ""|Z|X) return 1 ;; esac
}

# sigint_caught PID: the process has a handler installed for SIGINT.
sigint_caught() {
    local cgt
    cgt=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null)
    [ -n "$cgt" ] && [ $(( 0x$cgt & 2 )) -ne 0 ]
}

# wait_until TENTHS COMMAND...: poll COMMAND every 0.05 s, at most TENTHS/10 s.
wait_until() {
    local n=$(( $1 * 2 )); shift
    while [ "$n" -gt 0 ]; do
        "$@" && return 0
        sleep 0.05
        n=$((n - 1))
    done
    "$@"
}

# run_fg NAME PROG ARGS...: run to the end (RUN_LIMIT s bound, default 30) with stdin from
# $W/NAME.in when it exists; output in $W/NAME.out and $W/NAME.err, status in RC.
run_fg() {
    local name=$1; shift
    [ -f "$W/$name.in" ] || : > "$W/$name.in"
    timeout -s KILL "${RUN_LIMIT:-30}" "$@" < "$W/$name.in" > "$W/$name.out" 2> "$W/$name.err"
    RC=$?
}

# start_bg NAME PROG ARGS...: like run_fg, in the background; the PID is in BG.
start_bg() {
    local name=$1; shift
    [ -f "$W/$name.in" ] || : > "$W/$name.in"
    "$@" < "$W/$name.in" > "$W/$name.out" 2> "$W/$name.err" &
    BG=$!
}

# start_run NAME PROG ARGS...: start one of our programs in the background and
# wait until it has installed its SIGINT handler, that is until its channel is
# open and its run has begun. Sets BG; returns 1 (and records a problem) if the
# program ended or never got there within 5 s.
start_run() {
    local name=$1
    start_bg "$@"
    if ! wait_until 50 run_started "$BG"; then
        if alive "$BG"; then
            problem "$name: no SIGINT handler after 5 s"
            kill -KILL "$BG" 2>/dev/null
        fi
        wait "$BG"
        RC=$?
        problem "$name ended early (status $RC): $(head -c 300 "$W/$name.out" | tr '\n' '|')"
        return 1
    fi
    return 0
}
run_started() { alive "$1" && sigint_caught "$1"; }
not_alive() { ! alive "$1"; }

# stop_run PID [SECONDS]: SIGINT, then wait for the end (default 8 s, since a
# read may block for its 5 s time-out); status in RC, 999 when it had to be killed.
stop_run() {
    kill -INT "$1" 2>/dev/null
    if wait_until $(( ${2:-8} * 10 )) not_alive "$1"; then
        wait "$1"
        RC=$?
    else
        problem "pid $1 still running ${2:-8} s after SIGINT"
        kill -KILL "$1" 2>/dev/null
        wait "$1"
        RC=999
    fi
}

# cpu_ticks PID: user + system time of the process, in clock ticks.
cpu_ticks() {
    local st
    st=$(cat "/proc/$1/stat") || return 1
    set -- ${st##*") "}
    shift 11
    echo $(( $1 + $2 ))
}

# uptime_cs: centiseconds since boot.
uptime_cs() {
    local up rest
    read -r up rest < /proc/uptime
    echo $(( ${up%.*} * 100 + 1${up#*.} - 100 ))
}

# ------------------------------------------------------------ CAN helpers

# listeners DEV: number of CAN receive registrations on DEV.
listeners() {
    cat /proc/net/can/rcvlist_* 2>/dev/null | awk -v d="$1" '$1 == d' | wc -l
}

# start_dump NAME DEV: candump in log format into $W/NAME.log; sets DUMP.
start_dump() {
    local before
    before=$(listeners "$2")
    candump -L "$2" > "$W/$1.log" 2> "$W/$1.err" &
    DUMP=$!
    wait_until 50 more_listeners "$2" "$before" || problem "candump on $2 did not start"
}
more_listeners() { [ "$(listeners "$1")" -gt "$2" ]; }

# stop_dump NAME: let the last frames arrive, stop candump, and write the
# frames it saw to $W/NAME.frames, one per line in candump's frame notation.
# The flags digit of CAN FD frames is shown without CANFD_FDF (0x04), which
# newer kernels add on their own, so "##1" means BRS and "##0" no flags.
stop_dump() {
    sleep 0.2
    kill -INT "$DUMP" 2>/dev/null
    wait_until 50 not_alive "$DUMP" || kill -KILL "$DUMP" 2>/dev/null
    wait "$DUMP"
    awk '{
        f = $3; i = index(f, "##")
        if (i) {
            v = index("0123456789ABCDEF", substr(f, i + 2, 1)) - 1
            if (int(v / 4) % 2 == 1) v -= 4
            f = substr(f, 1, i + 1) sprintf("%X", v) substr(f, i + 3)
        }
        print f
    }' "$W/$1.log" > "$W/$1.frames"
}

# qdisc_dropped DEV: packets the root queue discipline of DEV dropped.
qdisc_dropped() {
    tc -s qdisc show dev "$1" | sed -n 's/.*(dropped \([0-9]*\),.*/\1/p' | head -n 1
}

# qdisc_drained DEV: the root queue discipline of DEV holds no packets.
qdisc_drained() {
    [ "$(tc -s qdisc show dev "$1" | sed -n 's/^ *backlog \([^ ]* [^ ]*\).*/\1/p' | head -n 1)" = "0b 0p" ]
}

# settle DEV PID: wait (at most 10 s) until DEV has received nothing new for
# 0.2 s and PID sleeps, that is until the receive run has read what came.
settle() {
    local last="" now n=50
    while [ "$n" -gt 0 ]; do
        now=$(stat_of "$1" rx_packets 2>/dev/null)
        [ "$now" = "$last" ] && [ "$(proc_state "$2")" = S ] && return 0
        last=$now
        sleep 0.2
        n=$((n - 1))
    done
    problem "$1 still receiving after 10 s"
}

# stat_of DEV COUNTER: an interface statistics counter (tx_packets, rx_bytes, ...).
stat_of() { cat "/sys/class/net/$1/statistics/$2"; }

# rep N TEXT: TEXT repeated N times.
rep() {
    local r="" i=0
    while [ "$i" -lt "$1" ]; do r="$r$2"; i=$((i + 1)); done
    printf '%s' "$r"
}

# frame_line KIND ID LEN BYTE...: the frame line the receive run prints.
frame_line() {
    local b
    printf '%-14s%08X %d ' "$1" "0x$2" "$3"
    shift 3
    for b in "$@"; do printf '%02X ' "0x$b"; done
    printf '\n'
}

# ------------------------------------------------------------ run totals

# rates_masked FILE: FILE with the numbers of "time:" and "speed:" lines
# replaced by <T> and <S>, for exact comparison of everything else.
rates_masked() {
    sed -e 's/^time:-\{0,1\}[0-9][0-9]* us$/time:<T> us/' \
        -e 's/^speed:-\{0,1\}[0-9][0-9]* f\/s$/speed:<S> f\/s/' "$1"
}

# expect_rate WHAT FILE: the speed line agrees with the count and the time:
# speed = frames * 1000000 / time, truncated; time above 0.
expect_rate() {
    local frames t s want
    frames=$(sed -n 's/^\(send\|receive\) frames:\(-\{0,1\}[0-9][0-9]*\)$/\2/p' "$2" | tail -n 1)
    t=$(sed -n 's/^time:\(-\{0,1\}[0-9][0-9]*\) us$/\1/p' "$2" | tail -n 1)
    s=$(sed -n 's/^speed:\(-\{0,1\}[0-9][0-9]*\) f\/s$/\1/p' "$2" | tail -n 1)
    if [ -z "$frames" ] || [ -z "$t" ] || [ -z "$s" ]; then
        problem "$1: no frames/time/speed lines"
        return
    fi
    if [ "$t" -le 0 ]; then
        problem "$1: time $t us is not above 0"
        return
    fi
    want=$(( frames * 1000000 / t ))
    [ "$s" = "$want" ] || problem "$1: speed $s f/s, but $frames frames in $t us give $want"
}

# frames_of FILE: the count of the "send frames:"/"receive frames:" line.
frames_of() {
    sed -n 's/^\(send\|receive\) frames:\(-\{0,1\}[0-9][0-9]*\)$/\2/p' "$1" | tail -n 1
}
