# SPDX-License-Identifier: MIT
# Cases: send runs of both programs, checked against candump and the
# interface's counters.

# frames_file SPEC FILE: the frames of SPEC in candump's notation into FILE,
# one a line; SPEC is "-" (none) or a comma-separated list of FRAME or KxFRAME
# (K times FRAME).
frames_file() {
    local item
    : > "$2"
    [ "$1" = - ] && return
    for item in $(echo "$1" | tr ',' ' '); do
        case "$item" in
            [0-9]x*|[0-9][0-9]x*) lines "${item%%x*}" "${item#*x}" ;;
            *) echo "$item" ;;
        esac
    done > "$2"
}

t_send_runs() {
    # Columns: run, interface, frames, payload bytes sent (tx_bytes, "-" for
    # not counted), the frames candump sees, the program and its options.
    local name dev n bytes frames args b0
    while read -r name dev n bytes frames args; do
        case "$name" in "#"*) continue ;; esac
        frames_file "$frames" "$W/frames"
        b0=$(stat_of "$dev" tx_bytes)
        send_case "$name" "$dev" "$n" "$W/frames" $args
        [ "$bytes" = - ] ||
            expect_eq "$name: payload bytes sent (tx_bytes)" "$bytes" $(( $(stat_of "$dev" tx_bytes) - b0 ))
    done <<EOF
fd_ext_brs can0 3 36 3x00000123##1$(rep 12 AB) $FD -D can0 -w -l -F 2 -s 12 -i 123 -d AB -B -C 3
# No -D, -s, -i, -d, -B: can0, 8 bytes of 0x00, id 0, standard data, no BRS.
fd_defaults can0 2 - 2x000##0$(rep 8 00) $FD -w -l -C 2
# The fill byte is the low byte of -d; -s 64 is the largest FD payload.
fd_std_64 can0 2 - 2x7FF##0$(rep 64 AB) $FD -D can0 -w -l -s 64 -i 7FF -d 1AB -C 2
# -c 3 frames per step, -C 2 steps: 6 frames.
fd_countonce can0 6 - 6x05A##1$(rep 4 01) $FD -D can0 -w -l -B -s 4 -i 5A -d 1 -c 3 -C 2
fd_grow_std can0 3 - 7FE##0FE070000$(rep 4 55),7FF##0FF070000$(rep 4 55),000##000000000$(rep 4 55) $FD -D can0 -w -l -g -i 7FE -d 55 -C 3
# Extended kinds grow under the 29-bit mask; -i above it is cut first.
fd_grow_ext can0 3 - 1FFFFFFF##1FFFFFF1F$(rep 8 EE),00000000##100000000$(rep 8 EE),00000001##101000000$(rep 8 EE) $FD -D can0 -w -l -B -g -F 2 -s 12 -i 3FFFFFFF -d EE -C 3
classic can1 3 6 3x123#ABAB $CL -D can1 -w -l -s 2 -i 123 -d AB -C 3
# Remote and extended kinds; candump shows a remote frame's length after R.
classic_ext_remote can1 2 - 2x001ABCDE#R3 $CL -D can1 -w -l -F 3 -i 1ABCDE -s 3 -C 2
classic_std_remote can1 1 - 123#R $CL -D can1 -w -l -F 1 -i 123 -s 0 -C 1
classic_ext_data can1 2 - 2x1ABCDE0F#0F0F0F0F0F0F0F0F $CL -D can1 -w -l -F 2 -i 1ABCDE0F -d F -C 2
classic_grow can1 4 - 7FE#FE07,7FF#FF07,000#0000,001#0100 $CL -D can1 -w -l -g -s 2 -i 7FE -d 33 -C 4
# The classic program never asks for the MTU: it sends classic frames on can0.
classic_on_fd_iface can0 2 - 2x042#4242 $CL -D can0 -w -l -s 2 -i 42 -d 42 -C 2
# Without -l the frames go out (tx_packets) but no local socket sees them.
fd_no_loopback can0 5 - - $FD -D can0 -w -i 123 -C 5
classic_no_loopback can1 4 - - $CL -D can1 -w -i 100 -s 1 -d 7 -C 4
classic_loopback can1 4 - 4x100#07 $CL -D can1 --loop -w -i 100 -s 1 -d 7 -C 4
EOF
}

t_send_sigint() {
    # A send run without -C, paced, ended by SIGINT: status 1, totals whose
    # count equals what candump saw and tx_packets.
    local prog dev frame args tx0 n
    while read -r prog dev frame args; do
        start_dump dump "$dev"
        tx0=$(stat_of "$dev" tx_packets)
        start_run send $prog -D "$dev" $args || { stop_dump dump 0; continue; }
        wait_until 50 stat_above "$dev" tx_packets $((tx0 + 20))
        ensure "$prog: ended before SIGINT" alive "$(pid_of send)"
        expect_status "$prog: exit status" 1 stop_run send
        n=$(frames_of "$W/send.out")
        stop_dump dump "${n:-0}"
        expect_run "$prog" send send "$n"
        ensure "$prog: no frames sent before SIGINT" [ "${n:-0}" -gt 0 ]
        expect_eq "$prog: frames sent on $dev (tx_packets)" "$n" $(( $(stat_of "$dev" tx_packets) - tx0 ))
        lines "${n:-0}" "$frame" > "$W/frames"
        expect_file "$prog: frames seen by candump" "$W/frames" "$W/dump.frames"
    done <<EOF
$FD can0 321##0$(rep 8 77) -w -l -t 2000 -i 321 -d 77
$CL can1 321#7777777777777777 -w -l -t 2000 -i 321 -d 77
EOF
}

t_send_huge_step() {
    # One step of 5,000,000 frames on an SJA1000 board, minutes of sending:
    # SIGINT ends it at once, and the totals count the frames that went out.
    local tx0 n
    tx0=$(stat_of sja0 tx_packets)
    start_run send $CL -D sja0 -w -C 1 -c 5000000 || return
    ensure "sja0 sent no frames" wait_until 50 stat_above sja0 tx_packets $((tx0 + 500))
    expect_status "exit status" 1 stop_within send INT 100
    n=$(frames_of "$W/send.out")
    expect_run "send run" send send "$n"
    expect_eq "frames sent on sja0 (tx_packets)" "$n" $(( $(stat_of sja0 tx_packets) - tx0 ))
}

t_send_clock_step() {
    # The system time set a day forward or back during a paced run of 300
    # steps of 3 ms changes nothing: its time lies between the pauses' sum
    # and the run's span by the monotonic clock.
    local prog dev step u0 span t
    while read -r prog dev step; do
        u0=$(uptime_cs)
        start_run send $prog -D "$dev" -w -C 300 -t 3000 || continue
        sleep 0.3
        date -s "@$(( $(date +%s) + step ))" > /dev/null
        wait_until 100 not_alive "$(pid_of send)"
        span=$(( ($(uptime_cs) - u0 + 1) * 10000 ))
        date -s "@$(( $(date +%s) - step ))" > /dev/null
        expect_status "$prog, $step s: exit status" 1 reap send
        expect_run "$prog, $step s" send send 300
        t=$(sed -n 's/^time:\([0-9]*\) us$/\1/p' "$W/send.out")
        echo "measured: $CASE: $prog, clock $step s: time ${t:-none} us, span $span us"
        ensure "$prog, clock $step s: time ${t:-none} us not within 900000 to $span" \
            [ "${t:-0}" -ge 900000 -a "${t:-0}" -le "$span" ]
    done <<EOF
$FD can0 86400
$FD can0 -86400
$CL can1 86400
$CL can1 -86400
EOF
}
