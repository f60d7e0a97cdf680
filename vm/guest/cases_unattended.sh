# SPDX-License-Identifier: MIT
# Cases: receive runs that end by themselves and log their frames in
# candump's format, checked against candump, canplayer and log2asc; frame
# lines that a full file system does not take; the exit status of
# --verdict; the two nodes of a link tested as a script tests them, clean
# and lossy (unattended_case; the ZynqMP's link in
# cases_unattended_zynqmp.sh).

t_journal_replay() {
    # cangen's mix on can0 (classic, remote and extended frames, CAN FD
    # frames with and without BRS and ESI) into both programs' receive runs
    # and candump -L: each program's log is candump's lines of the frames it
    # counts (canfd_tester the CAN FD ones, can_tester the classic ones),
    # time stamps included; both files replay through canplayer to the same
    # frames, and log2asc converts ours.
    local prog n
    # candump first: a busy host may take seconds to start it, which the
    # quiet time of our runs must not see.
    roomy_socket
    start_dump dump can0
    start_run fd $FD -D can0 --journal "$W/fd.log" --quiet-for 5 || return
    start_run cl $CL -D can0 --journal "$W/cl.log" --quiet-for 5 || return
    ensure "cangen failed" cangen can0 -m -n 400 -g 1
    stop_dump dump 400
    expect_status "canfd_tester ended by --quiet-for" 0 ended_by fd 100
    expect_status "can_tester ended by --quiet-for" 0 ended_by cl 100
    grep '##' "$W/dump.log" > "$W/want.fd"
    grep -v '##' "$W/dump.log" > "$W/want.cl"
    ensure "cangen sent no CAN FD frame" [ -s "$W/want.fd" ]
    ensure "cangen sent no classic frame" [ -s "$W/want.cl" ]
    ensure "cangen sent no remote frame" grep -q '#R' "$W/want.cl"
    for prog in fd cl; do
        expect_file "$prog: the log against candump's lines" "$W/want.$prog" "$W/$prog.log"
        expect_eq "$prog: frames counted" "$(wc -l < "$W/want.$prog")" "$(frames_of "$W/$prog.out")"
        # Replayed, ours and then candump's give the same frames on the bus.
        n=$(wc -l < "$W/want.$prog")
        start_dump replay can0
        ensure "canplayer refused our $prog log" canplayer -I "$W/$prog.log"
        ensure "canplayer refused candump's $prog lines" canplayer -I "$W/want.$prog"
        stop_dump replay $((2 * n))
        head -n "$n" "$W/replay.frames" > "$W/replay.ours"
        tail -n +"$((n + 1))" "$W/replay.frames" > "$W/replay.theirs"
        expect_file "$prog: replayed frames" "$W/replay.theirs" "$W/replay.ours"
        expect_eq "$prog: frames replayed from ours" "$n" "$(wc -l < "$W/replay.ours")"
        ensure "log2asc refused our $prog log" log2asc -I "$W/$prog.log" -O "$W/$prog.asc" can0
        expect_eq "$prog: log2asc's frame lines" "$(wc -l < "$W/want.$prog")" \
            "$(grep -c ' Rx ' "$W/$prog.asc")"
    done
}

t_full_file_system() {
    # A tmpfs of 16 KiB with 4 KiB left: the frame lines and the log that do
    # not fit are counted, the run says so and exits 1, the count is whole.
    local lost whole file
    mkdir "$W/small"
    ensure "tmpfs" mount -t tmpfs -o size=16k tmpfs "$W/small" || return
    echo "umount $W/small" >> "$W/undo"
    dd if=/dev/zero of="$W/small/fill" bs=1024 count=12 2>/dev/null
    roomy_socket
    start_run recv $CL -D can1 -S 2 -p "$W/small/frames.txt" --journal "$W/small/frames.log" --number 500 || return
    ensure "cangen failed" cangen can1 -n 500 -g 0
    expect_status "the run that lost lines" 1 ended_by recv 100
    ensure "receive totals" grep -qx 'receive frames:500' "$W/recv.out"
    for file in frames.txt frames.log; do
        lost=$(sed -n "s|^unwritten frame lines:\([0-9]*\) of 500, to $W/small/$file: No space left on device\$|\1|p" "$W/recv.err")
        ensure "no unwritten line for $file: $(cat "$W/recv.err")" [ -n "$lost" ]
        whole=$(wc -l < "$W/small/$file")
        expect_eq "$file: whole lines and unwritten ones" 500 "$((whole + ${lost:-0}))"
    done
}

t_verdict_statuses() {
    # On can1 without traffic: a receive run that --quiet-for ends fails
    # (no frame came), a send run that --duration ends passes (vcan takes
    # every frame); each leaves its summary.
    expect_status "quiet receive run" 2 run_fg recv $CL -D can1 --quiet-for 1 --verdict --json "$W/recv.json"
    ensure "verdict line: $(cat "$W/recv.err")" grep -qx 'verdict:fail, frames (0 came)' "$W/recv.err"
    ensure "receive summary" grep -q '"ended_by":"quiet-for".*"result":"fail"' "$W/recv.json"
    expect_status "send run of a second" 0 run_fg send $FD -D can0 -w --duration 1 --verdict --json "$W/send.json"
    ensure "send summary" grep -q '"ended_by":"duration".*"result":"pass"' "$W/send.json"
}

t_unattended_sja() {
    # The SJA1000 boards: classic frames, paced as the emulated controllers
    # keep up with.
    unattended_case $CL sja0 sja1 2000 -t 200
}

t_unattended_fd() {
    # The CTU CAN FD controllers: 64-byte frames with the bit-rate switch.
    unattended_case $FD fd0 fd1 2000 -s 64 -B -t 200
}
