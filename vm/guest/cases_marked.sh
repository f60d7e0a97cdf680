# SPDX-License-Identifier: MIT
# Cases: marked send runs (--mark) into a receive run on another interface,
# through netem's faults and started again, each line held to the truth
# that candump -L saw at both ends (marked_truth in lib.sh).

t_marked_boards() {
    # can_tester from sja0 to sja1, four runs one after the other (see
    # marked_classic).
    marked_classic sja0 sja1
}

t_marked_fd_controllers() {
    # canfd_tester from fd0 to fd1, as can_tester in marked_classic: CAN FD
    # frames of several lengths, with and without the bit-rate switch.
    cat > "$W/rows" <<EOF
missing; netem loss 5%; -C 2000 -t 200 -s 64 -B -d A5
repeated; netem duplicate 5%; -C 2000 -t 200 -s 64 -B -g -i 7F0
late; netem delay 2ms reorder 30% 50%; -C 2000 -t 200 -s 12 -F 2 -g -i 1FFFFF00
-; none; -C 500 -t 200 -s 8
EOF
    marked_runs $FD fd0 fd1 "$W/rows"
}

t_marked_corrupt() {
    # netem corrupt flips one bit of the 72-byte frame: in payload bytes 9
    # to 47 the frame comes damaged, in its identifier, length, bit-rate
    # switch or first 9 payload bytes as another frame, its number missing.
    # Only on vxcan: on the SJA1000 model a flipped remote bit garbles the
    # receiving board for good, on the ZynqMP's it aborts QEMU.
    # The length 48 (0x30): one flip of the length byte makes 49, 50, 52,
    # 56, 16 or 32 bytes, each 9 or more, so that the frame still shows its
    # mark and fill byte in the log, or 112 or 176, which vxcan drops as no
    # valid frame; from 64 one flip makes 0, a frame without its mark.
    # Extended identifiers: candump writes a standard identifier's 11 bits
    # only, and a flip above them would pass the log unseen, though the
    # receive run sees another frame (a flipped remote flag also does: the
    # log of the frames with it, remote.log, names those).
    cat > "$W/rows" <<EOF
damaged; netem corrupt 5%; -C 2000 -t 300 -s 48 -F 2 -B -d A5 -i 1234567
damaged; netem corrupt 5%; -C 2000 -t 300 -s 48 -F 2 -B -d A5 -g -i 1FFFFF80
EOF
    marked_runs $FD vxcan0 vxcan1 "$W/rows"
    ensure "netem garbled no frame into another" [ "$(cat "$W/truth.other")" -gt 0 ]
}

t_marked_two_senders() {
    # Two marked send runs of the same kind, length and fill byte at once,
    # from two sockets on fd0, through netem's duplicates and reordering,
    # into a receive run on fd1: each run is told by its tag and judged on
    # its own. No frame is lost, so that both last frames come. (Each send
    # run's counter of frames sent is the interface's, which the other run's
    # frames and the duplicates raise: neither says any went untransmitted.)
    local run
    marked_begin $FD fd0 fd1 || return 1
    ensure "netem on fd0 failed" add_qdisc fd0 netem duplicate 5% delay 2ms reorder 30% 50%
    marked_send one $FD fd0 -C 2000 -t 200 -s 16 -d 5A
    marked_send two $FD fd0 -C 2000 -t 200 -s 16 -d 5A
    marked_sent one fd0 2000
    marked_sent two fd0 2000
    ensure "the queue of fd0 did not drain" wait_until 50 qdisc_drained fd0
    marked_end $FD fd0 fd1 4000
    sort "$W/tags" > "$W/tags.sorted"
    sort "$W/truth.tags" > "$W/truth.sorted"
    expect_file "the runs' tags" "$W/tags.sorted" "$W/truth.sorted"
    for run in 1 2; do
        set -- $(sed -n "${run}p" "$W/truth.runs") - - - - - - - -
        ensure "run $run: no frame repeated" [ "$3" -gt 0 ]
        ensure "run $run: no frame out of order" [ "$4" -gt 0 ]
        expect_eq "run $run: its last frame came" 1 "$6"
        eval "first$run=$7 last$run=$8"
    done
    ensure "the runs did not overlap" [ "${first2:-0}" -lt "${last1:-0}" ]
}
