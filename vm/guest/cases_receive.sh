# SPDX-License-Identifier: MIT
# Cases: receive runs of both programs, fed by can-utils and by our send runs.

t_recv_displays() {
    # Columns, split at "|": run, frames cangen sends, display (none, screen
    # or file), the line shown for each frame, the program and its options,
    # the sender. A file run overwrites the old contents of its file.
    local name n display line args sender
    while IFS='|' read -r name n display line args sender; do
        echo "old contents" > "$W/frames.txt"
        { echo Testing...
          [ "$display" = screen ] && lines "$n" "$line"
          totals receive "$n"
        } > "$W/want"
        recv_case "$name" "$W/want" $args -- $sender
        [ "$display" = file ] || continue
        lines "$n" "$line" > "$W/want.file"
        expect_file "$name: output file" "$W/want.file" "$W/frames.txt"
    done <<EOF
$FD none|50|none||$FD -D can0|cangen can0 -f -I 123 -L 12 -D 112233445566778899AABBCC -n 50 -g 1
$CL none|40|none||$CL -D can1|cangen can1 -I 7FF -L 8 -D 0102030405060708 -n 40 -g 1
$FD screen|20|screen|$(frame_line expand_data 1ABCDEF 16 $(rep 16 '5A '))|$FD -D can0 -S 1|cangen can0 -f -b -e -I 1ABCDEF -L 16 -D $(rep 16 5A) -n 20 -g 1
$CL screen|25|screen|$(frame_line expand_data 0000ABCD 3 DE AD 01)|$CL -D can1 -S 1|cangen can1 -e -I ABCD -L 3 -D DEAD01 -n 25 -g 1
$FD file|30|file|$(frame_line stand_data 7FF 8 01 02 03 04 05 06 07 08)|$FD -D can0 --show 2 --path $W/frames.txt|cangen can0 -f -I 7FF -L 8 -D 0102030405060708 -n 30 -g 1
$CL file|35|file|$(frame_line stand_data 5A 1 77)|$CL -D can1 -S 2 -p $W/frames.txt|cangen can1 -I 5A -L 1 -D 77 -n 35 -g 1
EOF
}

t_recv_kinds() {
    # FD: lengths 0 and 64, extended ids, BRS on and off; classic frames on
    # the FD socket arrive as 16-byte images and are not counted. Classic: all
    # four labels; a remote frame shows as many payload bytes as its length.
    { echo Testing...
      frame_line stand_data 5A 0
      frame_line expand_data 12345678 2 AA BB
      frame_line stand_data 7FF 64 $(rep 64 'C3 ')
      frame_line stand_data 1 1 10
      totals receive 4
    } > "$W/want"
    recv_case $FD "$W/want" $FD -D can0 -S 1 -- \
        send_all can0 05A##0 12345678##1AABB 123#1122 "7FF##0$(rep 64 C3)" 00000456#11 001##110
    { echo Testing...
      frame_line stand_data 5A 0
      frame_line stand_remote 123 2 00 00
      frame_line expand_data 1234567 2 11 22
      frame_line expand_remote 123 0
      frame_line stand_data 7FF 8 01 23 45 67 89 AB CD EF
      totals receive 5
    } > "$W/want"
    recv_case $CL "$W/want" $CL -D can1 -S 1 -- \
        send_all can1 05A# 123#R2 01234567#1122 00000123#R 7FF#0123456789ABCDEF
}

t_recv_one_frame() {
    # First and latest frame times are equal: the FD run prints no rate line,
    # the classic run prints one.
    local prog dev frame rate
    while read -r prog dev frame rate; do
        { echo Testing...; frame_line stand_data 321 1 99; totals receive 1 "$rate"; } > "$W/want"
        recv_case "$prog" "$W/want" $prog -D "$dev" -S 1 -- send_all "$dev" "$frame"
    done <<EOF
$FD can0 321##099 norate
$CL can1 321#99 rate
EOF
}

t_recv_no_frames() {
    # SIGINT (twice) with no traffic: count 0, no rate line, status 0.
    local prog
    { echo Testing...; totals receive 0 norate; } > "$W/want"
    for prog in "$FD -D can0 -S 1" "$CL -D can1 -S 1"; do
        start_run recv $prog || continue
        kill -INT "$(pid_of recv)"
        expect_status "$prog: exit status" 0 stop_run recv
        expect_file "$prog: stdout" "$W/want" "$W/recv.out"
    done
}

t_recv_open_file_error() {
    local prog
    printf 'Testing...\nOpen file error\n' > "$W/want"
    for prog in "$FD -D can0" "$CL -D can1"; do
        expect_status "$prog: exit status" 1 run_fg run $prog -S 2 -p /nonexistent/dir/frames.txt
        expect_file "$prog: stdout" "$W/want" "$W/run.out"
    done
}

t_own_send_to_own_recv() {
    # Our send runs (with -l) received by our receive runs.
    { echo Testing...
      lines 3 "$(frame_line expand_data 1234567 12 $(rep 12 '3C '))"
      totals receive 3
    } > "$W/want"
    recv_case "$FD" "$W/want" $FD -D can0 -S 1 -- \
        expect_status "$FD send: exit status" 1 run_fg send $FD -D can0 -w -l -B -F 2 -i 1234567 -s 12 -d 3C -C 3
    expect_run "$FD send" send send 3
    { echo Testing...
      frame_line expand_remote 123 2 23 01
      frame_line expand_remote 124 2 24 01
      totals receive 2
    } > "$W/want"
    # Two remote frames make no sequence: other traffic looks alike.
    recv_case "$CL" "$W/want" $CL -D can1 -S 1 -- \
        expect_status "$CL send: exit status" 1 run_fg send $CL -D can1 -w -l -g -F 3 -i 123 -s 2 -d 11 -C 2
    expect_run "$CL send" send send 2
}

t_filter() {
    # -f passes only ids whose low byte is 0x5A, standard and extended alike.
    { echo Testing...
      frame_line stand_data 15A 1 AA
      frame_line expand_data 123455A 1 CC
      totals receive 2
    } > "$W/want"
    recv_case "$FD -f" "$W/want" $FD -D can0 -f -S 1 -- \
        send_all can0 15A##0AA 123##0BB 0123455A##0CC 15B##0DD
    { echo Testing...
      frame_line stand_data 15A 1 AA
      frame_line stand_data 123 1 BB
      frame_line expand_data 123455A 1 CC
      frame_line stand_data 15B 1 DD
      totals receive 4
    } > "$W/want"
    recv_case "$FD without -f" "$W/want" $FD -D can0 -S 1 -- \
        send_all can0 15A##0AA 123##0BB 0123455A##0CC 15B##0DD
    { echo Testing...
      frame_line stand_data 15A 1 AA
      frame_line stand_remote 5A 0
      totals receive 2
    } > "$W/want"
    recv_case "$CL --filter" "$W/want" $CL -D can1 --filter -S 1 -- \
        send_all can1 15A#AA 123#BB 05A#R 0000005B#01
}

t_recv_own() {
    # CAN_RAW_RECV_OWN_MSGS only concerns frames a socket sent itself; a
    # receive run sends none and a send run reads none, so all that can be
    # seen from outside is that -o changes nothing for frames of others and
    # for what a send run puts on the bus.
    { echo Testing...
      frame_line stand_data 100 2 01 02
      frame_line expand_data 100 0
      totals receive 2
    } > "$W/want"
    recv_case "$FD -o" "$W/want" $FD -D can0 -o -S 1 -- send_all can0 100##00102 00000100##0
    lines 2 "0AA##0$(rep 8 11)" > "$W/frames"
    send_case "$FD -w -o" can0 2 "$W/frames" $FD -D can0 -w -l -o -i AA -d 11 -C 2
    { echo Testing...; frame_line stand_data 100 2 01 02; totals receive 1; } > "$W/want"
    recv_case "$CL --rcvown" "$W/want" $CL -D can1 --rcvown -S 1 -- send_all can1 100#0102
}

# flooded PROG DEV CANGEN_ARGS...: a receive run showing every frame, at the
# lowest priority, while cangen floods DEV, until cangen has sent 1000 frames.
flooded() {
    local prog=$1 dev=$2 tx0
    shift 2
    start_run recv $prog -D "$dev" -S 1 || return 1
    ensure "$prog: renice failed" renice 19 "$(pid_of recv)" > /dev/null
    tx0=$(stat_of "$dev" tx_packets)
    start_bg gen cangen "$dev" "$@" -g 0 -I 100 -L 8 -D 0011223344556677
    ensure "cangen on $dev did not flood" wait_until 50 stat_above "$dev" tx_packets $((tx0 + 1000))
}

# flood_counted PROG: the ended receive run counted frames and showed each.
flood_counted() {
    local n
    n=$(frames_of "$W/recv.out")
    ensure "$1: no frames counted" [ "${n:-0}" -gt 0 ]
    expect_eq "$1: frame lines" "${n:-0}" "$(grep -c '^stand_data    00000100 8 00 11 22 33 44 55 66 77 $' "$W/recv.out")"
}

t_recv_sigint_under_traffic() {
    # While frames keep coming, the FD run stops at its next read after
    # SIGINT, the classic run 100 ms after it, having read what was waiting.
    # The receive run gets the lowest priority and cangen floods, so its
    # queue does not run empty meanwhile; starved so, it took up to 2 s to
    # end here, so the bound, 6 s, leaves room for a slower host: a run that
    # reads on while frames come ends only when the case kills it, after 8 s.
    local prog dev flag
    while read -r prog dev flag; do
        flooded $prog $dev $flag || continue
        expect_status "$prog: exit status" 0 stop_within recv INT 600
        ensure "cangen on $dev ended early" alive "$(pid_of gen)"
        kill -INT "$(pid_of gen)"; reap gen
        flood_counted $prog
    done <<EOF
$FD can0 -f
$CL can1
EOF
}

# late_reader SHOW: a classic receive run on sja1, -S 1 into a fifo as its
# standard output or -S 2 into a fifo as its file, while cangen sends a
# frame a millisecond from sja0; the fifo is read only from 0.3 s after
# SIGINT, which comes once the run is stuck writing into it. The run ends
# within 1 s of SIGINT, cangen still sending, and every frame it counted
# came out of the fifo.
late_reader() {
    local lines=$W/recv.out
    [ "$1" = 2 ] && lines=$W/frames
    mkfifo "$lines"
    { until [ -e "$W/go" ]; do sleep 0.1; done; cat; } < "$lines" > "$W/lines" &
    echo $! > "$W/reader.pid"
    start_bg gen cangen sja0 -g 1 -I 123 -L 8 -D 1122334455667788
    start_run recv $CL -D sja1 -S "$1" -p "$W/frames" || return
    ensure "-S $1: never stuck writing" wait_until 50 grep -q pipe_write "/proc/$(pid_of recv)/wchan"
    (sleep 0.3; touch "$W/go") &
    expect_status "-S $1: exit status" 0 stop_within recv INT 100
    ensure "cangen ended early" alive "$(pid_of gen)"
    reap reader
    [ "$1" = 2 ] && cat "$W/recv.out" >> "$W/lines"
    expect_eq "-S $1: frame lines" "$(frames_of "$W/lines")" "$(grep -c '^stand_data    00000123 8 ' "$W/lines")"
}

t_recv_late_screen() { late_reader 1; }
t_recv_late_file() { late_reader 2; }

t_sigterm_ends_runs() {
    # timeout's SIGTERM ends a receive run that saves to a file and an
    # endless send run into it as Ctrl-C does: totals, exit statuses, every
    # counted frame in the file and on the bus.
    local tx0 n
    tx0=$(stat_of sja0 tx_packets)
    start_run recv timeout 2 $CL -D sja1 -S 2 -p "$W/frames.txt" || return
    expect_status "send run: exit status" 1 run_fg send timeout 2 $CL -D sja0 -w -t 1000
    expect_status "receive run: exit status" 0 stop_run recv
    n=$(frames_of "$W/send.out")
    expect_run "send run" send send "$n"
    expect_eq "frames sent on sja0 (tx_packets)" "$n" $(( $(stat_of sja0 tx_packets) - tx0 ))
    n=$(frames_of "$W/recv.out")
    expect_run "receive run" recv receive "$n"
    expect_eq "file lines" "$n" "$(wc -l < "$W/frames.txt")"
}
