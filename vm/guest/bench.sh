# SPDX-License-Identifier: MIT
# Benchmark: send and receive rates of canfd_tester and can_tester next to
# can-utils and a bare write() or read() loop, all in one VM run. It prints figures and
# judges none of them; it ends with status 1 only when a contender did not run.
#
# Every row runs in ROUNDS rounds with its contenders one after the other in
# each round (A B C, A B C, ...), so that a drift of the emulated CPU's speed
# hits them alike. A row shows each figure as the median (min-max) of its
# rounds and each ratio as the median (min-max) of the ratios of the rounds.
# The CPU is emulated: only ratios between contenders of one row carry over.
#
# Send rows: each contender puts N frames (id 0x123, payload bytes 0x55) on
# the interface with nobody listening and local loopback off (our programs'
# default, writeloop 0, cangen -x). "own" is the rate a sender prints itself
# (our programs and writeloop time their send loop only), "process" is N
# frames over the time from exec to exit, the only figure cangen gives.
#
# Receive rows: one receiver at a time, ours, the bare read() loop (readloop,
# the floor) or candump in the same display mode, while a sender puts RN
# frames of the row's length on the bus with loopback on (our own send run
# with the row's further options, such as -B).
# Once the receiver sleeps on an empty socket again, its user + system time is
# read from /proc/PID/stat and it gets SIGINT (an idle read then ends at once).

. /guest/lib.sh

ROUNDS=${vmbenchrounds:-5}
N=$(( ${vmbenchn:-16000} / 100 * 100 ))   # a whole number of 100-frame steps
RN=${vmbenchrecvn:-4000}
ROWS=${vmbenchrows:-all}    # all, send or receive
MACHINE=${vmmachine:-virt}  # whose links the rows use
BASE=/opt/baseline
B=/tmp/bench
SAMPLES=$B/samples      # one recorded figure a line: KEY <tab> ROUND <tab> VALUE
rm -rf "$B"; mkdir -p "$B"; : > "$SAMPLES"
status=0

say() { echo "BENCH $*"; }
broken() { say "error: $*"; status=1; }
now_us() { writeloop --now; }

# Clock ticks a second, the unit of the times in /proc/PID/stat (busybox has
# no getconf): awk's own start time in ticks since boot over the seconds
# since boot, rounded to ten.
HZ=$(awk 'NR == FNR { up = $1; next }
          { sub(/^.*\) /, ""); printf "%d", int($20 / up / 10 + 0.5) * 10 }' /proc/uptime /proc/self/stat)

# ------------------------------------------------------------ figures

# record KEY ROUND VALUE
record() { printf '%s\t%s\t%s\n' "$1" "$2" "$3" >> "$SAMPLES"; }

# spread FORMAT: "MEDIAN (MIN-MAX)" of the numbers on stdin, one a line.
spread() {
    sort -n | awk -v f="$1" '{ v[NR] = $1 }
        END {
            if (NR == 0) { print "-"; exit }
            m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf f " (" f "-" f ")\n", m, v[1], v[NR]
        }'
}

# figure KEY FORMAT: the spread of the values recorded for KEY.
figure() { awk -F '\t' -v k="$1" '$1 == k { print $3 }' "$SAMPLES" | spread "$2"; }

# ratio KEY_A KEY_B: the spread of A / B over the rounds that have both.
ratio() {
    awk -F '\t' -v a="$1" -v b="$2" '
        $1 == a { x[$2] = $3 }
        $1 == b { y[$2] = $3 }
        END { for (r in x) if ((r in y) && y[r] > 0) print x[r] / y[r] }' "$SAMPLES" | spread %.2f
}

# pooled KEY: CPU microseconds a frame over all rounds of receiver KEY
# (its ticks added up over its frames added up, so that the tick's 10 ms
# weighs less than in one round), and that sum of ticks.
pooled() {
    awk -F '\t' -v t="$1.ticks" -v f="$1.recv" -v hz="$HZ" '
        $1 == t { ticks += $3 }
        $1 == f { frames += $3 }
        END { if (frames > 0) printf "%.1f (%d ticks)\n", ticks * 1000000 / hz / frames, ticks; else print "-" }' "$SAMPLES"
}

# ------------------------------------------------------------ senders

# run_sender DEV COMMAND...: runs COMMAND, output in $B/out; sets RC, SENT
# (frames DEV counted as sent meanwhile) and US (microseconds exec to exit).
run_sender() {
    local dev=$1 tx0 t0
    shift
    tx0=$(stat_of "$dev" tx_packets)
    t0=$(now_us)
    "$@" > "$B/out" 2>&1
    RC=$?
    US=$(( $(now_us) - t0 ))
    SENT=$(( $(stat_of "$dev" tx_packets) - tx0 ))
}

# The rate a sender printed itself: our "speed:" line or writeloop's.
own_rate() {
    sed -n -e 's/^speed:\([0-9]*\) f\/s$/\1/p' -e 's/^writeloop: .*: \([0-9]*\) f\/s$/\1/p' "$B/out" | tail -n 1
}

# send_one KEY ROUND DEV OWN COMMAND...: one send run; records KEY.process
# and, when OWN is 1, KEY.own. Our send runs end with status 1, so a sender
# that prints its rate counts as run when it printed it, cangen when it
# ended with status 0.
send_one() {
    local key=$1 round=$2 dev=$3 own=$4 rate
    shift 4
    run_sender "$dev" "$@"
    [ "$SENT" = "$N" ] || say "warning: $key put $SENT frames on $dev, not $N"
    if [ "$own" = 1 ]; then
        rate=$(own_rate)
        [ -n "$rate" ] || { broken "$key did not run: $(head -c 200 "$B/out" | tr '\n' '|')"; return; }
        record "$key.own" "$round" "$rate"
    elif [ "$RC" != 0 ]; then
        broken "$key did not run (status $RC): $(head -c 200 "$B/out" | tr '\n' '|')"
        return
    fi
    record "$key.process" "$round" $(( SENT * 1000000 / US ))
}

# frame_kind PROG: sets KIND (writeloop's frame word) and GEN_FD (cangen's).
frame_kind() {
    KIND=classic GEN_FD=""
    [ "$1" = canfd_tester ] && KIND=fd GEN_FD=-f
}

# ------------------------------------------------------------ send rows

# send_row PROG LENGTH DEV: writeloop, PROG at 1 and at 100 frames a step,
# cangen -g 0 and, when a baseline build is there, its PROG at 1 and 100
# frames a step; N frames of LENGTH bytes each on DEV.
send_row() {
    local prog=$1 len=$2 dev=$3 row="send.$1.$2" who r c data contenders label
    frame_kind "$prog"
    data=$(rep "$len" 55)
    contenders="writeloop ours.1 ours.100 cangen"
    [ -x "$BASE/$prog" ] && contenders="$contenders baseline.1 baseline.100"
    r=1
    while [ "$r" -le "$ROUNDS" ]; do
        for c in $contenders; do
            case $c in
                writeloop) send_one "$row.$c" "$r" "$dev" 1 writeloop "$dev" "$N" "$KIND" 0 "$len" ;;
                cangen) send_one "$row.$c" "$r" "$dev" 0 \
                            cangen "$dev" $GEN_FD -x -g 0 -n "$N" -I 123 -L "$len" -D "$data" ;;
                *)  who=$prog; [ "${c%.*}" = baseline ] && who=$BASE/$prog
                    send_one "$row.$c" "$r" "$dev" 1 \
                        "$who" -D "$dev" -w -c "${c#*.}" -C $(( N / ${c#*.} )) -i 123 -s "$len" -d 55 ;;
            esac
        done
        r=$((r + 1))
    done

    say
    say "send: $prog, $len-byte frames on $dev, $N frames a run, $ROUNDS rounds; frames/s, median (min-max)"
    say "$(printf '  %-27s %-25s %s' sender own process)"
    for c in $contenders; do
        case $c in
            writeloop) label="writeloop (bare write())" ;;
            cangen) label="cangen -g 0" ;;
            ours.*) label="$prog -c ${c#*.}" ;;
            baseline.*) label="baseline $prog -c ${c#*.}" ;;
        esac
        say "$(printf '  %-27s %-25s %s' "$label" "$(figure "$row.$c.own" %d)" "$(figure "$row.$c.process" %d)")"
    done
    for c in 1 100; do
        say "$(printf '  %-48s %s' "$prog -c $c / writeloop, own rates:" "$(ratio "$row.ours.$c.own" "$row.writeloop.own")")"
        say "$(printf '  %-48s %s' "$prog -c $c / cangen, whole processes:" "$(ratio "$row.ours.$c.process" "$row.cangen.process")")"
        [ -x "$BASE/$prog" ] &&
            say "$(printf '  %-48s %s' "$prog -c $c / baseline, own rates:" "$(ratio "$row.ours.$c.own" "$row.baseline.$c.own")")"
    done
}

# ------------------------------------------------------------ receive rows

# send_frames SENDER PROG DEV LENGTH [OPTIONS]: RN frames of LENGTH bytes on
# DEV, loopback on so that receivers on this host see them. SENDER is
# writeloop, cangen or ours (PROG's own send run, with OPTIONS).
send_frames() {
    frame_kind "$2"
    case $1 in
        writeloop) run_sender "$3" writeloop "$3" "$RN" "$KIND" 1 "$4" ;;
        cangen) run_sender "$3" cangen "$3" $GEN_FD -g 0 -n "$RN" -I 123 -L "$4" -D "$(rep "$4" 55)" ;;
        ours) run_sender "$3" "$2" -D "$3" -w -l -C "$RN" -i 123 -s "$4" -d 55 ${5:-} ;;
    esac
}

# ready PID DEV BEFORE: our program has its SIGINT handler (set-up done), or
# candump has added its receiver to DEV's BEFORE ones.
ready() {
    case $(cat "/proc/$1/comm" 2>/dev/null) in
        candump) more_listeners "$2" "$3" ;;
        *) run_started "$1" ;;
    esac
}

# waiting PID: the process sleeps in read() or select() on an empty socket.
waiting() {
    [ "$(proc_state "$1")" = S ] || return 1
    case $(cat "/proc/$1/wchan" 2>/dev/null) in
        *skb_wait_for_more_packets|do_select) return 0 ;;
    esac
    return 1
}

# sleeps PID: how often the process has gone to sleep so far. A receiver that
# sleeps once a frame pays a wake-up and two task switches for each.
sleeps() { sed -n 's/^voluntary_ctxt_switches:[[:space:]]*//p' "/proc/$1/status"; }

# receiver WHO MODE PROG DEV: sets CMD, the command of receiver WHO ("ours",
# "readloop" or "candump") in display MODE (none, file, screen) on DEV, and
# LABEL, how a row shows it. readloop reads PROG's kind of frames and shows
# none in any mode. File output goes to $B/recv.txt, screen output into a pipe to
# wc -l. Silent candump shows no count: it stops by itself after RN + 1
# frames, the last one a marker sent once the flood has been read (recv_one).
receiver() {
    case $1.$2 in
        ours.none)      CMD="$3 -D $4"                   LABEL="$3 -S 0" ;;
        ours.file)      CMD="$3 -D $4 -S 2 -p $B/recv.txt" LABEL="$3 -S 2 -p FILE" ;;
        ours.screen)    CMD="$3 -D $4 -S 1"              LABEL="$3 -S 1 | wc -l" ;;
        readloop.*)     frame_kind "$3"
                        CMD="readloop $4 $KIND"          LABEL="readloop (bare read())" ;;
        candump.none)   CMD="candump -s 2 -n $((RN + 1)) $4" LABEL="candump -s 2" ;;
        candump.file)   CMD="candump -L $4"              LABEL="candump -L > FILE" ;;
        candump.screen) CMD="candump $4"                 LABEL="candump | wc -l" ;;
    esac
}

# received WHO MODE: the frames the receiver that has just ended got, from
# its output (silent candump: see recv_one).
received() {
    case $1.$2 in
        ours.none|ours.file) frames_of "$B/recv.out" ;;
        readloop.*) sed -n 's/^readloop: received \([0-9]*\) frames$/\1/p' "$B/recv.out" ;;
        # Frame lines between "Testing..." and "", "receive frames:", "time:",
        # "speed:" (three lines in all when no frame came).
        ours.screen) awk '{ print ($1 > 3 ? $1 - 5 : 0) }' "$B/recv.lines" ;;
        candump.file) wc -l < "$B/recv.txt" ;;
        candump.screen) cat "$B/recv.lines" ;;
    esac
}

# recv_one KEY WHO ROUND PROG MODE SENDER SEND_DEV RECV_DEV LENGTH
# [SEND_OPTIONS]: one receive run;
# records KEY.recv, .pct, .cpu (microseconds a frame), .ticks, .sleeps (a
# frame) and .rate (the sender's frames/s, exec to exit); KEY.short for a
# silent candump that missed frames (count unknown).
recv_one() {
    local key=$1 who=$2 round=$3 prog=$4 mode=$5 sender=$6 sdev=$7 rdev=$8 len=$9 sopts=${10:-}
    local out=$B/recv.out reader="" before pid ticks slept got rc
    rm -f "$B"/recv.*
    [ "$who.$mode" = candump.file ] && out=$B/recv.txt
    if [ "$mode" = screen ] && [ "$who" != readloop ]; then
        out=$B/recv.pipe
        mkfifo "$out"
        wc -l < "$out" > "$B/recv.lines" &
        reader=$!
    fi
    before=$(listeners "$rdev")
    receiver "$who" "$mode" "$prog" "$rdev"
    $CMD > "$out" 2> "$B/recv.err" &
    pid=$!
    if ! wait_until 50 ready "$pid" "$rdev" "$before"; then
        kill -KILL "$pid" 2>/dev/null; wait "$pid"
        [ -n "$reader" ] && wait "$reader"
        broken "$key did not start: $(head -c 200 "$B/recv.err" | tr '\n' '|')"
        return
    fi
    send_frames "$sender" "$prog" "$sdev" "$len" "$sopts"
    [ "$SENT" -gt 0 ] || broken "$sender sent nothing on $sdev (status $RC): $(head -c 200 "$B/out" | tr '\n' '|')"
    wait_until 300 waiting "$pid" || say "warning: $key still busy 30 s after the sender ended"
    ticks=$(cpu_ticks "$pid")
    slept=$(sleeps "$pid")
    got=""
    if [ "$who.$mode" = candump.none ]; then
        cansend "$sdev" 123#55
        if wait_until 20 not_alive "$pid"; then got=$SENT; else record "$key.short" "$round" 1; fi
    fi
    kill -INT "$pid" 2>/dev/null
    wait_until 80 not_alive "$pid" || kill -KILL "$pid" 2>/dev/null
    wait "$pid"
    rc=$?
    [ -n "$reader" ] && wait "$reader"
    [ "$who.$mode" = candump.none ] || got=$(received "$who" "$mode")
    if [ "$who" != candump ] && [ "$rc" != 0 ]; then
        broken "$key ended with status $rc: $(head -c 200 "$B/recv.out" | tr '\n' '|')"; return
    fi
    if [ "$who" = candump ] && [ "$rc" != 0 ] && [ "$rc" != 130 ]; then
        broken "$key ended with status $rc: $(head -c 200 "$B/recv.err" | tr '\n' '|')"; return
    fi
    [ "$who.$mode" = ours.file ] && [ "$(wc -l < "$B/recv.txt")" != "$got" ] &&
        say "warning: $key counted $got frames but wrote $(wc -l < "$B/recv.txt") lines"
    record "$key.rate" "$round" $(( SENT * 1000000 / US ))
    [ -n "$got" ] || return 0
    record "$key.recv" "$round" "$got"
    record "$key.pct" "$round" "$(awk -v g="$got" -v s="$SENT" 'BEGIN { print (s > 0 ? 100 * g / s : 0) }')"
    [ "$got" -gt 0 ] || return 0
    record "$key.ticks" "$round" "$ticks"
    record "$key.cpu" "$round" "$(awk -v t="$ticks" -v hz="$HZ" -v g="$got" 'BEGIN { print t * 1000000 / hz / g }')"
    record "$key.sleeps" "$round" "$(awk -v s="$slept" -v g="$got" 'BEGIN { print s / g }')"
}

# recv_row PROG MODE SENDER SEND_DEV RECV_DEV LENGTH [SEND_OPTIONS]: PROG's
# receive run in display MODE (none, file, screen), readloop, and candump in
# the matching mode (-s 2, -L into a file, default format into a pipe) on
# RECV_DEV, while SENDER (see send_frames) puts RN frames of LENGTH bytes on
# SEND_DEV.
recv_row() {
    local prog=$1 mode=$2 sender=$3 sdev=$4 rdev=$5 len=$6 sopts=${7:-} row="recv.$1.$2.$3.$4.$5.$6" r who got short
    r=1
    while [ "$r" -le "$ROUNDS" ]; do
        for who in ours readloop candump; do
            recv_one "$row.$who" "$who" "$r" "$prog" "$mode" "$sender" "$sdev" "$rdev" "$len" "$sopts"
        done
        r=$((r + 1))
    done

    say
    say "receive: display $mode on $rdev, $sender sending $RN frames of $len bytes on $sdev${sopts:+ ($sopts)}, $ROUNDS rounds; median (min-max)"
    say "$(printf '  %-26s %-20s %-20s %-22s %-16s %-20s %-18s %s' receiver 'frames received' '% of sent' \
        'CPU us/frame' 'CPU ticks a run' 'all rounds pooled' 'sleeps/frame' 'sender frames/s')"
    for who in ours readloop candump; do
        receiver "$who" "$mode" "$prog" "$rdev"
        got=$(figure "$row.$who.recv" %d)
        short=$(awk -F '\t' -v k="$row.$who.short" '$1 == k' "$SAMPLES" | wc -l)
        [ "$short" -gt 0 ] && got="all in $((ROUNDS - short)) of $ROUNDS"
        say "$(printf '  %-26s %-20s %-20s %-22s %-16s %-20s %-18s %s' "$LABEL" "$got" "$(figure "$row.$who.pct" %.1f)" \
            "$(figure "$row.$who.cpu" %.1f)" "$(figure "$row.$who.ticks" %d)" "$(pooled "$row.$who")" \
            "$(figure "$row.$who.sleeps" %.2f)" "$(figure "$row.$who.rate" %d)")"
    done
    say "$(printf '  %-48s %s' "$prog / readloop, CPU per frame:" "$(ratio "$row.ours.cpu" "$row.readloop.cpu")")"
    say "$(printf '  %-48s %s' "$prog / candump, CPU per frame:" "$(ratio "$row.ours.cpu" "$row.candump.cpu")")"
}

# ------------------------------------------------------------ the rows

started=$(date +%s)
say "$ROUNDS rounds, $N frames a send run, $RN a receive run; $MACHINE machine, $(grep -c ^processor /proc/cpuinfo) CPU, kernel $(uname -r), $HZ clock ticks/s"
[ -d "$BASE" ] && say "baseline programs: $(ls "$BASE" | tr '\n' ' ')"

if [ "$ROWS" != receive ] && [ "$MACHINE" = virt ]; then
    #        program        length  interface
    send_row canfd_tester   8       can0
    send_row canfd_tester   64      can0
    send_row can_tester     8       can1
fi

if [ "$ROWS" != send ] && [ "$MACHINE" = virt ]; then
    #        program        display  sender     sending  receiving  length  our sender's options
    recv_row canfd_tester   none     cangen     can0     can0       8
    recv_row canfd_tester   file     cangen     can0     can0       8
    recv_row canfd_tester   screen   cangen     can0     can0       8
    recv_row canfd_tester   none     writeloop  can0     can0       8
    recv_row canfd_tester   file     writeloop  can0     can0       8
    recv_row canfd_tester   screen   writeloop  can0     can0       8
    recv_row canfd_tester   none     writeloop  can0     can0       64
    recv_row canfd_tester   file     writeloop  can0     can0       64
    recv_row canfd_tester   screen   writeloop  can0     can0       64
    recv_row can_tester     none     cangen     can1     can1       8
    recv_row can_tester     file     cangen     can1     can1       8
    recv_row can_tester     screen   cangen     can1     can1       8
    recv_row can_tester     none     writeloop  can1     can1       8
    recv_row can_tester     file     writeloop  can1     can1       8
    recv_row can_tester     screen   writeloop  can1     can1       8
    # Two nodes: our send run on one end, the receive runs on the other.
    recv_row can_tester     file     ours       sja0     sja1       8
    recv_row canfd_tester   file     ours       vxcan0   vxcan1     8
    recv_row canfd_tester   file     ours       fd0      fd1        64      -B
fi

# The ZynqMP board model: the two-node rows on its own two controllers.
if [ "$MACHINE" = zynqmp ]; then
    [ "$ROWS" != receive ] && send_row can_tester 8 xcan0
    if [ "$ROWS" != send ]; then
        recv_row can_tester none cangen xcan0 xcan1 8
        recv_row can_tester file ours   xcan0 xcan1 8
    fi
fi

say
say "done in $(( $(date +%s) - started )) s"
exit $status
