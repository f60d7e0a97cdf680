# SPDX-License-Identifier: MIT
# Cases: the SoC's own CAN controllers xcan0 and xcan1 of QEMU's ZynqMP
# board model (xlnx-zcu102, Cortex-A53), on one QEMU CAN bus, driven by the
# kernel's platform driver xilinx_can and set as on a board with
# `ip link set xcanN type can bitrate 500000`.
#
# The model has no bit timing and needs no acknowledgement: every frame
# leaves at once. Remote frames must stay off this link: the driver writes
# only identifier and length for one, and the model then sends nothing until
# the next frame, sends one garbled frame and aborts QEMU
# (`fifo8_pop: Assertion 'fifo->num > 0' failed`).
CASES_MACHINE=zynqmp

t_xcan_frames() {
    # Every length of both identifier kinds, one frame a step, unpaced, the
    # identifiers wrapping at 7FF and 1FFFFFFF, into a receive run saving
    # to a file. No remote frames (-F 1, -F 3): see the top of this file.
    local len fills="00 11 5A A5 FF 3C C3 81 7E"
    for len in 0 1 2 3 4 5 6 7 8; do
        set -- $fills
        shift "$len"
        echo "24 0 $len 7F0 $1"
        echo "24 2 $len 1FFFFFF0 $1"
    done > "$W/rows"
    grow_runs $CL xcan0 xcan1 file "$W/rows"
}

t_xcan_frames_back() {
    # The other way, several frames a step, paced and unpaced, every frame
    # shown on the screen; then 1000 frames a run of each kind into a
    # receive run that shows none, paced as a bus would pace them (unpaced,
    # 40,000 frames a second on a busy host's emulated CPU now and then
    # overflow the receive run's socket, and the run says so). No remote
    # frames: see the top of this file.
    cat > "$W/rows" <<EOF
12 0 8 7FA 5A -c 3 -t 500
12 2 8 1FFFFFFA A5 -c 3 -t 500
12 0 4 7FA 0F -c 3
12 2 2 1FFFFFFA F0 -c 3
EOF
    grow_runs $CL xcan1 xcan0 screen "$W/rows"
    printf '1000 0 8 400 C3 -t 100\n1000 2 8 1FFFFE00 3C -t 100\n' > "$W/rows"
    grow_runs $CL xcan1 xcan0 none "$W/rows"
}

# link_view DEV: what `ip -details -statistics link show DEV` says of the
# controller: its state, its error counters (berr-counter tx, rx), the
# driver's counts of restarts, bus errors, lost arbitrations and changes to
# error-warning, error-passive and bus-off, and the receive errors, drops
# and missed frames, on one line.
link_view() {
    ip -details -statistics link show "$1" | awk '
        $1 == "can" && $2 == "state" { state = $3 }
        /berr-counter/ { s = $0; sub(/.*berr-counter tx /, "", s); split(s, a, /[ )]+/); berr = a[1] " " a[3] }
        $1 == "re-started" { getline; restarts = $1 " " $2 " " $3 " " $4 " " $5 " " $6 }
        $1 == "RX:" { getline; rx = $3 " " $4 " " $5 }
        END { print state ", berr-counter " berr ", restarts/bus errors/arbitration lost/warning/passive/bus-off " restarts ", receive errors/dropped/missed " rx }'
}

t_xcan_controller_view() {
    # The controllers as the driver reports them, before and after 2000
    # frames each way at once: error-active, both error counters 0, nothing
    # counted against the bus; the runs' own view agrees (no lost frames,
    # no bus trouble, no untransmitted frames: stderr holds only the
    # bus-limit and sequence lines). Their clock is the device tree's
    # 24 MHz. The model shows no bus errors, overruns or error states, so
    # neither can the driver. The senders are paced as a bus would pace
    # them: unpaced both ways at once on the one emulated CPU, a receive
    # run's socket now and then drops frames (and the run says so).
    local dev view="ERROR-ACTIVE, berr-counter 0 0, restarts/bus errors/arbitration lost/warning/passive/bus-off 0 0 0 0 0 0, receive errors/dropped/missed 0 0 0"
    for dev in xcan0 xcan1; do
        expect_eq "$dev before the runs" "$view" "$(link_view "$dev")"
        expect_eq "$dev: clock" 24000000 "$(ip -details link show "$dev" | sed -n 's/.* clock \([0-9]*\).*/\1/p')"
        expect_eq "$dev: driver" xilinx_can "$(basename "$(readlink "/sys/class/net/$dev/device/driver")")"
    done
    for dev in xcan0 xcan1; do
        start_run "recv.$dev" $CL -D "$dev" -S 2 -p "$W/$dev.txt" || return 1
    done
    start_bg send.xcan0 timeout -s KILL 30 $CL -D xcan0 -w -g -C 2000 -i 100 -t 100
    start_bg send.xcan1 timeout -s KILL 30 $CL -D xcan1 -w -g -C 2000 -F 2 -i 1000 -t 100
    for dev in xcan0 xcan1; do
        expect_status "$dev: send run: exit status" 1 reap "send.$dev"
    done
    for dev in xcan0 xcan1; do
        settle "$dev" "$(pid_of "recv.$dev")"
        expect_status "$dev: receive run: exit status" 0 stop_run "recv.$dev"
        bus_limit_apart "$dev: send run" "$dev" "$W/send.$dev.err"
        expect_empty "$dev: send run: stderr" "$W/send.$dev.err.rest"
        expect_eq "$dev: frames sent" 2000 "$(frames_of "$W/send.$dev.out")"
        expect_eq "$dev: frames received" 2000 "$(frames_of "$W/recv.$dev.out")"
        expect_eq "$dev: file lines" 2000 "$(wc -l < "$W/$dev.txt")"
        expect_eq "$dev after the runs" "$view" "$(link_view "$dev")"
    done
    sequence_line xcan0 2000 00001000 000017CF > "$W/want"
    expect_file "xcan0: receive run: stderr" "$W/want" "$W/recv.xcan0.err"
    sequence_line xcan1 2000 100 0CF > "$W/want"
    expect_file "xcan1: receive run: stderr" "$W/want" "$W/recv.xcan1.err"
}

# xcan_rate BITRATE: both controllers set to BITRATE, as a user does it.
xcan_rate() {
    local dev
    for dev in xcan0 xcan1; do
        ip link set "$dev" down && ip link set "$dev" type can bitrate "$1" && ip link set "$dev" up || return 1
    done
}

t_xcan_bus_limit() {
    # The bus-limit line from the driver's own bit timing: the bit rate it
    # reached from the 24 MHz clock for the rate asked for, which must be
    # the clock over the time quanta of a bit `ip -details` shows, and the
    # bits of each frame, stuff bits included, counted by a separate program
    # written from the frame layout. 700 kbit/s is no whole division of the
    # clock: the driver sets 705882. Columns: rate asked for, then those of
    # bus_limit_rows.
    local asked timing
    echo 'xcan_rate 500000' > "$W/undo"
    cat > "$W/rows" <<EOF
500000 $CL xcan0 112 224.0 4464 -i 123 -d 55
500000 $CL xcan0 132 264.0 3787 -F 2 -i 1ABCDE -d AA
500000 $CL xcan0 53 106.0 9433 -i 0 -s 0
500000 $CL xcan0 150 300.0 3333 -F 2 -i 0 -d 0
1000000 $CL xcan0 112 112.0 8928 -i 123 -d 55
1000000 $CL xcan0 126 126.0 7936 -i 7FF -d FF
125000 $CL xcan0 132 1056.0 946 -F 2 -i 1ABCDE -d AA
700000 $CL xcan0 112 158.6 6302 -i 123 -d 55
700000 $CL xcan0 58 82.1 12170 -i 5A -s 1 -d 77
EOF
    for asked in 500000 1000000 125000 700000; do
        ensure "xcan0/xcan1: bitrate $asked" xcan_rate "$asked"
        # The first of each name: the bit timing comes before the driver's limits.
        timing=$(ip -details link show xcan0 | awk '
            { for (i = 1; i < NF; i++) if (!($i in v)) v[$i] = $(i + 1) }
            END { print v["bitrate"], v["clock"] / (v["brp"] * (1 + v["prop-seg"] + v["phase-seg1"] + v["phase-seg2"])) }')
        set -- $timing
        expect_eq "bitrate $asked: the rate ip shows, against the clock over the time quanta of a bit" "$1" "${2%.*}"
        awk -v r="$asked" '$1 == r { $1 = ""; print }' "$W/rows" | bus_limit_rows
    done
}

t_xcan_lossy() {
    # netem drops frames below the socket of the sending controller: the send
    # run counts them from the driver's transmit counter, exactly as many as
    # netem says it dropped, and the receive run got the rest. Paced, so
    # that the receive run keeps up.
    shaped_link "netem loss 5%" 'sent==5000,held==dropped,got==sent-dropped' $CL xcan0 xcan1 -t 200
}

t_xcan_marked() {
    # Marked send runs from xcan0 to xcan1, as from sja0 to sja1
    # (marked_classic): each its own run, every line held to what candump
    # saw on both controllers. Data frames only: see the top of this file.
    marked_classic xcan0 xcan1
}

t_xcan_fd_refused() {
    # The driver refuses CAN FD and listen-only on this controller, which
    # stays classic (MTU 16); canfd_tester refuses it with the same words,
    # status and advice as any classic interface (the classic vcan can1).
    local args
    echo 'xcan_rate 500000' > "$W/undo"
    ip link set xcan0 down
    ensure "xcan0 took CAN FD" not ip link set xcan0 type can bitrate 500000 dbitrate 2000000 fd on
    ensure "xcan0 took listen-only" not ip link set xcan0 type can bitrate 500000 listen-only on
    ip link set xcan0 up
    expect_eq "xcan0 MTU" 16 "$(cat /sys/class/net/xcan0/mtu)"
    for args in "" "-w -C 1" "-w -g -s 64 -B -C 10"; do
        expect_status "$FD -D can1 $args: exit status" 1 run_fg classic $FD -D can1 $args
        expect_status "$FD -D xcan0 $args: exit status" 1 run_fg run $FD -D xcan0 $args
        echo 'CAN interface is not CAN FD capable - sorry.' > "$W/want"
        expect_file "$FD -D xcan0 $args: stdout" "$W/want" "$W/run.out"
        sed 's/\bcan1\b/xcan0/g' "$W/classic.err" > "$W/classic.err.xcan0"
        expect_file "$FD -D xcan0 $args: stderr, against can1's" "$W/classic.err.xcan0" "$W/run.err"
        expect_file "$FD -D xcan0 $args: stdout, against can1's" "$W/classic.out" "$W/run.out"
    done
}

# not COMMAND...: COMMAND fails.
not() { ! "$@" 2>/dev/null; }
