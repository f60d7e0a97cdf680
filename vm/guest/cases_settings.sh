# SPDX-License-Identifier: MIT
# Cases: what the runs say of a controller's settings and timing, and
# canfd_tester on interfaces with a CAN XL MTU. The SJA1000 boards sja0,
# sja1 and the CTU CAN FD controllers fd0, fd1 take their modes from `ip link
# set ... type can MODE on` as their drivers allow; the emulation sends no
# error frames, so the error classes are the unit tests' alone.

# mode_line DEV MODE: the line a run prints before "Testing..." for MODE on.
mode_line() {
    local effect
    case $2 in
        loopback) effect="its frames come back from the controller itself, so the test proves nothing of the bus" ;;
        listen-only) effect="it neither sends nor acknowledges frames" ;;
        presume-ack) effect="it takes frames as sent without another node's acknowledgement, so a missing node goes unnoticed" ;;
        one-shot) effect="a frame that fails is dropped, not sent again" ;;
    esac
    printf '%s mode of %s is on: %s (ip link set %s down; ip link set %s type can %s off; ip link set %s up)\n' \
        "$2" "$1" "$effect" "$1" "$1" "$2" "$1"
}

# idle_run WHAT NAME: the stdout of run NAME, which got no frame.
idle_run() {
    { echo Testing...; totals receive 0 norate; } > "$W/$2.want"
    expect_output "$1: stdout" "$W/$2.want" "$W/$2.out"
}

# set_mode DEV MODE on|off: as a user sets it, while the controller is down.
set_mode() {
    ip link set "$1" down && ip link set "$1" type can "$2" "$3"
    local rc=$?
    ip link set "$1" up
    return $rc
}

# modes_named PROG DEV: each mode the driver takes, set with ip link, is
# named by a receive run's line before "Testing..." and its stdout stays as
# without it; a mode the driver refuses is reported on the console. With
# the kernel's defaults, the run says nothing on stderr.
modes_named() {
    local prog=$1 dev=$2 mode
    start_run recv $prog -D "$dev" || return 1
    expect_status "$prog -D $dev, defaults: exit status" 0 stop_run recv
    idle_run "$prog -D $dev, defaults" recv
    expect_empty "$prog -D $dev, defaults: stderr" "$W/recv.err"
    for mode in loopback listen-only presume-ack one-shot; do
        echo "set_mode $dev $mode off" >> "$W/undo"
        if ! set_mode "$dev" "$mode" on 2> "$W/ip.err"; then
            echo "measured: $CASE: $dev refuses $mode on: $(cat "$W/ip.err")"
            continue
        fi
        echo "measured: $CASE: $dev takes $mode on"
        start_run recv $prog -D "$dev" || return 1
        expect_status "$dev $mode: exit status" 0 stop_run recv
        idle_run "$dev $mode" recv
        mode_line "$dev" "$mode" > "$W/want.err"
        expect_file "$dev $mode: stderr" "$W/want.err" "$W/recv.err"
        ensure "$dev: $mode off again" set_mode "$dev" "$mode" off
    done
}

t_settings_sja1000() {
    modes_named $CL sja0
}

# tdc_form DEV: DEV's bit timing given again in the form of the TDC line's
# commands (this model has no TDC, but takes the form or refuses it).
tdc_form() {
    ip link set "$1" down && ip link set "$1" type can bitrate 1000000 sample-point 0.750 \
        dbitrate 5000000 dsample-point 0.750 fd on && ip link set "$1" up
}

t_settings_ctucanfd() {
    ip -details link show fd0 | sed "s/^/measured: $CASE: /"
    modes_named $FD fd0
    ensure "fd0 takes the TDC line's form of the bit timing" tdc_form fd0
}

t_timing_facts() {
    # --explain: the facts the kernel tells (ip -details), in their order.
    local sp
    start_run recv $CL -D sja1 --explain || return 1
    expect_status "exit status" 0 stop_run recv
    idle_run "$CL -D sja1 --explain" recv
    ip -details link show sja1 > "$W/ip.out"
    sp=$(sed -n 's/.* sample-point 0\.\([0-9]\)\([0-9]\)\([0-9]\).*/\1\2.\3%/p' "$W/ip.out" | head -n 1)
    sp=${sp#0}
    cat > "$W/want.err" <<EOF
timing of sja1: clock 8000000 Hz
timing of sja1: bit rate 500000 bit/s, sample point $sp, time quantum $(sed -n 's/.* tq \([0-9]*\) .*/\1/p' "$W/ip.out" | head -n 1) ns, SJW $(sed -n 's/.* sjw \([0-9]*\).*/\1/p' "$W/ip.out" | head -n 1)
timing of sja1: data bit rate none
timing of sja1: TDC none
timing of sja1: modes none
EOF
    expect_file "$CL -D sja1 --explain: stderr" "$W/want.err" "$W/recv.err"
    start_run recv $FD -D vxcan1 --explain || return 1
    expect_status "vxcan1: exit status" 0 stop_run recv
    echo 'timing of vxcan1: none (no CAN controller, or the kernel did not tell)' > "$W/want.err"
    expect_file "$FD -D vxcan1 --explain: stderr" "$W/want.err" "$W/recv.err"
}

t_xl_mtu() {
    # canfd_tester on a vcan and a vxcan pair set to the CAN XL MTU, 2060:
    # frames and verdict as at MTU 72. An interface of another kind with an
    # MTU in that range is refused as before.
    local dev
    ip link add xl0 type vcan && ip link set xl0 mtu 2060 && ip link set xl0 up
    ensure "xl0: vcan at MTU 2060" [ "$(cat /sys/class/net/xl0/mtu)" = 2060 ]
    ip link add xla type vxcan peer name xlb
    for dev in xla xlb; do ip link set "$dev" mtu 2060 && ip link set "$dev" up; done
    ensure "xla, xlb: vxcan at MTU 2060" [ "$(cat /sys/class/net/xla/mtu) $(cat /sys/class/net/xlb/mtu)" = "2060 2060" ]
    roomy_socket
    printf '40 2 64 1FFFFFF0 A5 -B -t 300\n40 0 12 7F0 5A -t 300\n' > "$W/rows"
    grow_runs $FD xla xlb file "$W/rows"
    thousand "$FD on xl0, looped back" xl0 - $FD -D xl0 -- $FD -D xl0 -w -l -C 1000 -s 64 -B
    echo "ip link set lo mtu $(cat /sys/class/net/lo/mtu)" >> "$W/undo"
    ip link set lo mtu 1500
    echo 'CAN interface is not CAN FD capable - sorry.' > "$W/want"
    expect_status "$FD -D lo at MTU 1500: exit status" 1 run_fg run $FD -D lo -w -C 1
    expect_file "$FD -D lo at MTU 1500: stdout" "$W/want" "$W/run.out"
}
