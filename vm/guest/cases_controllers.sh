# SPDX-License-Identifier: MIT
# Cases: the two CTU CAN FD controllers fd0 and fd1 on a QEMU bus of their
# own, driven by the kernel's ctucanfd driver and set as on a board with
# `ip link set fdN type can bitrate 1000000 dbitrate 5000000 fd on`.

# fd_mode DEV on|off: the controller's bit timing for CAN FD or classic CAN,
# set while it is down, as a user does it.
fd_mode() {
    ip link set "$1" down || return 1
    if [ "$2" = on ]; then
        ip link set "$1" type can bitrate 1000000 dbitrate 5000000 fd on || return 1
    else
        ip link set "$1" type can bitrate 1000000 fd off || return 1
    fi
    ip link set "$1" up
}

t_fd_controllers() {
    # canfd_tester across the controllers: every payload length, with and
    # without the bit-rate switch, both identifier kinds, in grow mode; the
    # standard identifiers wrap at 7FF. Short runs keep the receiving socket
    # from overflowing on the emulated CPU, which has no bit rate to pace it.
    # The bit-rate switch is no part of a sequence's shape: the run with it
    # goes on from the identifier after the last of the run without, so
    # that both make one sequence (started again after 12 steps, they would
    # read cannot tell: a late frame of the first step looks alike). Four
    # lengths a receive run keep to its eight sequence lines.
    local lengths len type
    for lengths in "0 1 2 3" "4 5 6 7" "8 12 16 20" "24 32 48 64"; do
        for len in $lengths; do
            echo "12 0 $len 7FA C3"
            echo "12 0 $len 006 C3 -B"
            echo "12 2 $len 7FA C3"
            echo "12 2 $len 806 C3 -B"
        done > "$W/rows"
        grow_runs $FD fd0 fd1 file "$W/rows"
    done
}

t_classic_on_fd_controllers() {
    # Classic frames on a CAN FD bus, data and remote frames of both kinds.
    # Unlike the SJA1000 model, this one carries remote frames with a length.
    printf '20 0 8 7F8 C3\n20 2 3 1FFFFFF0 C3\n' > "$W/rows"
    grow_runs $CL fd0 fd1 file "$W/rows"
    local name="$CL remote frames"
    start_dump remote fd1
    start_run recv $CL -D fd1 || return 1
    expect_status "$name: exit status" 1 run_fg send $CL -D fd0 -w -F 1 -s 0 -i 123 -C 3
    expect_status "$name, length 8: exit status" 1 run_fg send $CL -D fd0 -w -F 1 -s 8 -i 7FF -C 2
    expect_status "$name, extended: exit status" 1 run_fg send $CL -D fd0 -w -F 3 -s 3 -i 12345678 -C 2
    settle fd1 "$(pid_of recv)"
    expect_status "$name: receive run: exit status" 0 stop_run recv
    stop_dump remote 7
    expect_run "$name: receive run" recv receive 7
    { lines 3 '123#R'; lines 2 '7FF#R8'; lines 2 '12345678#R3'; } > "$W/want"
    awk '{ print $3 }' "$W/remote.log" > "$W/remote.got"
    expect_file "$name: candump" "$W/want" "$W/remote.got"
}

t_fd_controller_classic_mode() {
    # In classic mode (fd off) the controller takes no CAN FD frames:
    # canfd_tester refuses it and can_tester works. Switched back as a user
    # does it, canfd_tester works again.
    local dev
    echo 'fd_mode fd0 on; fd_mode fd1 on' > "$W/undo"
    for dev in fd0 fd1; do ensure "$dev: fd off" fd_mode "$dev" off; done
    expect_eq "fd0 MTU in classic mode" 16 "$(cat /sys/class/net/fd0/mtu)"
    echo 'CAN interface is not CAN FD capable - sorry.' > "$W/want"
    expect_status "$FD -D fd0: exit status" 1 run_fg run $FD -D fd0 -w -C 1
    expect_file "$FD -D fd0: stdout" "$W/want" "$W/run.out"
    thousand "$CL fd0 -> fd1, classic mode" fd1 - $CL -D fd1 -- $CL -D fd0 -w -C 1000
    for dev in fd0 fd1; do ensure "$dev: fd on" fd_mode "$dev" on; done
    expect_eq "fd0 MTU in CAN FD mode" 72 "$(cat /sys/class/net/fd0/mtu)"
    thousand "$FD fd0 -> fd1, CAN FD mode again" fd1 - $FD -D fd1 -- $FD -D fd0 -w -C 1000 -s 64 -B -t 20
}

t_fd_link_check_by_hand() {
    # The check of a link between two nodes by hand (doc/link-check.md),
    # for CAN FD, as written there with can0 and can1 being fd0 and fd1;
    # the teardown brings back the controllers' own settings. The emulation
    # has no bit rate: what the receive run cannot keep of an unpaced flood
    # it must report as dropped, and the gap listing there must find
    # exactly the frames missing between the first and the last frame it
    # got (edge: those before and after them, in no gap; the identifiers
    # began at 0 and wrap at 2048).
    local dev sent got drops missing edge
    echo 'fd_mode fd0 on; fd_mode fd1 on' > "$W/undo"
    for dev in fd0 fd1; do
        ensure "$dev: link-check.md's set-up" sh -c "
            /opt/iproute2/ip link set $dev down &&
            /opt/iproute2/ip link set $dev type can bitrate 500000 dbitrate 2000000 fd on &&
            /opt/iproute2/ip link set $dev up &&
            /opt/iproute2/ip -details -statistics link show $dev > $W/$dev.link"
        ensure "$dev: ip -details shows the bit rate" grep -q ' bitrate 500000 ' "$W/$dev.link"
        ensure "$dev: ip -details shows the data bit rate" grep -q ' dbitrate 2000000 ' "$W/$dev.link"
    done
    start_run recv $FD -D fd1 -S 2 -p "$W/frames.txt" || return 1
    expect_status "send run: exit status" 1 run_fg send $FD -D fd0 -w -g -C 10000 -s 64 -B
    settle fd1 "$(pid_of recv)"
    expect_status "receive run: exit status" 0 stop_run recv
    sent=$(frames_of "$W/send.out")
    got=$(frames_of "$W/recv.out")
    drops=$(sed -n 's/^dropped frames:\([0-9]*\),.*/\1/p' "$W/recv.err")
    expect_eq "frames sent" 10000 "$sent"
    expect_eq "received plus dropped" "$sent" $(( ${got:-0} + ${drops:-0} ))
    set -- $(sed -n '1p;$p' "$W/frames.txt" | cut -c 15-22) 0 0
    edge=$(( 0x$1 + (sent - 1 - 0x$2) % 2048 ))
    expect_eq "frames the receive run finds missing" "$(( sent - ${got:-0} - edge ))" \
        "$(missing_of "$W/recv.err")"
    expect_eq "file lines" "$got" "$(wc -l < "$W/frames.txt")"
    sed -n '/^    awk -v wrap=2048/,/frames.txt$/p' /guest/link-check.md > "$W/frames.sh"
    ensure "link-check.md has the gap listing" [ -s "$W/frames.sh" ]
    # Six more frames taken out of the file must show as six more missing.
    sed '100,104d;3000d' "$W/frames.txt" > "$W/gapped.txt"
    sed 's/frames\.txt$/gapped.txt/' "$W/frames.sh" > "$W/gapped.sh"
    for f in frames gapped; do
        (cd "$W" && sh "$f.sh" 2>&1) > "$W/$f.gaps"
    done
    missing=$(awk '{ n += $3 } END { print n + 0 }' "$W/frames.gaps")
    expect_eq "frames the gap listing finds missing" $(( sent - ${got:-0} - edge )) "$missing"
    missing=$(awk '{ n += $3 } END { print n + 0 }' "$W/gapped.gaps")
    expect_eq "frames the gap listing finds missing, six lines taken out" $(( sent - ${got:-0} - edge + 6 )) "$missing"
}

t_bus_limit_line() {
    # A send run on a controller ends with the bus's limit for its frames.
    # The bit rates are those `ip -details link show` gives; the bits of each
    # frame, stuff bits included, were counted by a separate program written
    # from the frame layout (BRS and the CRC delimiter at the nominal rate).
    bus_limit_rows <<EOF
$CL sja0 112 224.0 4464 -i 123 -d 55
$CL sja0 132 264.0 3787 -F 2 -i 1ABCDE -d AA
$FD fd0 30+549 139.8 7153 -s 64 -B -i 123 -d 55
$FD fd0 32+651 162.2 6165 -s 64 -B -d 0
$FD fd0 179 179.0 5586 -F 2 -i 12345 -s 12 -d A5
$FD fd0 30+96 49.2 20325 -s 8 -B -i 123 -d 55
EOF
}
