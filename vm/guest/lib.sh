# SPDX-License-Identifier: MIT
# Helpers shared by the guest scripts (busybox sh). Sourced, not run.
#
# Case protocol on the console, read by vm/run.sh:
#   @@CASE <case>                     (the case begins)
#   PASS <case>
#   FAIL <case>: <first problem>      (further detail lines follow, indented)
#   SKIP <case>: <why>                (a case of another machine)
#   @@SUMMARY passed=N failed=N skipped=N
#
# A case's background processes keep their PID in $W/NAME.pid, so that the
# helpers find them by NAME and the teardown ends whatever is left.

PASSED=0
FAILED=0
SKIPPED=0
CASE=""
W=/tmp/case            # scratch directory of the current case
CHECKS=/tmp/checks     # a line for every check made since boot

# Debian's iproute2 in place of busybox's applets: only it sets CAN bit
# timing, makes vxcan pairs and shapes queues.
ip() { /opt/iproute2/ip "$@"; }
tc() { /opt/iproute2/tc "$@"; }

# add_vxcan A B: a vxcan pair, both ends up, MTU 72 (the vxcan default).
add_vxcan() {
    ip link add "$1" type vxcan peer name "$2" && ip link set "$1" up && ip link set "$2" up
}

# add_qdisc DEV QDISC...: QDISC as the root queue discipline of DEV, until the teardown.
add_qdisc() {
    local dev=$1
    shift
    tc qdisc add dev "$dev" root "$@" && echo "$dev" >> "$W/qdiscs"
}

# ------------------------------------------------------------ case bookkeeping

case_start() {
    CASE=$1
    echo "@@CASE $CASE"
    rm -rf "$W"
    mkdir -p "$W"
    : > "$W/problems"
}

# problem MESSAGE: record a failed expectation of the current case (from
# subshells too: the record is a file).
problem() { echo "$1" >> "$W/problems"; }

case_end() {
    local first
    if [ ! -s "$W/problems" ]; then
        echo "PASS $CASE"
        PASSED=$((PASSED + 1))
    else
        read -r first < "$W/problems"
        echo "FAIL $CASE: $first"
        sed 's/^/    | /' "$W/problems"
        FAILED=$((FAILED + 1))
    fi
}

# teardown LINKS: end what a case left behind, whatever its outcome: its
# background processes, its queue disciplines, interfaces not in LINKS, and
# interfaces of LINKS it left down; then the commands it left in $W/undo
# (settings it changed).
teardown() {
    local f pid dev flags
    for f in "$W"/*.pid; do
        [ -f "$f" ] || continue
        read -r pid < "$f"
        kill -KILL "$pid" 2>/dev/null && wait_until 20 not_alive "$pid"
    done
    [ -f "$W/undo" ] && . "$W/undo"
    [ -f "$W/qdiscs" ] && for dev in $(cat "$W/qdiscs"); do tc qdisc del dev "$dev" root 2>/dev/null; done
    for f in /sys/class/net/*; do
        dev=${f##*/}
        case " $(echo $1) " in
            *" $dev "*) read -r flags < "$f/flags"
                [ $(( flags & 1 )) = 1 ] || ip link set "$dev" up ;;
            *) ip link del "$dev" 2>/dev/null ;;
        esac
    done
}

# run_case NAME LINKS: the case t_NAME in a subshell, then the teardown and
# the verdict; a case that checked nothing fails.
run_case() {
    local before
    touch "$CHECKS"
    before=$(wc -l < "$CHECKS")
    case_start "$1"
    ( "t_$1" )
    teardown "$2"
    [ "$(wc -l < "$CHECKS")" -gt "$before" ] || problem "the case checked nothing"
    case_end
}

# skip_case NAME MACHINE: the case NAME needs MACHINE, not this one.
skip_case() {
    echo "SKIP $1: needs the $2 machine (VM_MACHINE=$2), this is ${vmmachine:-virt}"
    SKIPPED=$((SKIPPED + 1))
}

# kernel_log_case: the last case of a run: the kernel logged no oops, BUG,
# stall or warning, but for the one warning whose line is
# $KERNEL_WARNING_KNOWN (a machine's set-up may name one it causes).
kernel_log_case() {
    case_start kernel_log
    dmesg > "$W/dmesg"
    if [ -n "${KERNEL_WARNING_KNOWN:-}" ]; then
        # The known warning's report, from its line to its end marker, is left out.
        awk -v known="$KERNEL_WARNING_KNOWN" '
            !skip && /WARNING:/ && index($0, known) && !seen { skip = 1; seen = 1 }
            !skip { print }
            skip && /---\[ end trace/ { skip = 0 }' "$W/dmesg" > "$W/dmesg.rest"
    else
        cp "$W/dmesg" "$W/dmesg.rest"
    fi
    grep -E 'WARNING:|BUG:|kernel BUG|Oops|Call trace:|Unable to handle|Kernel panic|INFO: task|rcu: INFO|LOCKUP|lockup' \
        "$W/dmesg.rest" > "$W/dmesg.bad"
    expect_empty "kernel log: warnings, oopses or stalls" "$W/dmesg.bad"
    case_end
}

summary() {
    echo "@@SUMMARY passed=$PASSED failed=$FAILED skipped=$SKIPPED"
    [ "$FAILED" = 0 ] && [ "$PASSED" -gt 0 ]
}

# ------------------------------------------------------------ expectations

checked() { echo >> "$CHECKS"; }

# ensure MESSAGE COMMAND...: a problem MESSAGE unless COMMAND succeeds.
ensure() {
    local message=$1
    shift
    checked
    "$@" || problem "$message"
}

# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
    checked
    [ "$2" = "$3" ] || problem "$1: expected '$2', got '$3'"
}

# expect_file WHAT EXPECTED_FILE ACTUAL_FILE: byte-exact comparison.
expect_file() {
    checked
    if ! cmp -s "$2" "$3"; then
        problem "$1 differs from the expected text"
        diff -u "$2" "$3" 2>&1 | sed -n '3,40p' >> "$W/problems"
        # cmp sees a missing final newline; diff -u may not show it.
        echo "(expected $(wc -c < "$2") bytes, got $(wc -c < "$3" 2>/dev/null || echo 0))" >> "$W/problems"
    fi
}

# expect_empty WHAT FILE
expect_empty() {
    checked
    if [ -s "$2" ]; then
        problem "$1 should be empty"
        head -n 10 "$2" >> "$W/problems"
    fi
}

# expect_status WHAT EXPECTED COMMAND...: COMMAND returns EXPECTED.
expect_status() {
    local what=$1 want=$2
    shift 2
    "$@"
    expect_eq "$what" "$want" $?
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
not_alive() { ! alive "$1"; }

# sigint_caught PID: the process has a handler installed for SIGINT.
sigint_caught() {
    local cgt
    cgt=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null)
    [ -n "$cgt" ] && [ $(( 0x$cgt & 2 )) -ne 0 ]
}
run_started() { alive "$1" && sigint_caught "$1"; }

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

# pid_of NAME: the PID of the case's background process NAME.
pid_of() { cat "$W/$1.pid"; }

# run_fg NAME PROG ARGS...: run to the end (RUN_LIMIT s bound, default 30) with stdin from
# $W/NAME.in when it exists, output in $W/NAME.out and $W/NAME.err; returns its status.
run_fg() {
    local name=$1; shift
    [ -f "$W/$name.in" ] || : > "$W/$name.in"
    timeout -s KILL "${RUN_LIMIT:-30}" "$@" < "$W/$name.in" > "$W/$name.out" 2> "$W/$name.err"
}

# start_bg NAME PROG ARGS...: like run_fg, in the background.
start_bg() {
    local name=$1; shift
    [ -f "$W/$name.in" ] || : > "$W/$name.in"
    "$@" < "$W/$name.in" > "$W/$name.out" 2> "$W/$name.err" &
    echo $! > "$W/$name.pid"
}

# reap NAME: wait for the ended background process NAME; returns its status.
reap() {
    local pid
    pid=$(pid_of "$1")
    rm -f "$W/$1.pid"
    wait "$pid"
}

# start_run NAME PROG ARGS...: start one of our programs in the background and
# wait until it has installed its SIGINT handler, that is until its channel is
# open and its run has begun. Returns 1 (and records a problem) if the
# program ended or never got there within 5 s.
start_run() {
    local name=$1 pid rc
    start_bg "$@"
    pid=$(pid_of "$name")
    checked
    wait_until 50 run_started "$pid" && return 0
    if alive "$pid"; then
        problem "$name: no SIGINT handler after 5 s"
        kill -KILL "$pid" 2>/dev/null
    fi
    reap "$name"
    rc=$?
    problem "$name ended early (status $rc): $(head -c 300 "$W/$name.out" | tr '\n' '|')"
    return 1
}

# stop_run NAME [SECONDS]: SIGINT, then wait for the end (default 8 s, since a
# read may block for its 5 s time-out); returns its status, that of SIGKILL
# when it had to be killed.
stop_run() {
    local pid
    pid=$(pid_of "$1")
    kill -INT "$pid" 2>/dev/null
    checked
    if ! wait_until $(( ${2:-8} * 10 )) not_alive "$pid"; then
        problem "$1 still running ${2:-8} s after SIGINT"
        kill -KILL "$pid" 2>/dev/null
    fi
    reap "$1"
}

# stop_within NAME SIGNAL CS: SIGNAL to run NAME, which must end within CS
# centiseconds (how long it took goes to the console; after 8 s it is
# killed); returns its status.
stop_within() {
    local pid t0 rc
    pid=$(pid_of "$1")
    (sleep 8; kill -KILL "$pid" 2>/dev/null) &
    t0=$(uptime_cs)
    kill -"$2" "$pid"
    reap "$1"
    rc=$?
    t0=$(( $(uptime_cs) - t0 ))
    kill $! 2>/dev/null
    echo "measured: $CASE: $1 ended $t0 cs after SIG$2"
    ensure "$1 ended $t0 cs after SIG$2, not within $3" [ "$t0" -le "$3" ]
    return "$rc"
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
more_listeners() { [ "$(listeners "$1")" -gt "$2" ]; }

# start_dump NAME DEV [FILTER]: candump in log format into $W/NAME.log, with
# candump's FILTER ("ID:MASK") if given.
start_dump() {
    local before
    before=$(listeners "$2")
    candump -L "$2${3:+,$3}" > "$W/$1.log" 2> "$W/$1.err" &
    echo $! > "$W/$1.pid"
    ensure "candump on $2 did not start" wait_until 50 more_listeners "$2" "$before"
}

# logged_lines FILE N: FILE has N lines or more.
logged_lines() { [ "$(wc -l < "$1")" -ge "$2" ]; }

# stop_dump NAME N: once candump has logged the N frames it should see (at
# most 5 s), stop it, and write the frames it saw to $W/NAME.frames, one per
# line in candump's frame notation. The flags digit of CAN FD frames is shown
# without CANFD_FDF (0x04), which newer kernels add on their own, so "##1"
# means BRS and "##0" no flags.
stop_dump() {
    local pid
    wait_until 50 logged_lines "$W/$1.log" "$2"
    pid=$(pid_of "$1")
    kill -INT "$pid" 2>/dev/null
    wait_until 50 not_alive "$pid" || kill -KILL "$pid" 2>/dev/null
    reap "$1"
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

# send_all DEV FRAME...: cansend each frame to DEV.
send_all() {
    local dev=$1 f
    shift
    for f in "$@"; do cansend "$dev" "$f" || return 1; done
}

# qdisc_dropped DEV: packets the root queue discipline of DEV dropped.
qdisc_dropped() {
    tc -s qdisc show dev "$1" | sed -n 's/.*(dropped \([0-9]*\),.*/\1/p' | head -n 1
}

# qdisc_drained DEV: the root queue discipline of DEV holds no packets.
qdisc_drained() {
    [ "$(tc -s qdisc show dev "$1" | sed -n 's/^ *backlog \([^ ]* [^ ]*\).*/\1/p' | head -n 1)" = "0b 0p" ]
}

# ------------------------------------------------------------ unattended runs

# ended_by NAME TENTHS: the run NAME ends by itself within TENTHS/10 s (else
# it is killed, a problem); returns its status.
ended_by() {
    local pid
    pid=$(pid_of "$1")
    checked
    if ! wait_until "$2" not_alive "$pid"; then
        problem "$1 did not end by itself"
        kill -KILL "$pid" 2>/dev/null
    fi
    reap "$1"
}

# expect_json WHAT FILE PATHS VALUES: the JSON object in FILE, read by jq,
# holds VALUES at PATHS (each blank-separated, in order; jq's paths such as
# .verdict.result or (.marked_runs|length), strings bare, the rest as JSON
# text).
expect_json() {
    local filter
    filter=$(printf '%s' "$3" | tr -s ' ' ',')
    expect_eq "$1: $3" "$4" \
        "$(jq -r "[$filter] | map(if type == \"string\" then . else tojson end) | join(\" \")" "$2" 2>&1)"
}

# unattended_runs NAME QDISC PROG TX RX N SEND_ARGS...: a link tested as a
# script tests it: a receive run of PROG on RX that ends by itself, and a
# send run of N marked frames on TX with SEND_ARGS, both with --verdict and a
# summary in $W/recv.json and $W/send.json; with a QDISC other than "-",
# through that root queue discipline of TX, left in place. Sets
# recv_status and send_status, tag (the send run's, from its stderr) and
# dropped (the queue's drops once it drained, else empty). How long the send
# run took, from exec to exit, goes to the console.
unattended_runs() {
    local name=$1 qdisc=$2 prog=$3 tx=$4 rx=$5 n=$6 t0
    shift 6
    recv_status="" send_status="" tag="" dropped=""
    if [ "$qdisc" != - ]; then
        ensure "$name: tc qdisc add dev $tx root $qdisc failed" add_qdisc "$tx" $qdisc || return 1
    fi
    start_run recv $prog -D "$rx" --number "$n" --quiet-for 5 --duration 60 \
        --verdict --json "$W/recv.json" || return 1
    t0=$(uptime_cs)
    run_fg send $prog -D "$tx" -w -g --mark -C "$n" "$@" --verdict --json "$W/send.json"
    send_status=$?
    echo "measured: $CASE: $name: send run $(( $(uptime_cs) - t0 )) cs, its loop $(jq .time_us "$W/send.json") us"
    if [ "$qdisc" != - ]; then
        ensure "$name: the queue of $tx did not drain" wait_until 50 qdisc_drained "$tx"
        dropped=$(qdisc_dropped "$tx")
    fi
    ended_by recv 150
    recv_status=$?
    tag=$(sed -n "s/^marked run \([0-9A-F]\{5\}\) from $tx\$/\1/p" "$W/send.err")
    ensure "$name: send run: no marked-run line: $(head -c 300 "$W/send.err")" [ -n "$tag" ]
}

# unattended_case PROG TX RX N SEND_ARGS...: unattended_runs on a clean link
# and then with netem dropping 5% of the frames on TX, a controller: on the
# clean link both runs pass and their summaries say so; on the lossy one
# both fail (status 2), and their figures are netem's: the send run counts
# untransmitted the frames netem dropped, the receive run got the rest, and
# its marked run counts missing those dropped below the latest that came
# (the frames netem dropped after it were never known to the run).
unattended_case() {
    local prog=$1 tx=$2 rx=$3 n=$4 recv_status send_status tag dropped latest after came missing
    shift 4
    local runs=".marked_runs[0].tag .marked_runs[0].frames .marked_runs[0].latest .marked_runs[0].last_came"
    runs="$runs .marked_runs[0].missing .marked_runs[0].repeated .marked_runs[0].out_of_order .marked_runs[0].damaged"
    local send_keys=".run .interface .kind .ended_by .frames .refused.count .untransmitted .marked_tag"
    send_keys="$send_keys .verdict.result .verdict.failed .exit_status"
    local recv_keys=".run .interface .ended_by .frames .expected .dropped .unread (.marked_runs|length) $runs"
    recv_keys="$recv_keys .verdict.result .verdict.failed .exit_status"

    unattended_runs "clean $tx -> $rx" - $prog "$tx" "$rx" "$n" "$@" || return 1
    expect_eq "clean: send run: exit status" 0 "$send_status"
    expect_eq "clean: receive run: exit status" 0 "$recv_status"
    expect_json "clean: send run" "$W/send.json" "$send_keys" "send $tx can count $n 0 0 $tag pass [] 0"
    expect_json "clean: receive run" "$W/recv.json" "$recv_keys" \
        "receive $rx number $n $n 0 0 1 $tag $n $((n - 1)) true 0 0 0 0 pass [] 0"
    bus_limit_apart "clean: send run" "$tx" "$W/send.err"
    echo "marked run $tag from $tx" > "$W/want"
    expect_file "clean: send run: stderr" "$W/want" "$W/send.err.rest"
    echo "marked run $tag of $rx:$n frames, numbers 0 to $((n - 1)), the last; none missing, repeated, out of order or damaged" > "$W/want"
    expect_file "clean: receive run: stderr" "$W/want" "$W/recv.err"

    unattended_runs "netem loss 5% on $tx" "netem loss 5%" $prog "$tx" "$rx" "$n" "$@" || return 1
    ensure "netem dropped no frame: $(tc -s qdisc show dev "$tx")" [ "${dropped:-0}" -gt 0 ] || return 1
    expect_eq "lossy: send run: exit status" 2 "$send_status"
    expect_eq "lossy: receive run: exit status" 2 "$recv_status"
    expect_json "lossy: send run" "$W/send.json" "$send_keys" \
        "send $tx can count $n 0 $dropped $tag fail [\"untransmitted\"] 2"
    expect_eq "lossy: send run: the last line on stderr" \
        "verdict:fail, untransmitted ($dropped not sent by the controller)" "$(tail -n 1 "$W/send.err")"
    latest=$(jq '.marked_runs[0].latest' "$W/recv.json")
    ensure "lossy: receive run: no latest number: $(head -c 300 "$W/recv.json")" \
        [ "$latest" -ge 0 ] 2>/dev/null || return 1
    after=$(( n - 1 - latest ))
    came=true
    [ "$after" = 0 ] || came=false
    missing=$(( dropped - after ))
    echo "measured: $CASE: netem dropped $dropped of $n, $after of them after the latest that came"
    expect_json "lossy: receive run" "$W/recv.json" "$recv_keys" \
        "receive $rx quiet-for $((n - dropped)) $n 0 0 1 $tag $((n - dropped)) $latest $came $missing 0 0 0 fail [\"frames\",\"runs\"] 2"
    if [ "$missing" -gt 0 ]; then
        missing="marked run $tag: $missing missing, 0 repeated, 0 out of order, 0 damaged"
    else
        missing="cannot tell: marked run $tag: its end"
    fi
    expect_eq "lossy: receive run: the last line on stderr" \
        "verdict:fail, frames ($((n - dropped)) of $n came), runs ($missing)" "$(tail -n 1 "$W/recv.err")"
}

# settle DEV PID: wait (at most 10 s) until DEV has received nothing new for
# 0.2 s and PID sleeps, that is until the receive run has read what came.
settle() {
    local last="" now n=50
    checked
    while [ "$n" -gt 0 ]; do
        now=$(stat_of "$1" rx_packets 2>/dev/null)
        [ "$now" = "$last" ] && [ "$(proc_state "$2")" = S ] && return 0
        last=$now
        sleep 0.2
        n=$((n - 1))
    done
    problem "$1 still receiving after 10 s"
}

# roomy_socket: 4 MiB receive buffers, so that a busy guest drops nothing.
roomy_socket() {
    echo "echo $(cat /proc/sys/net/core/rmem_default) > /proc/sys/net/core/rmem_default" >> "$W/undo"
    echo 4194304 > /proc/sys/net/core/rmem_default
}

# stat_of DEV COUNTER: an interface statistics counter (tx_packets, rx_bytes, ...).
stat_of() { cat "/sys/class/net/$1/statistics/$2"; }

# stat_above DEV COUNTER N: the counter has gone past N.
stat_above() { [ "$(stat_of "$1" "$2")" -gt "$3" ]; }

# rep N TEXT: TEXT repeated N times.
rep() {
    local r="" i=0
    while [ "$i" -lt "$1" ]; do r="$r$2"; i=$((i + 1)); done
    printf '%s' "$r"
}

# lines N TEXT: TEXT on N lines.
lines() {
    local i=0
    while [ "$i" -lt "$1" ]; do printf '%s\n' "$2"; i=$((i + 1)); done
}

# frame_line KIND ID LEN BYTE...: the frame line the receive run prints.
frame_line() {
    local b
    printf '%-14s%08X %d ' "$1" "0x$2" "$3"
    shift 3
    for b in "$@"; do printf '%02X ' "0x$b"; done
    printf '\n'
}

# grown_frames HEAD BYTE FIRST MASK N LEN FILL: N grow-mode frames, one per
# step and line: identifiers from FIRST AND MASK up by one (wrapping after
# MASK), payloads as src/frame/GrowPayload.h has them, the fill byte FILL;
# each line is the identifier in the printf format HEAD, then each byte in BYTE.
grown_frames() {
    awk -v head="$1" -v byte="$2" -v first="$((0x$3 & 0x$4))" -v mask="$((0x$4))" \
        -v n="$5" -v len="$6" -v fill="$((0x$7))" 'BEGIN {
        for (i = 0; i < n; i++) {
            id = (first + i) % (mask + 1)
            line = sprintf(head, id)
            scale = 1
            for (b = 0; b < len; b++) {
                line = line sprintf(byte, b < 4 ? int(id / scale) % 256 : fill)
                scale *= 256
            }
            print line
        }
    }'
}

# grown_lines KIND FIRST MASK N LEN FILL: their frame lines.
grown_lines() {
    grown_frames "$(printf '%-14s' "$1")%08X $5 " '%02X ' "$2" "$3" "$4" "$5" "$6"
}

# ------------------------------------------------------------ run output

# last_device ARGS...: the word after the last -D (a sender's interface).
last_device() {
    local dev=""
    while [ $# -gt 0 ]; do
        [ "$1" = -D ] && dev=$2
        shift
    done
    echo "$dev"
}

# device_of PROG ARGS...: the interface of a run: the word after the last -D
# of the options, the first word of the positional form, else can0.
device_of() {
    local dev=""
    shift
    case "${1:-}" in
        -*) dev=$(last_device "$@") ;;
        *) dev=${1:-} ;;
    esac
    echo "${dev:-can0}"
}

# bus_limit_apart WHAT DEV ERR_FILE: a send run on a controller (sja*, fd*)
# ends its stderr with one line on the bus's limit, elsewhere with none;
# checks that and writes the other lines to ERR_FILE.rest.
bus_limit_apart() {
    local want=0
    case $2 in sja*|fd*|xcan*) want=1 ;; esac
    expect_eq "$1: bus-limit lines on stderr" "$want" "$(grep -c "^bus limit of $2:" "$3")"
    grep -v "^bus limit of $2:" "$3" > "$3.rest"
}

# bus_limit_rows: each line of stdin, "PROG DEV BITS US FPS ARGS...", a send
# run of 20 frames of PROG on DEV with ARGS, whose stderr must be the
# bus-limit line for BITS bits a frame, US microseconds a frame and FPS
# frames a second at the bit rate (and data bit rate, with -B) that
# `ip -details link show DEV` gives (the run's own share masked).
bus_limit_rows() {
    local prog dev bits us fps args rates
    while read -r prog dev bits us fps args; do
        rates=$(ip -details link show "$dev" | awk '$1 == "bitrate" { r = $2 } $1 == "dbitrate" { d = $2 }
            END { print r; print d }')
        set -- $rates
        rates=$1
        case " $args " in *" -B "*) rates="$1/$2" ;; esac
        expect_status "$prog $args: exit status" 1 run_fg send $prog -D "$dev" -w -C 20 $args
        expect_run "$prog $args" send send 20
        sed 's/; this run \(faster: frames waited in the queue, or the controller does not keep to its bit timing\|[0-9]*% of it\)$//' \
            "$W/send.err" > "$W/send.limit"
        echo "bus limit of $dev:$rates bit/s, $bits bits, $us us a frame, $fps f/s at most" > "$W/want"
        expect_file "$prog $args: stderr" "$W/want" "$W/send.limit"
    done
}

# rates_masked FILE: FILE with the numbers of "time:" and "speed:" lines
# replaced by <T> and <S>, for exact comparison of everything else.
rates_masked() {
    sed -e 's/^time:-\{0,1\}[0-9][0-9]* us$/time:<T> us/' \
        -e 's/^speed:-\{0,1\}[0-9][0-9]* f\/s$/speed:<S> f\/s/' "$1"
}

# frames_of FILE: the count of the "send frames:"/"receive frames:" line.
frames_of() {
    sed -n 's/^\(send\|receive\) frames:\(-\{0,1\}[0-9][0-9]*\)$/\2/p' "$1" | tail -n 1
}

# expect_rate WHAT FILE: the speed line agrees with the count and the time:
# speed = frames * 1000000 / time, truncated; time above 0.
expect_rate() {
    local frames t s want
    checked
    frames=$(frames_of "$2")
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

# totals KIND N [norate]: the end of a run's output, with masked numbers.
totals() {
    printf '\n%s frames:%s\n' "$1" "$2"
    [ "${3:-}" = norate ] || printf 'time:<T> us\nspeed:<S> f/s\n'
}

# expect_output WHAT WANT_FILE OUT_FILE: OUT_FILE equals WANT_FILE once the
# time and speed numbers are masked, and those numbers agree with each other.
expect_output() {
    rates_masked "$3" > "$3.masked"
    expect_file "$1" "$2" "$3.masked"
    if grep -q '^time:' "$2"; then expect_rate "$1 rate" "$3"; fi
}

# expect_run WHAT NAME KIND N: the standard output of run NAME: the prompts in
# $W/NAME.head (if any), "Testing..." and the totals of N frames of KIND.
expect_run() {
    { cat "$W/$2.head" 2>/dev/null; echo Testing...; totals "$3" "$4"; } > "$W/$2.want"
    expect_output "$1: stdout" "$W/$2.want" "$W/$2.out"
}

# send_case NAME DEV N FRAMES_FILE PROG ARGS...: one complete send run while
# candump listens on DEV; checks status 1, the totals for N frames, an empty
# stderr, the frames candump saw against FRAMES_FILE and the tx_packets delta.
send_case() {
    local name=$1 dev=$2 n=$3 want_frames=$4 tx0
    shift 4
    start_dump dump "$dev"
    tx0=$(stat_of "$dev" tx_packets)
    expect_status "$name: exit status" 1 run_fg send "$@"
    stop_dump dump "$n"
    expect_run "$name" send send "$n"
    expect_empty "$name: stderr" "$W/send.err"
    expect_file "$name: frames seen by candump" "$want_frames" "$W/dump.frames"
    expect_eq "$name: frames sent on $dev (tx_packets)" "$n" $(( $(stat_of "$dev" tx_packets) - tx0 ))
}

# expect_recv_err WHAT: the receive run's stderr is $W/recv.err.want where
# the case wrote one, else empty.
expect_recv_err() {
    if [ -f "$W/recv.err.want" ]; then
        expect_file "$1" "$W/recv.err.want" "$W/recv.err"
    else
        expect_empty "$1" "$W/recv.err"
    fi
}

# id_text MASK ID: identifier ID (a number) as the receive run writes it,
# in 3 digits under the standard mask 7FF, else in 8.
id_text() {
    if [ "$1" = 7FF ]; then printf '%03X' "$2"; else printf '%08X' "$2"; fi
}

# sequence_line DEV N FIRST LAST [SEQUENCES]: a receive run's line on the
# whole sequences of grow-mode runs, one frame a step, that brought it N
# frames, identifiers FIRST to LAST (as id_text writes them).
sequence_line() {
    local in=""
    [ -n "${5:-}" ] && in=" in $5 sequences"
    printf 'sequence of %s:%s frames%s, identifiers %s to %s, 1 frame per step, none missing, repeated or out of order\n' \
        "$1" "$2" "$in" "$3" "$4"
}

# missing_of ERR_FILE: the frames that the sequence line in ERR_FILE counts
# missing, 0 when it counts none.
missing_of() {
    sed -n 's/^sequence of .*, \([0-9]*\) missing.*/\1/p' "$1" | grep . || echo 0
}

# recv_case NAME WANT_FILE PROG ARGS... -- SENDER...: start a receive run,
# run the sender command to its end, SIGINT the run once it has read what
# came, expect status 0, the
# output WANT_FILE (numbers of the rate line masked) and the stderr of
# expect_recv_err.
recv_case() {
    local name=$1 want=$2 prog=""
    shift 2
    while [ "$1" != "--" ]; do prog="$prog $1"; shift; done
    shift
    start_run recv $prog || return
    ensure "$name: sender '$*' failed" "$@"
    settle "$(device_of $prog)" "$(pid_of recv)"
    expect_status "$name: exit status" 0 stop_run recv
    expect_output "$name: stdout" "$want" "$W/recv.out"
    expect_recv_err "$name: stderr"
}

# across NAME RX FOR RECEIVER... -- SENDER...: a receive run (recv) on
# interface RX while a send run (send) goes to its end (FOR "stopped": the
# receive run stopped meanwhile), or with FOR a number, runs FOR seconds and
# gets SIGINT; then SIGINT to the receive run once it has read what came.
# Checks both exit statuses and standard outputs; the totals are then in
# $W/send.out and $W/recv.out.
across() {
    local name=$1 rx=$2 for=$3 recv=""
    shift 3
    while [ "$1" != "--" ]; do recv="$recv $1"; shift; done
    shift
    start_run recv $recv || return 1
    [ "$for" = stopped ] && kill -STOP "$(pid_of recv)"
    if [ "$for" = - ] || [ "$for" = stopped ]; then
        expect_status "$name: send run: exit status" 1 run_fg send "$@"
    else
        start_run send "$@" || return 1
        sleep "$for"
        expect_status "$name: send run: exit status" 1 stop_run send
    fi
    kill -CONT "$(pid_of recv)"
    settle "$rx" "$(pid_of recv)"
    expect_status "$name: receive run: exit status" 0 stop_run recv
    expect_run "$name: send run" send send "$(frames_of "$W/send.out")"
    expect_run "$name: receive run" recv receive "$(frames_of "$W/recv.out")"
}

# thousand NAME RX RECEIVER... -- SENDER...: across, where 1000 frames go
# out and arrive, and neither run says anything on stderr but, on a
# controller, the send run's line on the bus's limit, and the receive run
# what expect_recv_err wants.
thousand() {
    local name=$1
    across "$@" || return 1
    bus_limit_apart "$name: send run" "$(last_device "$@")" "$W/send.err"
    expect_empty "$name: send run: stderr" "$W/send.err.rest"
    expect_recv_err "$name: receive run: stderr"
    expect_eq "$name: frames sent" 1000 "$(frames_of "$W/send.out")"
    expect_eq "$name: frames received" 1000 "$(frames_of "$W/recv.out")"
}

# grown_dump WIDTH FIRST MASK N LEN FILL MARK: the frames of grown_lines in
# candump -L's notation: the identifier in WIDTH hexadecimal digits, MARK
# ("#", "##5", "##4") and the payload.
grown_dump() {
    grown_frames "%0$1X$7" '%02X' "$2" "$3" "$4" "$5" "$6"
}

# each K: every line of stdin K times.
each() { awk -v k="$1" '{ for (i = 0; i < k; i++) print }'; }

# shape_lines DEV PER < ROWS: the receive run's lines on grow_runs' ROWS: a
# sequence line per frame type, length and fill byte (a shape), as they
# began (the eighth on share one), then the line of the other frames. Only
# data frames that carry their whole identifier and a byte more are judged
# (3 bytes and more with a standard identifier, 4 with an extended one): the
# others are other frames, one for one. A row of a shape seen before goes on
# from the identifier after the shape's last, and a sequence has 10 steps or
# more, 8 between its first and last, from which its frames per step are
# told; a row that breaks these makes a line naming it, which no receive
# run prints.
shape_lines() {
    awk -v dev="$1" -v per="$2" 'function hex(s, i, n) { for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789ABCDEF", substr(toupper(s), i, 1)) - 1; return n }
        function id(t, v) { return t == 2 ? sprintf("%08X", v) : sprintf("%03X", v) }
        BEGIN { scale[0] = 1; for (b = 1; b < 4; b++) scale[b] = scale[b - 1] * 256 }
        { size = $2 == 2 ? 536870912 : 2048; v = hex($4) % size
          kind = $2 == 2 ? "expand_data" : "stand_data"
          if ($3 < ($2 == 2 ? 4 : 3)) {
              if (!other) {
                  first_other = sprintf("%-14s%08X %d ", kind, v, $3)
                  for (b = 0; b < $3; b++) first_other = first_other sprintf("%02X ", b < 4 ? int(v / scale[b]) % 256 : hex($5))
              }
              other += $1 * per
              next
          }
          fill = $3 > 4 ? sprintf(", fill %02X", hex($5)) : ""
          if (($2, $3, fill) in shape) {
              s = shape[$2, $3, fill]
              if (v != after[s]) print "shape_lines: row " NR " does not go on from the identifier after its shape\047s last"
          } else {
              s = shape[$2, $3, fill] = ++shapes
              first[s] = id($2, v)
              label[s] = sprintf("%s, %d byte%s%s", kind, $3, $3 == 1 ? "" : "s", fill)
          }
          frames[s] += $1 * per; steps[s] += $1; last[s] = id($2, (v + $1 - 1) % size); after[s] = (v + $1) % size }
        END { for (s = 1; s <= shapes; s++) {
                  if (steps[s] < 10) print "shape_lines: " label[s] ": " steps[s] " steps, which tell no frames per step"
                  l = s < 8 ? s : 8
                  if (!lframes[l]) lfirst[l] = first[s]
                  lframes[l] += frames[s]; runs[l]++; llast[l] = last[s]
              }
              for (l = 1; l <= shapes && l <= 8; l++)
                  printf("sequence of %s%s:%d frames%s, identifiers %s to %s, %d frame%s per step, none missing, repeated or out of order\n",
                      dev, shapes == 1 ? "" : " (" ((l == 8 && shapes > 8) ? "other shapes" : label[l]) ")", lframes[l],
                      runs[l] > 1 ? " in " runs[l] " sequences" : "", lfirst[l], llast[l], per, per == 1 ? "" : "s")
              if (other && shapes) printf("other frames:%d, the first: %s\n", other, first_other) }'
}

# grow_runs PROG TX RX SHOW ROWS: one receive run of PROG on RX in display
# SHOW (none, screen or file), and candump -L beside it but in display
# none, while each line of the file ROWS, "STEPS FRAMETYPE LEN FIRST_ID FILL
# [OPTION...]", is one grow-mode send run of PROG on TX of STEPS steps, with
# the OPTIONs (-B, -c K, -t US ...). Checks every send run (totals, the
# frames TX counted sent, nothing on stderr but the bus-limit line), the
# receive run's totals, its frame lines (screen) or file, the frames candump
# got, in order, and the receive run's sequence lines, none missing (a line
# per kind, length and fill byte); all rows send the same frames per step. Display none is for
# long unpaced runs, which candump cannot keep up with on the emulated CPU.
grow_runs() {
    local prog=$1 tx=$2 rx=$3 show=$4 rows=$5 steps type len first fill opts
    local kind mask width mark per=1 n total=0 name tx0
    : > "$W/want.lines"
    : > "$W/want.dump"
    [ "$show" = none ] || start_dump dump "$rx"
    case $show in
        file) start_run recv $prog -D "$rx" -S 2 -p "$W/frames.txt" || return 1 ;;
        screen) start_run recv $prog -D "$rx" -S 1 || return 1 ;;
        *) start_run recv $prog -D "$rx" || return 1 ;;
    esac
    while read -r steps type len first fill opts; do
        name="$prog -D $tx -g -C $steps -F $type -s $len -i $first -d $fill $opts"
        case " $opts " in *" -c "*) per=$(echo " $opts " | sed 's/.* -c \([0-9]*\) .*/\1/') ;; esac
        n=$((steps * per))
        kind=stand_data mask=7FF width=3
        [ "$type" = 2 ] && kind=expand_data mask=1FFFFFFF width=8
        mark="#"
        [ "$prog" = "$FD" ] && mark="##4"
        case " $opts " in *" -B "*) mark="##5" ;; esac
        tx0=$(stat_of "$tx" tx_packets)
        expect_status "$name: exit status" 1 run_fg send $prog -D "$tx" -w -g -C "$steps" -F "$type" \
            -s "$len" -i "$first" -d "$fill" $opts
        expect_run "$name" send send "$n"
        bus_limit_apart "$name" "$tx" "$W/send.err"
        expect_empty "$name: stderr" "$W/send.err.rest"
        expect_eq "$name: frames sent on $tx (tx_packets)" "$n" $(( $(stat_of "$tx" tx_packets) - tx0 ))
        grown_lines "$kind" "$first" "$mask" "$steps" "$len" "$fill" | each "$per" >> "$W/want.lines"
        grown_dump "$width" "$first" "$mask" "$steps" "$len" "$fill" "$mark" | each "$per" >> "$W/want.dump"
        total=$((total + n))
    done < "$rows"
    settle "$rx" "$(pid_of recv)"
    expect_status "$prog on $rx: exit status" 0 stop_run recv
    if [ "$show" = screen ]; then
        { echo Testing...; cat "$W/want.lines"; totals receive "$total"; } > "$W/recv.want"
        expect_output "$prog on $rx: stdout" "$W/recv.want" "$W/recv.out"
    else
        expect_run "$prog on $rx" recv receive "$total"
    fi
    shape_lines "$rx" "$per" < "$rows" > "$W/recv.err.want"
    expect_recv_err "$prog on $rx: stderr"
    rm "$W/recv.err.want"
    [ "$show" = file ] && expect_file "$prog on $rx: output file" "$W/want.lines" "$W/frames.txt"
    [ "$show" = none ] && return
    stop_dump dump "$total"
    awk '{ print $3 }' "$W/dump.log" > "$W/dump.got"
    expect_file "candump on $rx" "$W/want.dump" "$W/dump.got"
}

# ------------------------------------------------------------ marked runs
#
# The truth of marked send runs (--mark) comes from candump -L at both ends,
# since netem counts neither the frames it garbled nor those it reordered.
# On the sending interface candump sees a copy of each frame the send run's
# socket wrote, since the runs loop their frames back (-l); where that copy
# is taken depends on the interface:
# - a controller (sja*, fd*, xcan*) has IFF_ECHO: its driver keeps the frame
#   when the queue discipline hands it over and gives it back when the
#   controller reports it sent, so the log holds the frames that went on the
#   bus, in their order there (netem's losses not, its duplicates twice);
# - vxcan has no IFF_ECHO: the CAN core loops a copy of each frame back
#   itself once the queue discipline took it, before netem drops, garbles,
#   doubles or holds it (netem garbles a copy of its own), so the log holds
#   the frames written.
# marked_end checks both by count. On the receiving interface candump sees
# what arrived, as the receive run does.

# marked_truth DEV TX_LOG RX_LOG [SKIP_LOG]: the marked runs of the frames
# in RX_LOG, reckoned by their definitions against the frames of TX_LOG:
# a received frame equal to a sent one is that frame; one that differs from
# every sent frame only in payload bytes 9 and up is a damaged copy of the
# sent frame it matches in the rest; any other is another frame, and so is
# each frame of SKIP_LOG (matched by time stamp and text: frames candump
# shows alike though the receive run sees them otherwise). A frame's run is
# its tag (payload bytes 3 and 4, and the low 3 bits of byte 5), its number
# payload bytes 0 to 2, little-endian, byte 5's bit 3 marks the run's last.
# Per run, in the order the runs began: missing, the numbers up to the
# highest that came which never came; repeated, frames beyond the first of a
# number; out of order, frames that came after a frame of a higher number;
# damaged, the damaged copies. Writes $W/truth.lines, the marked run lines
# DEV's receive run prints for them, $W/truth.runs, "TAG MISSING REPEATED
# LATE DAMAGED LAST FIRST_LINE LAST_LINE" a run (LAST 1 when the frame
# marked last came; the lines of RX_LOG where its first and last frame
# came), $W/truth.tags, the tags, $W/truth.came, "TAG FRAMES", and
# $W/truth.other, the other frames.
marked_truth() {
    awk -v dev="$1" -v txlog="$2" -v skiplog="${4:-}" -v out="$W/truth" '
        function hex(s, i, n) { for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789ABCDEF", substr(s, i, 1)) - 1; return n }
        function byte(i) { return hex(substr(data, 2 * i + 1, 2)) }
        # data, the payload of frame f in candump notation, and key, what a
        # damaged copy keeps: identifier, CAN FD or not with the bit-rate
        # switch, length and payload bytes 0 to 8.
        function parse(f, i, brs) {
            i = index(f, "#")
            data = substr(f, i + 1)
            brs = "-"
            if (substr(data, 1, 1) == "#") { brs = hex(substr(data, 2, 1)) % 2; data = substr(data, 3) }
            key = substr(f, 1, i - 1) "#" brs "#" length(data) "#" substr(data, 1, 18)
        }
        function range(a, b) { return a == b ? a : a " to " b }
        function run() { return sprintf("%05X", byte(3) + 256 * byte(4) + 65536 * (byte(5) % 8)) }
        BEGIN {
            while ((getline line < txlog) > 0) { split(line, f, " "); parse(f[3]); sent[key] = data }
            if (skiplog != "") while ((getline line < skiplog) > 0) { split(line, f, " "); skip[f[1] " " f[3]] = 1 }
        }
        { parse($3)
          if (!(key in sent) || (($1 " " $3) in skip)) { other++; next }
          tag = run()
          number = byte(0) + 256 * byte(1) + 65536 * byte(2)
          if (!(tag in frames)) { runs[++count] = tag; top[tag] = -1; begun[tag] = NR }
          frames[tag]++
          ended[tag] = NR
          if (seen[tag, number]++) repeated[tag]++
          if (number < top[tag]) late[tag]++; else top[tag] = number
          if (int(byte(5) / 8) % 2) last[tag] = 1
          if (data != sent[key]) damaged[tag]++ }
        END {
            for (r = 1; r <= count; r++) {
                t = runs[r]; missing = 0; places = 0; text = ""
                for (n = 0; n <= top[t]; n++) {
                    if ((t, n) in seen) continue
                    m = n
                    while (m < top[t] && !((t, m + 1) in seen)) m++
                    missing += m - n + 1
                    if (++places <= 3) text = text (places == 1 ? " (" : ", ") range(n, m)
                    n = m
                }
                text = places > 3 ? text ", ...)" : places ? text ")" : ""
                figures = missing + repeated[t] + late[t] + damaged[t] == 0 ? "none missing, repeated, out of order or damaged" : \
                    sprintf("%d missing%s, %d repeated, %d out of order, %d damaged", missing, text, repeated[t], late[t], damaged[t])
                printf("marked run %s of %s:%d frames, numbers 0 to %d, %s; %s\n", t, dev, frames[t], top[t],
                    last[t] ? "the last" : "the end cannot tell", figures) > (out ".lines")
                print t, missing, repeated[t] + 0, late[t] + 0, damaged[t] + 0, last[t] + 0, begun[t], ended[t] > (out ".runs")
                print t > (out ".tags")
            }
            print other + 0 > (out ".other")
            for (t in frames) print t, frames[t] > (out ".came")
        }' "$3"
    touch "$W/truth.lines" "$W/truth.runs" "$W/truth.tags" "$W/truth.came"
}

# marked_begin PROG TX RX: no send runs yet (marked_sent), roomy sockets,
# candump -L on TX (txlog) and on RX (rxlog, and remote.log for the frames
# with the remote flag, which candump shows as data frames when they are
# CAN FD frames), and a receive run of PROG on RX (recv).
marked_begin() {
    : > "$W/tags"
    : > "$W/sends"
    roomy_socket
    TX0=$(stat_of "$2" tx_packets)
    DROPPED0=$(stat_of "$2" tx_dropped)
    start_dump txlog "$2"
    start_dump rxlog "$3"
    start_dump remote "$3" 40000000:40000000
    start_run recv $1 -D "$3"
}

# marked_send NAME PROG TX ARGS...: a marked send run of PROG on TX in the
# background, its frames looped back for candump (-l).
marked_send() {
    local name=$1 prog=$2 tx=$3
    shift 3
    start_bg "$name" timeout -s KILL 120 $prog -D "$tx" -w -l --mark "$@"
}

# marked_sent NAME TX N: the marked send run NAME on TX ended with status 1
# and N frames sent, and began its stderr with its tag, which goes to
# $W/tags; "NAME TAG N" goes to $W/sends, its other lines to $W/NAME.more
# (marked_end checks them).
marked_sent() {
    local tag
    expect_status "$1: exit status" 1 reap "$1"
    expect_run "$1" "$1" send "$3"
    tag=$(sed -n "1s/^marked run \([0-9A-F]\{5\}\) from $2\$/\1/p" "$W/$1.err")
    ensure "$1: stderr does not begin with its tag: $(head -n 1 "$W/$1.err")" [ -n "$tag" ]
    sed 1d "$W/$1.err" > "$W/$1.more"
    echo "$tag" >> "$W/tags"
    echo "$1 $tag $3" >> "$W/sends"
}

# sends_said TX: after marked_truth, each send run of $W/sends said on
# stderr, after its tag, on a controller its bus-limit line and, where
# fewer frames of its run went on the bus (those that came: marked_end
# checks that all came) than it wrote, the line of its untransmitted
# frames; on vxcan nothing. Tags are compared as text: busybox awk takes
# one such as 2E910 for a number, infinite, and finds it unequal to itself.
sends_said() {
    local name tag n wire
    while read -r name tag n; do
        bus_limit_apart "$name" "$1" "$W/$name.more"
        : > "$W/$name.want"
        case $1 in
            vxcan*) ;;
            *) wire=$(awk -v t="$tag" '$1 "" == t "" { print $2 }' "$W/truth.came")
               [ "${wire:-0}" -lt "$n" ] &&
                   echo "untransmitted frames:$((n - ${wire:-0})), which $1 had not sent when the run ended: dropped or held by a queue discipline or the driver (tc -s qdisc show dev $1; ip -details -statistics link show $1)" > "$W/$name.want" ;;
        esac
        expect_file "$name: stderr after its tag" "$W/$name.want" "$W/$name.more.rest"
    done < "$W/sends"
}

# echoes_of BUS_FILE ECHO_FILE: the frames of ECHO_FILE are those of
# BUS_FILE, in their order, but for some that repeat an earlier one. The
# CAN core gives a socket each buffer once, told by its address and a count
# kept in its data, which netem's duplicate shares with its original: the
# echo of a duplicate that comes at the address its original's had is now
# and then dropped as seen (here in 7 of 20 runs of t_marked_two_senders, 1
# or 2 of about 4,200 echoes; never with one send run at a time).
echoes_of() {
    awk -v echoes="$2" 'BEGIN { while ((getline line < echoes) > 0) echo[++n] = line; j = 1 }
        { if (j <= n && $0 == echo[j]) j++; else if (!($0 in seen)) bad = 1
          seen[$0] = 1 }
        END { exit bad || j <= n }' "$1"
}

# marked_end PROG TX RX SENT: once SENT frames were written on TX, stops the
# receive run and the candumps and checks: every candump saw what it should
# (on RX, the receive run's frames; on TX, SENT on vxcan, on a controller
# echoes_of those on RX, which must be all that TX sent by its counter),
# and the receive run's lines on stderr are marked_truth's, the other
# frames counted, and none cannot tell; then sends_said. The lines go to
# the console too.
marked_end() {
    local prog=$1 tx=$2 rx=$3 sent=$4 wire got
    wire=$(( $(stat_of "$tx" tx_packets) - TX0 ))
    settle "$rx" "$(pid_of recv)"
    expect_status "$prog on $rx: exit status" 0 stop_run recv
    got=$(frames_of "$W/recv.out")
    expect_run "$prog on $rx" recv receive "$got"
    case $tx in vxcan*) wire=$sent ;; esac
    stop_dump txlog "$wire"
    stop_dump rxlog "$got"
    stop_dump remote 0
    expect_eq "candump on $rx: frames" "$got" "$(wc -l < "$W/rxlog.log")"
    case $tx in
        vxcan*) expect_eq "candump on $tx: frames" "$sent" "$(wc -l < "$W/txlog.log")" ;;
        *) expect_eq "frames on $rx, against those $tx sent (tx_packets)" "$wire" "$got"
           ensure "candump on $tx: not the echoes of the frames on $rx" echoes_of "$W/rxlog.frames" "$W/txlog.frames" ;;
    esac
    marked_truth "$rx" "$W/txlog.log" "$W/rxlog.log" "$W/remote.log"
    cp "$W/truth.lines" "$W/recv.err.want"
    [ "$(cat "$W/truth.other")" = 0 ] || echo "other frames:$(cat "$W/truth.other"), the first: <F>" >> "$W/recv.err.want"
    sed 's/^\(other frames:[0-9]*, the first: \).*/\1<F>/' "$W/recv.err" > "$W/recv.err.masked"
    expect_file "$prog on $rx: stderr" "$W/recv.err.want" "$W/recv.err.masked"
    expect_eq "$prog on $rx: lines that cannot tell" 0 "$(grep -c 'cannot tell' "$W/recv.err")"
    sends_said "$tx"
    sed "s/^/measured: $CASE: /" "$W/recv.err"
    echo "measured: $CASE: candump saw $(wc -l < "$W/txlog.log") frames on $tx, $got on $rx," \
        "$(wc -l < "$W/remote.log") of them with the remote flag; $tx dropped $(( $(stat_of "$tx" tx_dropped) - DROPPED0 )) as invalid"
}

# marked_runs PROG TX RX ROWS: marked send runs of PROG on TX, one after the
# other, into one receive run on RX, each its own run. Each line of the file
# ROWS, "FIGURE; QDISC; SEND_ARGS", is a send run with SEND_ARGS (-C N among
# them). A QDISC other than "none" is on TX from the run's 50th frame on the
# wire to its (N/2)th, so that the run's last frames pass clean, and the
# run's FIGURE (missing, repeated, late or damaged; "-" for none) must come
# out above 0. Checks each send run, then marked_end; the runs' tags are
# those the send runs named, in their order, and each run's last frame came.
marked_runs() {
    local prog=$1 tx=$2 rx=$3 rows=$4 figure qdisc args n i=0 sent=0 base got
    : > "$W/figures"
    marked_begin "$prog" "$tx" "$rx" || return 1
    while IFS=';' read -r figure qdisc args <&3; do
        i=$((i + 1))
        qdisc=$(echo $qdisc)
        n=$(echo " $args " | sed 's/.* -C \([0-9]*\) .*/\1/')
        base=$(stat_of "$tx" tx_packets)
        marked_send "run$i" "$prog" "$tx" $args
        if [ "$qdisc" != none ]; then
            ensure "run $i: fewer than 50 frames on $tx" wait_until 100 stat_above "$tx" tx_packets $((base + 50))
            ensure "run $i: $qdisc on $tx failed" add_qdisc "$tx" $qdisc
            ensure "run $i: fewer than $((n / 2)) frames on $tx" wait_until 300 stat_above "$tx" tx_packets $((base + n / 2))
            ensure "run $i: it ended before $qdisc came off" alive "$(pid_of "run$i")"
            tc qdisc del dev "$tx" root
        fi
        marked_sent "run$i" "$tx" "$n"
        sent=$((sent + n))
        echo "$i $(echo $figure)" >> "$W/figures"
    done 3< "$rows"
    marked_end "$prog" "$tx" "$rx" "$sent"
    expect_file "$prog on $rx: the runs' tags, in order" "$W/tags" "$W/truth.tags"
    while read -r i figure; do
        set -- $(sed -n "${i}p" "$W/truth.runs") - - - - - -
        case $figure in missing) got=$2 ;; repeated) got=$3 ;; late) got=$4 ;; *) got=$5 ;; esac
        [ "$figure" = - ] || ensure "run $i: no frame $figure" [ "$got" -gt 0 ]
        expect_eq "run $i: its last frame came" 1 "$6"
    done < "$W/figures"
}

# marked_classic TX RX: marked_runs of can_tester from TX to RX (two
# controllers): lost, doubled and reordered frames (netem holds most frames
# 2 ms and lets the others overtake), then a clean run; with and without
# -g, both identifier kinds, the extended identifiers wrapping.
marked_classic() {
    cat > "$W/rows" <<EOF
missing; netem loss 5%; -C 2000 -t 200
repeated; netem duplicate 5%; -C 2000 -t 200 -g -i 100
late; netem delay 2ms reorder 30% 50%; -C 2000 -t 200 -F 2 -g -i 1FFFFF00
-; none; -C 500 -t 200 -d 3C
EOF
    marked_runs $CL "$1" "$2" "$W/rows"
}
