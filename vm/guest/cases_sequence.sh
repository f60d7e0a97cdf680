# SPDX-License-Identifier: MIT
# Cases: the receive run's own judgement of a grow-mode sequence, against
# faults that netem puts on a real kernel's queue: frames lost, repeated,
# reordered and damaged after the write succeeded.

# netem_sequence QDISC PROG TX RX SEND_ARGS...: a receive run on RX saving
# to $W/frames.txt, while a grow-mode send run of 2000 frames goes out of TX through the
# root queue discipline QDISC; leaves the sequence line's counts in the
# variables frames first last missing repeated late foreign, and the
# qdisc's statistics in $W/qdisc.
netem_sequence() {
    local qdisc=$1 prog=$2 tx=$3 rx=$4 line
    shift 4
    ensure "tc qdisc add dev $tx root $qdisc failed" add_qdisc "$tx" $qdisc || return 1
    across "$qdisc" "$rx" - $prog -D "$rx" -S 2 -p "$W/frames.txt" -- $prog -D "$tx" -w -g -C 2000 "$@" || return 1
    ensure "the queue of $tx did not drain" wait_until 50 qdisc_drained "$tx"
    tc -s qdisc show dev "$tx" > "$W/qdisc"
    line=$(grep '^sequence of ' "$W/recv.err")
    ensure "$qdisc: no sequence line: $(head -c 300 "$W/recv.err")" [ -n "$line" ] || return 1
    frames=$(echo "$line" | sed -n 's/^sequence of [^:]*:\([0-9]*\) frames.*/\1/p')
    first=$((0x$(echo "$line" | sed -n 's/.*identifiers \([0-9A-F]*\) to.*/\1/p')))
    last=$((0x$(echo "$line" | sed -n 's/.*identifiers [0-9A-F]* to \([0-9A-F]*\),.*/\1/p')))
    missing=$(missing_of "$W/recv.err")
    repeated=$(echo "$line" | sed -n 's/.* \([0-9]*\) repeated.*/\1/p')
    late=$(echo "$line" | sed -n 's/.* \([0-9]*\) out of order$/\1/p')
    foreign=$(sed -n 's/^not of the sequence:\([0-9]*\),.*/\1/p' "$W/recv.err")
    expect_eq "$qdisc: frames of the sequence and not" "$(frames_of "$W/recv.out")" \
        $(( frames + ${foreign:-0} ))
}

t_sequence_faults() {
    local frames first last missing repeated late foreign pkts
    # Lost: the frames netem dropped are the frames missing between the
    # first and the last.
    netem_sequence "netem loss 5%" $CL sja0 sja1 -t 200
    expect_eq "loss: missing" "$(qdisc_dropped sja0)" "$(( missing + first + 1999 - last ))"
    expect_eq "loss: steps" $(( last - first + 1 )) $(( frames + missing ))
    expect_eq "loss: repeated, out of order" "0 0" "${repeated:-0} ${late:-0}"
    teardown_qdisc sja0
    # Repeated: netem sent each duplicate as one more packet.
    netem_sequence "netem duplicate 5%" $CL sja0 sja1 -t 200
    pkts=$(sed -n 's/^ *Sent [0-9]* bytes \([0-9]*\) pkt.*/\1/p' "$W/qdisc" | head -n 1)
    expect_eq "duplicate: repeated" $(( ${pkts:-0} - 2000 )) "${repeated:-x}"
    expect_eq "duplicate: missing, out of order" "0 0" "$missing ${late:-0}"
    teardown_qdisc sja0
    # Reordered: netem holds most frames 2 ms and lets the others overtake;
    # the frames that came after a later one, counted from the frame lines
    # in the order they came, are out of order, and none is missing.
    netem_sequence "netem delay 2ms reorder 30% 50%" $FD vxcan0 vxcan1 -F 2 -s 16 -t 300
    expect_eq "reorder: out of order" \
        "$(awk '{ id = 0; for (i = 1; i <= length($2); i++) id = id * 16 + index("0123456789ABCDEF", substr($2, i, 1)) - 1
                 if (id < top) n++; else top = id } END { print n + 0 }' "$W/frames.txt")" "${late:-x}"
    ensure "reorder: netem reordered nothing" [ "${late:-0}" -gt 0 ]
    expect_eq "reorder: missing, repeated" "0 0" "$missing ${repeated:-0}"
    teardown_qdisc vxcan0
    # Damaged: netem flips a bit in some frames; each damaged frame is not
    # of the sequence and leaves its step missing.
    netem_sequence "netem corrupt 5%" $FD vxcan0 vxcan1 -s 64 -B -t 300
    ensure "corrupt: no damaged frame" [ "${foreign:-0}" -gt 0 ]
    expect_eq "corrupt: steps" $(( last - first + 1 )) $(( frames + missing ))
    ensure "corrupt: fewer missing than damaged" [ "$missing" -ge "${foreign:-0}" ]
}

# teardown_qdisc DEV: the root queue discipline of DEV removed.
teardown_qdisc() { tc qdisc del dev "$1" root; }
