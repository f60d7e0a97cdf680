# SPDX-License-Identifier: MIT
# Cases: a send run on one interface and a receive run on another, across the
# SJA1000 boards sja0 -> sja1 (a real controller driver, classic CAN) and the
# vxcan pair vxcan0 <-> vxcan1 (CAN FD), also through shaped queues.

t_two_nodes() {
    # Per link: a plain run counted in display none, then a grow-mode run
    # saved in display file, where every identifier and payload is checked.
    # vxcan has no bit rate: unpaced, 64-byte frames would reach the receiving
    # socket faster than a run that saves them (or candump) reads them, so
    # -t stands in for the bus there, and roomy sockets for a fast CPU.
    local prog tx rx kind first mask len fill extra link
    roomy_socket
    while read -r prog tx rx kind first mask len fill extra; do
        link="$prog $tx -> $rx"
        thousand "$link, display none" "$rx" - $prog -D "$rx" -- $prog -D "$tx" -w -C 1000 -s "$len" $extra
        start_dump dump "$rx"
        sequence_line "$rx" 1000 "$(id_text "$mask" $((0x$first & 0x$mask)))" \
            "$(id_text "$mask" $(((0x$first + 999) & 0x$mask)))" > "$W/recv.err.want"
        thousand "$link, display file" "$rx" - $prog -D "$rx" -S 2 -p "$W/frames.txt" -- \
            $prog -D "$tx" -w -C 1000 -g -i "$first" -s "$len" -d "$fill" $extra
        rm "$W/recv.err.want"
        stop_dump dump 1000
        grown_lines "$kind" "$first" "$mask" 1000 "$len" "$fill" > "$W/want.file"
        expect_file "$link: output file" "$W/want.file" "$W/frames.txt"
        case "$extra" in
            *-B*) # candump shows BRS (0x01) beside the kernel's CAN FD mark (0x04).
                expect_eq "$link: frames candump saw with BRS" 1000 \
                    "$(grep -c "^([0-9.]*) $rx [0-9A-F]*##5" "$W/dump.log")" ;;
        esac
    done <<EOF
$CL sja0 sja1 stand_data 7F0 7FF 8 5A
$FD vxcan0 vxcan1 expand_data 1FFFFFF0 1FFFFFFF 64 A5 -F 2 -B -t 300
$CL vxcan0 vxcan1 stand_data 7FE 7FF 3 11
$CL vxcan1 vxcan0 expand_data 12345 1FFFFFFF 8 C3 -F 2
EOF
}

# shaped_link [stopped] QDISC EXPECTED PROG TX RX SEND_ARGS...: a receive run
# on RX saving to a file (stopped meanwhile with "stopped") while an unpaced
# send run of 5000 frames goes out of TX through the root queue discipline
# QDISC; SIGINT to the receive run once the queue has drained. Every frame
# tried is accounted for: the writes the send run reports refused (refused)
# make up the rest of 5000; the queue's drops (dropped) are those refusals and
# frames it lost after their write, and those lost frames and the frames the
# receive run reports its socket dropped (drops) make up the rest of the send
# total (sent); got is the receive total; held is what the send run reports
# its controller had not sent when it ended (only a controller tells).
# EXPECTED is a comma-separated list of conditions on these numbers in shell
# arithmetic, without blanks.
shaped_link() {
    local for=- && [ "$1" = stopped ] && for=$1 && shift
    local qdisc=$1 expected=$2 prog=$3 tx=$4 rx=$5 sent got dropped refused drops held condition
    shift 5
    ensure "tc qdisc add dev $tx root $qdisc failed" add_qdisc "$tx" $qdisc || return 1
    across "$prog $tx -> $rx" "$rx" "$for" $prog -D "$rx" -S 2 -p "$W/frames.txt" -- \
        $prog -D "$tx" -w -C 5000 "$@"
    ensure "the queue of $tx did not drain" wait_until 50 qdisc_drained "$tx"
    sent=$(frames_of "$W/send.out")
    got=$(frames_of "$W/recv.out")
    dropped=$(qdisc_dropped "$tx")
    refused=$(( 5000 - ${sent:-0} ))
    drops=$(( ${sent:-0} - (${dropped:-0} - refused) - ${got:-0} ))
    bus_limit_apart "send run" "$tx" "$W/send.err"
    grep '^untransmitted frames:' "$W/send.err.rest" > "$W/send.held"
    held=$(sed 's/^untransmitted frames:\([0-9]*\),.*/\1/' "$W/send.held")
    expect_report "send run: untransmitted" "$W/send.held" untransmitted_line "$tx" "${held:=0}"
    grep -v '^untransmitted frames:' "$W/send.err.rest" > "$W/send.refused"
    expect_report "send run" "$W/send.refused" refusal_line "$tx" "$refused"
    expect_report "receive run" "$W/recv.err" drop_line "$rx" "$drops"
    expect_eq "file lines" "$got" "$(wc -l < "$W/frames.txt")"
    for condition in $(echo "$expected" | tr , ' '); do
        ensure "not $condition: sent $sent, got $got, dropped $dropped, refused $refused, drops $drops, held $held" \
            [ $(( ${condition} )) = 1 ]
    done
}

# The lines on standard error that account for frames the totals leave out.
refusal_line() {
    printf 'refused writes:%s, most with "No buffer space available": the transmit queue of %s was full (ip link set %s txqueuelen N enlarges it; -t pauses after each step)\n' "$2" "$1" "$1"
}
untransmitted_line() {
    printf 'untransmitted frames:%s, which %s had not sent when the run ended: dropped or held by a queue discipline or the driver (tc -s qdisc show dev %s; ip -details -statistics link show %s)\n' "$2" "$1" "$1" "$1"
}
drop_line() {
    printf 'dropped frames:%s, which reached %s while the receive buffer was full (read faster, with display none or file, or raise net.core.rmem_default)\n' "$2" "$1"
}

# expect_report WHAT ERR_FILE LINE DEV N: ERR_FILE holds the line that
# `LINE DEV N` prints, or nothing when N is 0.
expect_report() {
    if [ "$5" = 0 ]; then
        expect_empty "$1: stderr" "$2"
    else
        "$3" "$4" "$5" > "$2.want"
        expect_file "$1: stderr" "$2.want" "$2"
    fi
}

t_slow_link() {
    # A token bucket with a small queue refuses writes once it is full; what
    # went out all arrives, though the bucket still held some of it when the
    # send run ended.
    shaped_link "tbf rate 20kbit burst 1kb limit 2kb" 'refused>0,dropped==refused,got==sent,held>0' \
        $CL sja0 sja1 -i 321
}

t_lossy_link() {
    # netem drops frames after the write succeeded: the receive total, with
    # what a busy receiver reports its socket dropped, shows exactly the
    # frames that were lost.
    shaped_link "netem loss 5%" 'sent==5000,dropped>0' $FD vxcan0 vxcan1 -s 16
}

t_lossy_board() {
    # netem drops frames below the socket of a real controller driver: the
    # send run counts them from the driver's transmit counter. Paced, so
    # that the receive run keeps up.
    shaped_link "netem loss 5%" 'sent==5000,held==dropped,got==sent-dropped' $CL sja0 sja1 -t 200
}

t_bursts() {
    # netem's delay lets frames through in bursts, which overflow the socket
    # buffer of the receive run, stopped meanwhile: the frames reached the
    # node, and the receive run says how many of them its socket dropped. A
    # busy host may also fill netem's queue: those writes are refused and
    # counted as its drops.
    shaped_link stopped "netem delay 50ms" 'dropped==refused,drops>0' $FD vxcan0 vxcan1 -s 64
}
