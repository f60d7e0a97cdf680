# SPDX-License-Identifier: MIT
# Cases: interfaces that go down or vanish under a run.

# gone_receiving PROG TX RX GONE_COMMAND...: a receive run on RX saving to a
# file gets 200 frames from TX, then GONE_COMMAND takes RX away. While RX is
# gone the run must sleep, not spin; SIGINT must still end it within its 5 s
# read time-out, with its totals and every frame in the file.
gone_receiving() {
    local prog=$1 tx=$2 rx=$3 pid t0 ticks
    shift 3
    start_run recv $prog -D "$rx" -S 2 -p "$W/frames.txt" || return
    pid=$(pid_of recv)
    run_fg send $prog -D "$tx" -w -C 200
    settle "$rx" "$pid"
    ensure "'$*' failed" "$@"
    sleep 0.5
    ticks=$(cpu_ticks "$pid")
    sleep 1
    ticks=$(( $(cpu_ticks "$pid") - ticks ))
    ensure "$prog used $ticks ticks of CPU in 1 s while $rx was gone" [ "$ticks" -le 5 ]
    t0=$(uptime_cs)
    expect_status "exit status" 0 stop_run recv 8
    t0=$(( $(uptime_cs) - t0 ))
    ensure "$prog ended $t0 cs after SIGINT" [ "$t0" -le 550 ]
    expect_run "receive run" recv receive 200
    expect_empty "receive run: stderr" "$W/recv.err"
    expect_eq "file lines" 200 "$(wc -l < "$W/frames.txt")"
}

t_receiving_link_down() {
    gone_receiving $CL sja0 sja1 ip link set sja1 down
    ensure "sja1 does not come up again" ip link set sja1 up
}

t_receiving_link_deleted() {
    ensure "cannot add vxcan2/vxcan3" add_vxcan vxcan2 vxcan3
    gone_receiving $FD vxcan2 vxcan3 ip link del vxcan3
}

t_sending_link_down() {
    # Writes fail while the interface is down; the run goes on and counts only
    # what went out, which is what the other end got. The send run is held
    # while the interface goes down: a frame the socket has just accepted may
    # still wait in the transmit queue, and going down empties that queue.
    local sent tx0
    start_run recv $CL -D sja1 -S 2 -p "$W/frames.txt" || return
    tx0=$(stat_of sja0 tx_packets)
    start_run send $CL -D sja0 -w -t 2000 || return
    ensure "sja0 sent no frames" wait_until 50 stat_above sja0 tx_packets $((tx0 + 20))
    kill -STOP "$(pid_of send)"
    ensure "the queue of sja0 did not drain" wait_until 20 qdisc_drained sja0
    settle sja1 "$(pid_of recv)"
    ensure "sja0 does not go down" ip link set sja0 down
    kill -CONT "$(pid_of send)"
    sleep 0.5
    ensure "the send run ended when its interface went down" alive "$(pid_of send)"
    expect_status "send run: exit status" 1 stop_run send
    ensure "sja0 does not come up again" ip link set sja0 up
    settle sja1 "$(pid_of recv)"
    expect_status "receive run: exit status" 0 stop_run recv
    sent=$(frames_of "$W/send.out")
    expect_run "send run" send send "$sent"
    bus_limit_apart "send run" sja0 "$W/send.err"
    expect_eq "send run: stderr lines, and of them lines of writes refused while sja0 was down" "1 1" \
        "$(wc -l < "$W/send.err.rest") $(grep -cx 'refused writes:[0-9]*, most with "Network is down": sja0 was down' "$W/send.err.rest")"
    expect_run "receive run" recv receive "$sent"
    expect_empty "receive run: stderr" "$W/recv.err"
    expect_eq "file lines" "$sent" "$(wc -l < "$W/frames.txt")"
}

t_controller_overrun() {
    # Last of all: once the receiving SJA1000 model has taken a remote frame
    # with a length, it counts every later frame as an overrun until the VM
    # reboots. A receive run then tells how many frames its controller lost,
    # the growth of the driver's overrun, FIFO and missed counters, and with
    # its own total they make up every frame sent.
    local before after got rx0
    rx0=$(( $(stat_of sja1 rx_packets) + $(lost_in sja1) ))
    ensure "cansend of the remote frame" cansend sja0 123#R8
    ensure "the remote frame did not reach sja1" wait_until 30 arrived sja1 "$rx0"
    before=$(lost_in sja1)
    across "sja0 -> sja1 after the overrun" sja1 - $CL -D sja1 -- $CL -D sja0 -w -C 100 -t 1000 || return
    after=$(lost_in sja1)
    got=$(frames_of "$W/recv.out")
    ensure "the controller of sja1 lost no frame" [ "$after" -gt "$before" ]
    printf 'lost frames:%s, which the controller of sja1 lost: the driver did not empty it in time (interrupt load, CPU frequency, a slow bus driver such as SPI)\n' \
        $((after - before)) > "$W/want"
    expect_file "receive run: stderr" "$W/want" "$W/recv.err"
    expect_eq "received plus lost in the controller" 100 $(( ${got:-0} + after - before ))
}

# arrived DEV N: the frames DEV received or lost have gone past N.
arrived() { [ $(( $(stat_of "$1" rx_packets) + $(lost_in "$1") )) -gt "$2" ]; }

# lost_in DEV: the frames DEV's controller lost, as the driver counts them.
lost_in() {
    echo $(( $(stat_of "$1" rx_over_errors) + $(stat_of "$1" rx_fifo_errors) + $(stat_of "$1" rx_missed_errors) ))
}
