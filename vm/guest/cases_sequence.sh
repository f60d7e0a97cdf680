# SPDX-License-Identifier: MIT
# Cases: the receive run's own judgement of grow-mode sequences on a real
# kernel: netem's faults on a real queue, runs started again, a busy bus.

# netem_sequence QDISC PROG TX RX SEND_ARGS...: a receive run on RX saving
# to $W/frames.txt, while grow-mode runs put 2000 steps on TX, the 1800 but
# the first and last 100 through QDISC. Leaves the sequence line's counts in
# frames first last missing repeated late foreign, what follows its
# identifiers in figures, the qdisc's counts in $W/qdisc.
netem_sequence() {
    local qdisc=$1 prog=$2 tx=$3 rx=$4 line
    shift 4
    start_run recv $prog -D "$rx" -S 2 -p "$W/frames.txt" || return 1
    expect_status "$qdisc: first steps" 1 run_fg send $prog -D "$tx" -w -g -C 100 "$@"
    ensure "tc qdisc add dev $tx root $qdisc failed" add_qdisc "$tx" $qdisc || return 1
    expect_status "$qdisc: steps through it" 1 run_fg send $prog -D "$tx" -w -g -i 64 -C 1800 "$@"
    ensure "the queue of $tx did not drain" wait_until 50 qdisc_drained "$tx"
    tc -s qdisc show dev "$tx" > "$W/qdisc"
    teardown_qdisc "$tx"
    expect_status "$qdisc: last steps" 1 run_fg send $prog -D "$tx" -w -g -i 76C -C 100 "$@"
    settle "$rx" "$(pid_of recv)"
    expect_status "$qdisc: receive run: exit status" 0 stop_run recv
    line=$(grep '^sequence of ' "$W/recv.err")
    ensure "$qdisc: no sequence line: $(head -c 300 "$W/recv.err")" [ -n "$line" ] || return 1
    frames=$(echo "$line" | sed -n 's/^sequence of [^:]*:\([0-9]*\) frames.*/\1/p')
    first=$((0x$(echo "$line" | sed -n 's/.*identifiers \([0-9A-F]*\) to.*/\1/p')))
    last=$((0x$(echo "$line" | sed -n 's/.*identifiers [0-9A-F]* to \([0-9A-F]*\),.*/\1/p')))
    missing=$(missing_of "$W/recv.err")
    repeated=$(echo "$line" | sed -n 's/.* \([0-9]*\) repeated.*/\1/p')
    late=$(echo "$line" | sed -n 's/.* \([0-9]*\) out of order$/\1/p')
    figures=$(echo "$line" | sed 's/.*, identifiers [0-9A-F]* to [0-9A-F]*, //')
    foreign=$(sed -n 's/^other frames:\([0-9]*\),.*/\1/p' "$W/recv.err")
    expect_eq "$qdisc: frames of the sequence and not" "$(frames_of "$W/recv.out")" \
        $(( frames + ${foreign:-0} ))
    expect_eq "$qdisc: steps" "0 1999" "$first $last"
}

t_sequence_faults() {
    local frames first last missing repeated late foreign figures pkts
    # Lost: the frames netem dropped are the frames missing.
    netem_sequence "netem loss 5%" $CL sja0 sja1 -t 200
    expect_eq "loss: missing" \
        "$(sed -n 's/.*(dropped \([0-9]*\),.*/\1/p' "$W/qdisc" | head -n 1)" "$missing"
    expect_eq "loss: repeated, out of order" "0 0" "${repeated:-0} ${late:-0}"
    # Repeated: netem sent each duplicate as one more packet. Up to a
    # hundredth of the frames doubled, a link's common faults, the line
    # counts them;
    netem_sequence "netem duplicate 1%" $CL sja0 sja1 -t 200
    pkts=$(sed -n 's/^ *Sent [0-9]* bytes \([0-9]*\) pkt.*/\1/p' "$W/qdisc" | head -n 1)
    expect_eq "duplicate 1%: repeated" $(( ${pkts:-0} - 1800 )) "${repeated:-x}"
    expect_eq "duplicate 1%: missing, out of order" "0 0" "$missing ${late:-0}"
    # a twentieth is more than those explain: the steps' counts fit no
    # number of frames per step, and the line says that it cannot tell
    # frames per step, missing and repeated, its frames counted all the same.
    netem_sequence "netem duplicate 5%" $CL sja0 sja1 -t 200
    expect_eq "duplicate 5%: figures" "0 out of order, frames per step, missing and repeated cannot tell" "$figures"
    # Reordered: netem holds most frames 2 ms and lets the others overtake;
    # the frames that came after a later one, counted from the frame lines
    # in the order they came, are out of order, and none is missing.
    netem_sequence "netem delay 2ms reorder 30% 50%" $FD vxcan0 vxcan1 -F 2 -s 16 -t 300
    expect_eq "reorder: out of order" \
        "$(awk '{ id = 0; for (i = 1; i <= length($2); i++) id = id * 16 + index("0123456789ABCDEF", substr($2, i, 1)) - 1
                 if (id < top) n++; else top = id } END { print n + 0 }' "$W/frames.txt")" "${late:-x}"
    ensure "reorder: netem reordered nothing" [ "${late:-0}" -gt 0 ]
    expect_eq "reorder: missing, repeated" "0 0" "$missing ${repeated:-0}"
    # Damaged: netem flips a bit in some frames; a damaged frame that came
    # is among the other frames, and its step is missing like those that did
    # not come.
    netem_sequence "netem corrupt 5%" $FD vxcan0 vxcan1 -s 64 -B -t 300
    ensure "corrupt: no damaged frame" [ "${foreign:-0}" -gt 0 ]
    expect_eq "corrupt: missing" $(( 2000 - frames )) "$missing"
    ensure "corrupt: fewer missing than damaged" [ "$missing" -ge "${foreign:-0}" ]
}

# teardown_qdisc DEV: the root queue discipline of DEV removed.
teardown_qdisc() { tc qdisc del dev "$1" root; }

# judged NAME FOREIGN LINE...: stops the receive run on sja1; expects the
# sequence lines LINE in any order, FOREIGN other frames.
judged() {
    local name=$1 foreign=$2
    shift 2
    settle sja1 "$(pid_of recv)"
    expect_status "$name: receive run: exit status" 0 stop_run recv
    printf '%s\n' "$@" | sort > "$W/want.seq"
    grep -v '^other frames:' "$W/recv.err" | sort > "$W/got.seq"
    expect_file "$name: sequence lines" "$W/want.seq" "$W/got.seq"
    expect_eq "$name: other frames" "$foreign" \
        "$(sed -n 's/^other frames:\([0-9]*\),.*/\1/p' "$W/recv.err")"
}

t_sequence_runs_again() {
    # Two and three send runs of 2,500 steps, more than the standard
    # identifiers, started again from their first identifier.
    local runs run
    roomy_socket
    for runs in 2 3; do
        start_run recv $CL -D sja1 || return
        for run in $(seq "$runs"); do
            expect_status "$runs runs: run $run" 1 run_fg send $CL -D sja0 -w -g -C 2500 -t 100
        done
        judged "$runs runs" "" "$(sequence_line sja1 $(( runs * 2500 )) 000 1C3 "$runs")"
    done
}

t_sequence_busy_bus() {
    # Two nodes' grow-mode runs at once, of other fill bytes, from both ends
    # of one bus, into a receive run on a third socket, among cangen's
    # frames: a fixed identifier of no data, one-byte and random extended.
    local gen
    roomy_socket
    start_run recv $CL -D sja1 || return
    start_bg gen1 cangen sja0 -I 080 -L 0 -g 2 -n 400
    start_bg gen2 cangen sja0 -L 1 -g 3 -n 300
    start_bg gen3 cangen sja0 -e -g 2 -n 400
    start_bg other $CL -D sja1 -w -l -g -C 2000 -d 22 -t 400
    expect_status "busy bus: send run" 1 run_fg send $CL -D sja0 -w -g -C 2000 -d 11 -t 400
    expect_status "busy bus: other send run" 1 reap other
    for gen in gen1 gen2 gen3; do expect_status "busy bus: $gen" 0 reap "$gen"; done
    judged "busy bus" 1100 \
        "$(sequence_line sja1 2000 000 7CF | sed 's/:/ (stand_data, 8 bytes, fill 11):/')" \
        "$(sequence_line sja1 2000 000 7CF | sed 's/:/ (stand_data, 8 bytes, fill 22):/')"
}
