# SPDX-License-Identifier: MIT
# End-to-end cases for canfd_tester and can_tester, run inside the VM by
# busybox sh. can0 is a vcan with MTU 72 (CAN FD), can1 a vcan with MTU 16
# (classic CAN). Frames are checked with candump/cangen/cansend from can-utils.
#
# Things to keep in mind when reading the cases:
# - Both programs set CAN_RAW_LOOPBACK to their -l value (0 by default), so a
#   send run's frames reach candump on this host only with -l. vcan counts
#   every sent frame in tx_packets either way.
# - Every send run exits with status 1, a receive run ended by SIGINT with 0.
# - A receive run only ends on SIGINT; stop_run allows for the 5 s read time-out.
# - stdout of a program is a file here, so it is only complete once it ended.

. /guest/lib.sh

FD=canfd_tester
CL=can_tester

# ------------------------------------------------------------ expected texts

option_lines() {
    cat <<'EOF'
  -D --device device     device to use (default is can0)
  -f --filter            only recive id 0xXXXXXX5A (default is disable)
  -l --loop              send to loop back (default is disable)
  -o --rcvown            recove from loop back (default is disable)
  -B --BRS               enable BRS (default is disable)
  -w --write             send data (default is receive)
  -F --frametype type    frametype to send (default is 0)
                           0: standData
                           1: standRemote
                           2: expandData
                           3: expandRemote
  -s --size dlc          dlc(0~8, 12, 16, 20, 24, 32, 48, 64)(default is 8)
  -t --time time         delay after send once(us) (default is 0)
  -c --countonce count   send frames once (default is 1)
  -C --count n           n times to send (default is Infinite)
  -i --id id             frame id (default is 0x00)
  -d --data data         data to send(all bytes same)(default is 0x00)
  -g --grow              id and data grow (default is disable)
  -S --show model        show model (default is 0)
                           0: none
                           1: screen
                           2: file
  -p --path path         file path to save data

EOF
}

usage_fd() {
    printf 'Usage: %s <device> [filter] [loopBack] [rcvOwn] [BRS]\n' "$FD"
    printf 'OR Usage: %s [-D:floBwF:s:t:c:C:i:d:gS:p:]\n' "$FD"
    option_lines
}

usage_classic() {
    printf 'Usage: %s <device> [filter] [loopBack] [rcvOwn]\n' "$CL"
    printf 'OR Usage: %s [-D:flowF:s:t:c:C:i:d:gS:p:]\n' "$CL"
    option_lines | sed -e '/-B --BRS/d' \
        -e 's/dlc(0~8, 12, 16, 20, 24, 32, 48, 64)(default is 8)/dlc(0~8)(default is 8)/' \
        -e 's/^  -C --count n /  -C --Count n /'
}

P_MODEL='Please Input model: 0-read, 1-write'
P_TYPE=':frametype: 0-standData, 1-standRemote, 2-expandData, 3-expandRemote'
P_SEND_FD=':Plase input frametype dlc(0~8, 12, 16, 20, 24, 32, 48, 64) sleeptime(us) sendFramesOnce(>=1)'
P_SEND_CL=':Plase input frametype dlc(0~8) sleeptime(us) sendFramesOnce(>=1)'
P_ID='Plase input id(hex) data(1byte hex) isgrow(0/1)'
P_SHOW=':Please Input data show model: 0-none, 1-screen, 2-file'
P_FILE=':Please input file name'

# totals KIND N [norate]: the end of a run's output, with masked numbers.
totals() {
    printf '\n%s frames:%s\n' "$1" "$2"
    [ "${3:-}" = norate ] || printf 'time:<T> us\nspeed:<S> f/s\n'
}

# expect_output WHAT WANT_FILE OUT_FILE: OUT_FILE equals WANT_FILE once the
# time and speed numbers are masked, and those numbers agree with each other.
expect_output() {
    rates_masked "$3" > "$3.masked"
    expect_file "$1" "$2" "$3.masked"
    if grep -q '^time:' "$2"; then expect_rate "$1 rate" "$3"; fi
}

# lines N TEXT: TEXT on N lines.
lines() {
    local i=0
    while [ "$i" -lt "$1" ]; do printf '%s\n' "$2"; i=$((i + 1)); done
}

# send_case NAME DEV N FRAMES_FILE PROG ARGS...: one complete send run while
# candump listens on DEV; checks status 1, the totals for N frames, an empty
# stderr, the frames candump saw against FRAMES_FILE and the tx_packets delta.
send_case() {
    local name=$1 dev=$2 n=$3 want_frames=$4 tx0
    shift 4
    start_dump dump "$dev"
    tx0=$(stat_of "$dev" tx_packets)
    run_fg send "$@"
    stop_dump dump
    expect_eq "exit status" 1 "$RC"
    { echo Testing...; totals send "$n"; } > "$W/want"
    expect_output "stdout" "$W/want" "$W/send.out"
    expect_empty "stderr" "$W/send.err"
    expect_file "frames seen by candump" "$want_frames" "$W/dump.frames"
    expect_eq "frames sent on $dev (tx_packets)" "$n" $(( $(stat_of "$dev" tx_packets) - tx0 ))
}

# ------------------------------------------------------------ environment

t_env_vcan() {
    case_start env_vcan
    expect_eq "can0 mtu" 72 "$(cat /sys/class/net/can0/mtu)"
    expect_eq "can1 mtu" 16 "$(cat /sys/class/net/can1/mtu)"
    start_dump dump can0
    cangen can0 -I 123 -L 2 -D AABB -n 4 -g 1
    cangen can0 -f -b -I 321 -L 12 -D 00112233445566778899AABB -n 1 -g 1
    stop_dump dump
    { lines 4 '123#AABB'; echo '321##100112233445566778899AABB'; } > "$W/want"
    expect_file "candump frames" "$W/want" "$W/dump.frames"
    [ -x /opt/can/$FD ] || problem "no /opt/can/$FD"
    [ -x /opt/can/$CL ] || problem "no /opt/can/$CL"
    case_end
}

# ------------------------------------------------------------ channel set-up

t_fd_on_classic_iface() {
    case_start fd_on_classic_iface
    echo 'CAN interface is not CAN FD capable - sorry.' > "$W/want"
    for args in "-D can1" "-D can1 -w -C 1" "-D sja0"; do
        run_fg run $FD $args
        expect_eq "$args: exit status" 1 "$RC"
        expect_file "$args: stdout" "$W/want" "$W/run.out"
        expect_empty "$args: stderr" "$W/run.err"
    done
    case_end
}

t_missing_iface() {
    case_start missing_iface
    echo 'ioctl SIOCGIFINDEX failed' > "$W/want.fd"
    echo 'ioctl failed' > "$W/want.cl"
    for args in "-D nosuch0" "-D nosuch0 -w -C 1"; do
        run_fg run $FD $args
        expect_eq "$FD $args: exit status" 1 "$RC"
        expect_file "$FD $args: stdout" "$W/want.fd" "$W/run.out"
        expect_empty "$FD $args: stderr" "$W/run.err"
        run_fg run $CL $args
        expect_eq "$CL $args: exit status" 1 "$RC"
        expect_file "$CL $args: stdout" "$W/want.cl" "$W/run.out"
        expect_empty "$CL $args: stderr" "$W/run.err"
    done
    case_end
}

t_non_can_iface() {
    case_start non_can_iface
    echo 'CAN interface is not CAN FD capable - sorry.' > "$W/want.fd"
    echo 'bind failed' > "$W/want.cl"
    run_fg run $FD -D lo
    expect_eq "$FD -D lo: exit status" 1 "$RC"
    expect_file "$FD -D lo: stdout" "$W/want.fd" "$W/run.out"
    run_fg run $CL -D lo -w -C 1
    expect_eq "$CL -D lo: exit status" 1 "$RC"
    expect_file "$CL -D lo: stdout" "$W/want.cl" "$W/run.out"
    case_end
}

t_options_refused() {
    case_start options_refused
    usage_fd > "$W/want.fd"
    usage_classic > "$W/want.cl"
    for args in "-s 9" "-s 65" "-F 4" "-c 0" "-t -1" "-C -1" "-S 2" "-w -S 2" "-h"; do
        run_fg run $FD $args
        expect_eq "$FD $args: exit status" 1 "$RC"
        expect_file "$FD $args: stdout" "$W/want.fd" "$W/run.out"
    done
    for args in "-s 12" "-B" "--Count 5" "-S 2"; do
        run_fg run $CL $args
        expect_eq "$CL $args: exit status" 1 "$RC"
        expect_file "$CL $args: stdout" "$W/want.cl" "$W/run.out"
    done
    # -h is unknown: getopt_long explains on stderr.
    run_fg run $FD -h
    [ -s "$W/run.err" ] || problem "$FD -h: nothing on stderr"
    # Too many positional words: usage text, no prompt.
    run_fg run $FD can0 0 0 0 0 0
    expect_eq "$FD with 6 words: exit status" 1 "$RC"
    expect_file "$FD with 6 words: stdout" "$W/want.fd" "$W/run.out"
    run_fg run $CL can1 0 0 0 0
    expect_eq "$CL with 5 words: exit status" 1 "$RC"
    expect_file "$CL with 5 words: stdout" "$W/want.cl" "$W/run.out"
    case_end
}

# ------------------------------------------------------------ send runs

t_fd_send_ext_brs() {
    case_start fd_send_ext_brs
    lines 3 "00000123##1$(rep 12 AB)" > "$W/frames"
    b0=$(stat_of can0 tx_bytes)
    send_case fd_send_ext_brs can0 3 "$W/frames" $FD -D can0 -w -l -F 2 -s 12 -i 123 -d AB -B -C 3
    expect_eq "payload bytes sent (tx_bytes)" 36 $(( $(stat_of can0 tx_bytes) - b0 ))
    case_end
}

t_fd_send_defaults() {
    # No -D, -s, -i, -d, -B: can0, 8 bytes of 0x00, id 0, standard data, no BRS.
    case_start fd_send_defaults
    lines 2 "000##0$(rep 8 00)" > "$W/frames"
    send_case fd_send_defaults can0 2 "$W/frames" $FD -w -l -C 2
    case_end
}

t_option_form_bare() {
    # No arguments: a receive run on can0 without display. A word that is no
    # option is skipped: "-w -l -C 1 can1" still sends on can0.
    case_start option_form_bare
    DEV=can0
    { echo Testing...; totals receive 2; } > "$W/want"
    recv_case "no arguments" "$W/want" $FD -- send_all 011##0AA 022##0BB
    echo '000##00000000000000000' > "$W/frames"
    send_case stray_word can0 1 "$W/frames" $FD -w -l -C 1 can1
    case_end
}

t_fd_send_std_64() {
    # Fill byte is the low byte of -d; -s 64 is the largest FD payload.
    case_start fd_send_std_64
    lines 2 "7FF##0$(rep 64 AB)" > "$W/frames"
    send_case fd_send_std_64 can0 2 "$W/frames" $FD -D can0 -w -l -s 64 -i 7FF -d 1AB -C 2
    case_end
}

t_fd_send_countonce() {
    # -c 3 frames per step, -C 2 steps: 6 frames.
    case_start fd_send_countonce
    lines 6 "05A##1$(rep 4 01)" > "$W/frames"
    send_case fd_send_countonce can0 6 "$W/frames" $FD -D can0 -w -l -B -s 4 -i 5A -d 1 -c 3 -C 2
    case_end
}

t_fd_send_grow_std() {
    case_start fd_send_grow_std
    cat > "$W/frames" <<EOF
7FE##0FE070000$(rep 4 55)
7FF##0FF070000$(rep 4 55)
000##000000000$(rep 4 55)
EOF
    send_case fd_send_grow_std can0 3 "$W/frames" $FD -D can0 -w -l -g -i 7FE -d 55 -C 3
    case_end
}

t_fd_send_grow_ext() {
    # Extended kinds grow under the 29-bit mask; -i above it is cut first.
    case_start fd_send_grow_ext
    cat > "$W/frames" <<EOF
1FFFFFFF##1FFFFFF1F$(rep 8 EE)
00000000##100000000$(rep 8 EE)
00000001##101000000$(rep 8 EE)
EOF
    send_case fd_send_grow_ext can0 3 "$W/frames" $FD -D can0 -w -l -B -g -F 2 -s 12 -i 3FFFFFFF -d EE -C 3
    case_end
}

t_fd_send_no_loopback() {
    # Without -l the frames go out (tx_packets) but no local socket sees them.
    case_start fd_send_no_loopback
    : > "$W/frames"
    send_case fd_send_no_loopback can0 5 "$W/frames" $FD -D can0 -w -i 123 -C 5
    case_end
}

t_classic_send() {
    case_start classic_send
    lines 3 '123#ABAB' > "$W/frames"
    b0=$(stat_of can1 tx_bytes)
    send_case classic_send can1 3 "$W/frames" $CL -D can1 -w -l -s 2 -i 123 -d AB -C 3
    expect_eq "payload bytes sent (tx_bytes)" 6 $(( $(stat_of can1 tx_bytes) - b0 ))
    case_end
}

t_classic_send_kinds() {
    # Remote and extended kinds; candump shows a remote frame's length after R.
    case_start classic_send_kinds
    lines 2 '001ABCDE#R3' > "$W/frames"
    send_case classic_send_ext_remote can1 2 "$W/frames" $CL -D can1 -w -l -F 3 -i 1ABCDE -s 3 -C 2
    lines 1 '123#R' > "$W/frames"
    send_case classic_send_std_remote can1 1 "$W/frames" $CL -D can1 -w -l -F 1 -i 123 -s 0 -C 1
    lines 2 '1ABCDE0F#0F0F0F0F0F0F0F0F' > "$W/frames"
    send_case classic_send_ext_data can1 2 "$W/frames" $CL -D can1 -w -l -F 2 -i 1ABCDE0F -d F -C 2
    case_end
}

t_classic_send_grow() {
    case_start classic_send_grow
    printf '%s\n' '7FE#FE07' '7FF#FF07' '000#0000' '001#0100' > "$W/frames"
    send_case classic_send_grow can1 4 "$W/frames" $CL -D can1 -w -l -g -s 2 -i 7FE -d 33 -C 4
    case_end
}

t_classic_on_fd_iface() {
    # The classic program never asks for the MTU: it sends classic frames on can0.
    case_start classic_on_fd_iface
    lines 2 '042#4242' > "$W/frames"
    send_case classic_on_fd_iface can0 2 "$W/frames" $CL -D can0 -w -l -s 2 -i 42 -d 42 -C 2
    case_end
}

t_loopback_off_on() {
    case_start loopback_off_on
    : > "$W/frames"
    send_case classic_loopback_off can1 4 "$W/frames" $CL -D can1 -w -i 100 -s 1 -d 7 -C 4
    lines 4 '100#07' > "$W/frames"
    send_case classic_loopback_on can1 4 "$W/frames" $CL -D can1 --loop -w -i 100 -s 1 -d 7 -C 4
    case_end
}

# ------------------------------------------------------------ receive runs

# recv_case NAME WANT_FILE PROG ARGS... -- SENDER...: start a receive run,
# run the sender command to its end, SIGINT the run, expect status 0 and the
# output WANT_FILE (numbers of the rate line masked).
recv_case() {
    local name=$1 want=$2 prog=""
    shift 2
    while [ "$1" != "--" ]; do prog="$prog $1"; shift; done
    shift
    start_run recv $prog || return
    "$@" || problem "sender '$*' failed"
    sleep 0.2
    stop_run "$BG"
    expect_eq "$name: exit status" 0 "$RC"
    expect_output "$name: stdout" "$want" "$W/recv.out"
    expect_empty "$name: stderr" "$W/recv.err"
}

# several senders in one go
send_all() {
    local f
    for f in "$@"; do cansend "$DEV" "$f" || return 1; done
}

t_fd_recv_none() {
    case_start fd_recv_none
    { echo Testing...; totals receive 50; } > "$W/want"
    recv_case none "$W/want" $FD -D can0 -- \
        cangen can0 -f -I 123 -L 12 -D 112233445566778899AABBCC -n 50 -g 1
    case_end
}

t_fd_recv_screen() {
    case_start fd_recv_screen
    { echo Testing...
      lines 20 "$(frame_line expand_data 1ABCDEF 16 $(rep 16 '5A '))"
      totals receive 20
    } > "$W/want"
    recv_case screen "$W/want" $FD -D can0 -S 1 -- \
        cangen can0 -f -b -e -I 1ABCDEF -L 16 -D "$(rep 16 5A)" -n 20 -g 1
    case_end
}

t_fd_recv_file() {
    case_start fd_recv_file
    echo "old contents" > "$W/frames.txt"
    { echo Testing...; totals receive 30; } > "$W/want"
    recv_case file "$W/want" $FD -D can0 --show 2 --path "$W/frames.txt" -- \
        cangen can0 -f -I 7FF -L 8 -D 0102030405060708 -n 30 -g 1
    lines 30 "$(frame_line stand_data 7FF 8 01 02 03 04 05 06 07 08)" > "$W/want.file"
    expect_file "output file" "$W/want.file" "$W/frames.txt"
    case_end
}

t_fd_recv_kinds() {
    # Lengths 0 and 64, extended ids, BRS on and off; classic frames on the
    # FD socket arrive as 16-byte images and are not counted.
    case_start fd_recv_kinds
    DEV=can0
    { echo Testing...
      frame_line stand_data 5A 0
      frame_line expand_data 12345678 2 AA BB
      frame_line stand_data 7FF 64 $(rep 64 'C3 ')
      frame_line stand_data 1 1 10
      totals receive 4
    } > "$W/want"
    recv_case kinds "$W/want" $FD -D can0 -S 1 -- \
        send_all 05A##0 12345678##1AABB 123#1122 "7FF##0$(rep 64 C3)" 00000456#11 001##110
    case_end
}

t_fd_recv_one_frame() {
    # One frame: first and latest frame times are equal, so no rate line.
    case_start fd_recv_one_frame
    DEV=can0
    { echo Testing...; frame_line stand_data 321 1 99; totals receive 1 norate; } > "$W/want"
    recv_case one "$W/want" $FD -D can0 -S 1 -- send_all 321##099
    case_end
}

t_recv_no_frames() {
    # SIGINT (twice) with no traffic: count 0, no rate line, status 0.
    case_start recv_no_frames
    { echo Testing...; totals receive 0 norate; } > "$W/want"
    for prog in "$FD -D can0 -S 1" "$CL -D can1 -S 1"; do
        start_run recv $prog || continue
        kill -INT "$BG"
        stop_run "$BG"
        expect_eq "$prog: exit status" 0 "$RC"
        expect_file "$prog: stdout" "$W/want" "$W/recv.out"
    done
    case_end
}

t_recv_open_file_error() {
    case_start recv_open_file_error
    printf 'Testing...\nOpen file error\n' > "$W/want"
    for prog in "$FD -D can0" "$CL -D can1"; do
        run_fg run $prog -S 2 -p /nonexistent/dir/frames.txt
        expect_eq "$prog: exit status" 1 "$RC"
        expect_file "$prog: stdout" "$W/want" "$W/run.out"
    done
    case_end
}

t_classic_recv_none() {
    case_start classic_recv_none
    { echo Testing...; totals receive 40; } > "$W/want"
    recv_case none "$W/want" $CL -D can1 -- \
        cangen can1 -I 7FF -L 8 -D 0102030405060708 -n 40 -g 1
    case_end
}

t_classic_recv_screen() {
    case_start classic_recv_screen
    { echo Testing...
      lines 25 "$(frame_line expand_data 0000ABCD 3 DE AD 01)"
      totals receive 25
    } > "$W/want"
    recv_case screen "$W/want" $CL -D can1 -S 1 -- \
        cangen can1 -e -I ABCD -L 3 -D DEAD01 -n 25 -g 1
    case_end
}

t_classic_recv_file() {
    case_start classic_recv_file
    echo "old contents" > "$W/frames.txt"
    { echo Testing...; totals receive 35; } > "$W/want"
    recv_case file "$W/want" $CL -D can1 -S 2 -p "$W/frames.txt" -- \
        cangen can1 -I 5A -L 1 -D 77 -n 35 -g 1
    lines 35 "$(frame_line stand_data 5A 1 77)" > "$W/want.file"
    expect_file "output file" "$W/want.file" "$W/frames.txt"
    case_end
}

t_classic_recv_kinds() {
    # All four labels; a remote frame shows as many payload bytes as its length.
    case_start classic_recv_kinds
    DEV=can1
    { echo Testing...
      frame_line stand_data 5A 0
      frame_line stand_remote 123 2 00 00
      frame_line expand_data 1234567 2 11 22
      frame_line expand_remote 123 0
      frame_line stand_data 7FF 8 01 23 45 67 89 AB CD EF
      totals receive 5
    } > "$W/want"
    recv_case kinds "$W/want" $CL -D can1 -S 1 -- \
        send_all 05A# 123#R2 01234567#1122 00000123#R 7FF#0123456789ABCDEF
    case_end
}

t_classic_recv_one_frame() {
    # The classic run prints the rate line for a single frame too.
    case_start classic_recv_one_frame
    DEV=can1
    { echo Testing...; frame_line stand_data 321 1 99; totals receive 1; } > "$W/want"
    recv_case one "$W/want" $CL -D can1 -S 1 -- send_all 321#99
    case_end
}

t_own_send_to_own_recv() {
    # Our send runs (with -l) received by our receive runs.
    case_start own_send_to_own_recv
    { echo Testing...
      lines 3 "$(frame_line expand_data 1234567 12 $(rep 12 '3C '))"
      totals receive 3
    } > "$W/want"
    recv_case fd "$W/want" $FD -D can0 -S 1 -- \
        run_fg send $FD -D can0 -w -l -B -F 2 -i 1234567 -s 12 -d 3C -C 3
    { echo Testing...; totals send 3; } > "$W/want"
    expect_output "fd send stdout" "$W/want" "$W/send.out"
    { echo Testing...
      frame_line expand_remote 123 2 23 01
      frame_line expand_remote 124 2 24 01
      totals receive 2
    } > "$W/want"
    recv_case classic "$W/want" $CL -D can1 -S 1 -- \
        run_fg send $CL -D can1 -w -l -g -F 3 -i 123 -s 2 -d 11 -C 2
    { echo Testing...; totals send 2; } > "$W/want"
    expect_output "classic send stdout" "$W/want" "$W/send.out"
    case_end
}

# ------------------------------------------------------------ filter

t_filter() {
    case_start filter
    DEV=can0
    # -f passes only ids whose low byte is 0x5A, standard and extended alike.
    { echo Testing...
      frame_line stand_data 15A 1 AA
      frame_line expand_data 123455A 1 CC
      totals receive 2
    } > "$W/want"
    recv_case "fd -f" "$W/want" $FD -D can0 -f -S 1 -- \
        send_all 15A##0AA 123##0BB 0123455A##0CC 15B##0DD
    { echo Testing...
      frame_line stand_data 15A 1 AA
      frame_line stand_data 123 1 BB
      frame_line expand_data 123455A 1 CC
      frame_line stand_data 15B 1 DD
      totals receive 4
    } > "$W/want"
    recv_case "fd no -f" "$W/want" $FD -D can0 -S 1 -- \
        send_all 15A##0AA 123##0BB 0123455A##0CC 15B##0DD
    DEV=can1
    { echo Testing...
      frame_line stand_data 15A 1 AA
      frame_line stand_remote 5A 0
      totals receive 2
    } > "$W/want"
    recv_case "classic --filter" "$W/want" $CL -D can1 --filter -S 1 -- \
        send_all 15A#AA 123#BB 05A#R 0000005B#01
    case_end
}

# ------------------------------------------------------------ receive own

t_recv_own() {
    # CAN_RAW_RECV_OWN_MSGS only concerns frames a socket sent itself; a
    # receive run sends none and a send run reads none, so all that can be
    # seen from outside is that -o changes nothing for frames of others and
    # for what a send run puts on the bus.
    case_start recv_own
    DEV=can0
    { echo Testing...
      frame_line stand_data 100 2 01 02
      frame_line expand_data 100 0
      totals receive 2
    } > "$W/want"
    recv_case "fd -o" "$W/want" $FD -D can0 -o -S 1 -- send_all 100##00102 00000100##0
    lines 2 "0AA##0$(rep 8 11)" > "$W/frames"
    send_case fd_send_rcvown can0 2 "$W/frames" $FD -D can0 -w -l -o -i AA -d 11 -C 2
    DEV=can1
    { echo Testing...; frame_line stand_data 100 2 01 02; totals receive 1; } > "$W/want"
    recv_case "classic --rcvown" "$W/want" $CL -D can1 --rcvown -S 1 -- send_all 100#0102
    case_end
}

# ------------------------------------------------------------ SIGINT

# sigint_send_case PROG DEV FRAME ARGS...: a send run without -C, paced, ended
# by SIGINT: status 1, totals whose count equals what candump saw and tx_packets.
sigint_send_case() {
    local prog=$1 dev=$2 frame=$3 tx0 n
    shift 3
    start_dump dump "$dev"
    tx0=$(stat_of "$dev" tx_packets)
    start_run send $prog "$@" || return
    sleep 0.5
    alive "$BG" || problem "$prog ended before SIGINT"
    stop_run "$BG"
    stop_dump dump
    expect_eq "exit status" 1 "$RC"
    n=$(frames_of "$W/send.out")
    { echo Testing...; totals send "$n"; } > "$W/want"
    expect_output "stdout" "$W/want" "$W/send.out"
    [ "${n:-0}" -gt 0 ] || problem "no frames sent before SIGINT"
    expect_eq "frames sent on $dev (tx_packets)" "$n" $(( $(stat_of "$dev" tx_packets) - tx0 ))
    lines "${n:-0}" "$frame" > "$W/frames"
    expect_file "frames seen by candump" "$W/frames" "$W/dump.frames"
}

t_fd_send_sigint() {
    case_start fd_send_sigint
    sigint_send_case $FD can0 "321##0$(rep 8 77)" -D can0 -w -l -t 2000 -i 321 -d 77
    case_end
}

t_classic_send_sigint() {
    case_start classic_send_sigint
    sigint_send_case $CL can1 "321#7777777777777777" -D can1 -w -l -t 2000 -i 321 -d 77
    case_end
}

t_recv_sigint_under_traffic() {
    # While frames keep coming, the FD run stops at its next read after SIGINT,
    # the classic run only after a read that brings no frame, that is once the
    # traffic has stopped and its 5 s read time-out has run out. The receive
    # run gets the lowest priority and cangen floods, so its queue does not run empty meanwhile.
    case_start recv_sigint_under_traffic
    start_run recv $FD -D can0 -S 1 || { case_end; return; }
    renice 19 "$BG" > /dev/null || problem "renice failed"
    cangen can0 -f -g 0 -I 100 -L 8 -D 0011223344556677 > /dev/null 2>&1 &
    gen=$!
    sleep 0.5
    kill -INT "$BG"
    wait_until 20 not_alive "$BG"
    alive "$BG" && problem "$FD still running 2 s after SIGINT under traffic"
    alive "$gen" || problem "cangen on can0 ended early"
    kill -INT "$gen"; wait "$gen"
    stop_run "$BG"
    expect_eq "$FD: exit status" 0 "$RC"
    n=$(frames_of "$W/recv.out")
    [ "${n:-0}" -gt 0 ] || problem "$FD: no frames counted"
    expect_eq "$FD: frame lines" "${n:-0}" "$(grep -c '^stand_data    00000100 8 00 11 22 33 44 55 66 77 $' "$W/recv.out")"

    start_run recv $CL -D can1 -S 1 || { case_end; return; }
    renice 19 "$BG" > /dev/null || problem "renice failed"
    cangen can1 -g 0 -I 100 -L 8 -D 0011223344556677 > /dev/null 2>&1 &
    gen=$!
    sleep 0.5
    kill -INT "$BG"
    sleep 1.5
    alive "$BG" || problem "$CL ended under traffic, before a read without a frame"
    alive "$gen" || problem "cangen on can1 ended early"
    kill -INT "$gen"; wait "$gen"
    t0=$(date +%s)
    stop_run "$BG" 9
    t1=$(date +%s)
    [ $((t1 - t0)) -ge 4 ] || problem "$CL ended $((t1 - t0)) s after the traffic stopped, not after its 5 s read time-out"
    expect_eq "$CL: exit status" 0 "$RC"
    n=$(frames_of "$W/recv.out")
    [ "${n:-0}" -gt 0 ] || problem "$CL: no frames counted"
    expect_eq "$CL: frame lines" "${n:-0}" "$(grep -c '^stand_data    00000100 8 00 11 22 33 44 55 66 77 $' "$W/recv.out")"
    case_end
}

# ------------------------------------------------------------ positional form

# positional_send PROMPT SECONDS PROGRAM DEVICE [WORD...]: a send run of the
# positional form, replies from $W/send.in, for SECONDS while candump records
# DEVICE, ended by SIGINT. Checks the exit status and the whole output (the
# prompts, PROMPT being the send prompt, and the totals); sets n to the count.
positional_send() {
    local prompt=$1 seconds=$2 dev=$4
    shift 2
    start_dump dump "$dev"
    start_run send "$@" || return 1
    sleep "$seconds"
    stop_run "$BG"
    stop_dump dump
    expect_eq "$*: exit status" 1 "$RC"
    n=$(frames_of "$W/send.out")
    { echo "$P_MODEL"; echo "$P_TYPE"; echo "$prompt"; echo "$P_ID"; echo Testing...
      totals send "$n"; } > "$W/want"
    expect_output "$*: stdout" "$W/want" "$W/send.out"
}

t_fd_positional_send() {
    case_start fd_positional_send
    # One word: loopback 0 (nothing seen locally), runs until SIGINT.
    printf '1\n0 8 0 1\n123 55 0\n' > "$W/send.in"
    tx0=$(stat_of can0 tx_packets)
    positional_send "$P_SEND_FD" 0.3 $FD can0 || { case_end; return; }
    expect_eq "frames sent (tx_packets)" "$n" $(( $(stat_of can0 tx_packets) - tx0 ))
    expect_empty "frames seen by candump (loopback 0)" "$W/dump.frames"

    # can0 0 1: loopback 1, BRS on by default; 2 frames per step, grow, extended.
    printf '1\n2 12 1000 2\n1ABCDE 3C 1\n' > "$W/send.in"
    positional_send "$P_SEND_FD" 0.3 $FD can0 0 1 || { case_end; return; }
    [ $(( ${n:-1} % 2 )) = 0 ] || problem "can0 0 1: $n frames is not a multiple of 2 frames per step"
    awk -v n="${n:-0}" 'BEGIN {
        for (i = 0; i < n; i++) {
            id = 1752286 + int(i / 2)           # 0x1ABCDE, one step per 2 frames
            b = ""
            for (k = 0; k < 4; k++) { b = b sprintf("%02X", id % 256); id = int(id / 256) }
            printf "%08X##1%s%s\n", 1752286 + int(i / 2), b, "3C3C3C3C3C3C3C3C"
        }
    }' > "$W/frames"
    expect_file "can0 0 1: frames seen by candump" "$W/frames" "$W/dump.frames"

    # can0 0 1 0 0: BRS off.
    printf '1\n0 1 1000 1\n7 1 0\n' > "$W/send.in"
    positional_send "$P_SEND_FD" 0.2 $FD can0 0 1 0 0 || { case_end; return; }
    [ "${n:-0}" -gt 0 ] || problem "can0 0 1 0 0: no frames sent"
    lines "${n:-0}" '007##001' > "$W/frames"
    expect_file "can0 0 1 0 0: frames seen by candump" "$W/frames" "$W/dump.frames"
    case_end
}

t_classic_positional_send() {
    # One word: loopback defaults to 1 in the classic program.
    case_start classic_positional_send
    printf '1\n0 2 1000 1\n7FE AA 1\n' > "$W/send.in"
    positional_send "$P_SEND_CL" 0.3 $CL can1 || { case_end; return; }
    [ "${n:-0}" -ge 3 ] || problem "only ${n:-0} frames sent in 0.3 s"
    awk -v n="${n:-0}" 'BEGIN {
        for (i = 0; i < n; i++) { id = (2046 + i) % 2048; printf "%03X#%02X%02X\n", id, id % 256, int(id / 256) }
    }' > "$W/frames"
    expect_file "frames seen by candump" "$W/frames" "$W/dump.frames"
    case_end
}

t_classic_positional_recv() {
    case_start classic_positional_recv
    DEV=can1
    printf '0\n1\n' > "$W/recv.in"
    { echo "$P_MODEL"; echo "$P_SHOW"; echo ":Testing..."
      frame_line stand_data 11 1 01
      frame_line expand_data 22 2 02 03
      totals receive 2
    } > "$W/want"
    recv_case "can1" "$W/want" $CL can1 -- send_all 011#01 00000022#0203
    case_end
}

t_fd_positional_recv_file() {
    case_start fd_positional_recv_file
    DEV=can0
    printf '0\n2\n%s\n' "$W/pos.txt" > "$W/recv.in"
    { echo "$P_MODEL"; echo "$P_SHOW"; echo "$P_FILE"; echo ":Testing..."
      totals receive 3
    } > "$W/want"
    recv_case "can0" "$W/want" $FD can0 -- send_all 011##101 022##00203 033##0
    { frame_line stand_data 11 1 01; frame_line stand_data 22 2 02 03; frame_line stand_data 33 0; } > "$W/want.file"
    expect_file "output file" "$W/want.file" "$W/pos.txt"
    case_end
}

t_positional_filter() {
    # Second word is the filter.
    case_start positional_filter
    DEV=can0
    printf '0\n1\n' > "$W/recv.in"
    { echo "$P_MODEL"; echo "$P_SHOW"; echo ":Testing..."
      frame_line stand_data 25A 1 01
      totals receive 1 norate
    } > "$W/want"
    recv_case "can0 1" "$W/want" $FD can0 1 -- send_all 25A##001 25B##002
    case_end
}

# ------------------------------------------------------------ two nodes
# A send run on one interface and a receive run on another, with the default
# options: across the SJA1000 boards sja0 -> sja1 (a real controller driver,
# classic CAN) and the vxcan pair vxcan0 <-> vxcan1 (CAN FD).

# expect_run WHAT OUT_FILE KIND N: the output of a run: the prompts in
# OUT_FILE's .head file (if any), "Testing..." and the totals of N frames;
# unless OWN_STDERR_CHECKS is set, nothing on standard error.
expect_run() {
    { cat "${2%.out}.head" 2>/dev/null; echo Testing...; totals "$3" "$4"; } > "$2.want"
    expect_output "$1: stdout" "$2.want" "$2"
    [ -n "${OWN_STDERR_CHECKS:-}" ] || expect_empty "$1: stderr" "${2%.out}.err"
}

# across RX RECEIVER... -- SENDER...: a receive run on interface RX while the
# send run goes to its end (with SEND_FOR set: runs that many seconds, then
# SIGINT); then SIGINT to the receive run once it has read what came.
# Checks exit statuses and outputs; leaves the totals in SENT and GOT.
across() {
    local rx=$1 recv="" receiver send_rc
    shift
    while [ "$1" != "--" ]; do recv="$recv $1"; shift; done
    shift
    SENT="" GOT=""
    start_run recv $recv || return 1
    receiver=$BG
    if [ -n "${SEND_FOR:-}" ]; then
        start_run send "$@" || { stop_run "$receiver"; return 1; }
        sleep "$SEND_FOR"
        stop_run "$BG"
    else
        run_fg send "$@"
    fi
    send_rc=$RC
    settle "$rx" "$receiver"
    stop_run "$receiver"
    SENT=$(frames_of "$W/send.out")
    GOT=$(frames_of "$W/recv.out")
    expect_eq "send run: exit status" 1 "$send_rc"
    expect_eq "receive run: exit status" 0 "$RC"
    expect_run "send run" "$W/send.out" send "$SENT"
    expect_run "receive run" "$W/recv.out" receive "$GOT"
}

# grown_lines KIND FIRST MASK N LEN FILL: the frame lines of N grow-mode
# frames, one per step: identifiers from FIRST AND MASK up by one (wrapping
# after MASK), each in the first 4 payload bytes, the other bytes FILL.
grown_lines() {
    awk -v kind="$1" -v first="$((0x$2 & 0x$3))" -v mask="$((0x$3))" -v n="$4" \
        -v len="$5" -v fill="$((0x$6))" 'BEGIN {
        for (i = 0; i < n; i++) {
            id = (first + i) % (mask + 1)
            line = sprintf("%-14s%08X %d ", kind, id, len)
            scale = 1
            for (b = 0; b < len; b++) {
                line = line sprintf("%02X ", b < 4 ? int(id / scale) % 256 : fill)
                scale *= 256
            }
            print line
        }
    }'
}

t_two_nodes() {
    # Per link: a plain run counted in display none, then a grow-mode run
    # saved in display file, where every identifier and payload is checked.
    # vxcan has no bit rate: unpaced, 64-byte frames would reach the receiving
    # socket faster than a run that saves them (or candump) reads them, so
    # -t stands in for the bus there.
    case_start two_nodes
    while read -r prog tx rx kind first mask len fill extra; do
        across "$rx" $prog -D "$rx" -- $prog -D "$tx" -w -C 1000 -s "$len" $extra
        expect_eq "$prog $tx -> $rx, display none: frames sent" 1000 "$SENT"
        expect_eq "$prog $tx -> $rx, display none: frames received" 1000 "$GOT"
        start_dump dump "$rx"
        across "$rx" $prog -D "$rx" -S 2 -p "$W/frames.txt" -- \
            $prog -D "$tx" -w -C 1000 -g -i "$first" -s "$len" -d "$fill" $extra
        stop_dump dump
        expect_eq "$prog $tx -> $rx, display file: frames sent" 1000 "$SENT"
        expect_eq "$prog $tx -> $rx, display file: frames received" 1000 "$GOT"
        grown_lines "$kind" "$first" "$mask" 1000 "$len" "$fill" > "$W/want.file"
        expect_file "$prog $tx -> $rx: output file" "$W/want.file" "$W/frames.txt"
        case "$extra" in
            *-B*) # candump shows BRS (0x01) beside the kernel's CAN FD mark (0x04).
                expect_eq "$prog $tx -> $rx: frames candump saw with BRS" 1000 \
                    "$(grep -c "^([0-9.]*) $rx [0-9A-F]*##5" "$W/dump.log")" ;;
        esac
    done <<EOF
$CL sja0 sja1 stand_data 7F0 7FF 8 5A
$FD vxcan0 vxcan1 expand_data 1FFFFFF0 1FFFFFFF 64 A5 -F 2 -B -t 300
$CL vxcan0 vxcan1 stand_data 7FE 7FF 3 11
$CL vxcan1 vxcan0 expand_data 12345 1FFFFFFF 8 C3 -F 2
EOF
    case_end
}

t_two_nodes_positional() {
    # Both runs configured by words and replies; the send run goes on until SIGINT.
    case_start two_nodes_positional
    printf '0\n2\n%s\n' "$W/pos.txt" > "$W/recv.in"
    printf '%s\n%s\n%s\n:' "$P_MODEL" "$P_SHOW" "$P_FILE" > "$W/recv.head"
    printf '1\n0 8 1000 1\n123 55 0\n' > "$W/send.in"
    printf '%s\n%s\n%s\n%s\n' "$P_MODEL" "$P_TYPE" "$P_SEND_CL" "$P_ID" > "$W/send.head"
    SEND_FOR=0.5 across sja1 $CL sja1 -- $CL sja0
    [ "${SENT:-0}" -gt 0 ] || problem "no frames sent"
    expect_eq "frames received" "$SENT" "$GOT"
    lines "${GOT:-0}" "$(frame_line stand_data 123 8 $(rep 8 '55 '))" > "$W/want.file"
    expect_file "output file" "$W/want.file" "$W/pos.txt"
    case_end
}

# The lines on standard error that account for frames the totals leave out.
refusal_line() {
    printf 'refused writes:%s, most with "No buffer space available": the transmit queue of %s was full (ip link set %s txqueuelen N enlarges it; -t pauses after each step)\n' "$2" "$1" "$1"
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

# shaped_link QDISC... -- PROG TX RX SEND_ARGS...: a receive run on RX saving
# to a file while an unpaced send run of 5000 frames goes out of TX through
# the root queue discipline QDISC; SIGINT to the receive run once the queue
# has drained. Every frame tried is accounted for: the writes the send run
# reports refused make up the rest of 5000; the queue's drops are those
# refusals and frames it lost after their write, and those lost frames and
# the frames the receive run reports its socket dropped make up the rest of
# the send total. Leaves DROPPED (by the queue), REFUSED and SOCKET_DROPS.
shaped_link() {
    local qdisc="" prog tx rx
    while [ "$1" != "--" ]; do qdisc="$qdisc $1"; shift; done
    prog=$2 tx=$3 rx=$4
    shift 4
    tc qdisc add dev "$tx" root $qdisc || { problem "tc qdisc add dev $tx root$qdisc failed"; return 1; }
    OWN_STDERR_CHECKS=1 across "$rx" $prog -D "$rx" -S 2 -p "$W/frames.txt" -- \
        $prog -D "$tx" -w -C 5000 "$@"
    wait_until 50 qdisc_drained "$tx" || problem "the queue of $tx did not drain"
    DROPPED=$(qdisc_dropped "$tx")
    tc qdisc del dev "$tx" root
    REFUSED=$(( 5000 - ${SENT:-0} ))
    SOCKET_DROPS=$(( ${SENT:-0} - (${DROPPED:-0} - REFUSED) - ${GOT:-0} ))
    expect_report "send run" "$W/send.err" refusal_line "$tx" "$REFUSED"
    expect_report "receive run" "$W/recv.err" drop_line "$rx" "$SOCKET_DROPS"
    expect_eq "file lines" "$GOT" "$(wc -l < "$W/frames.txt")"
}

t_slow_link() {
    # A token bucket with a small queue refuses writes once it is full; what
    # went out all arrives.
    case_start slow_link
    shaped_link tbf rate 20kbit burst 1kb limit 2kb -- $CL sja0 sja1 -i 321
    [ "$REFUSED" -gt 0 ] || problem "no write was refused"
    expect_eq "writes refused against the queue's drops" "$DROPPED" "$REFUSED"
    expect_eq "frames received" "$SENT" "$GOT"
    case_end
}

t_lossy_link() {
    # netem drops frames after the write succeeded: the receive total shows
    # exactly the frames that were lost.
    case_start lossy_link
    shaped_link netem loss 5% -- $FD vxcan0 vxcan1 -s 16
    expect_eq "frames sent" 5000 "$SENT"
    [ "${DROPPED:-0}" -gt 0 ] || problem "netem dropped nothing"
    expect_eq "frames dropped by the receive run's socket" 0 "$SOCKET_DROPS"
    case_end
}

t_bursts() {
    # netem's delay lets frames through in bursts that overflow the receive
    # run's socket buffer: the frames reached the node, and the receive run
    # says how many of them its socket dropped.
    case_start bursts
    shaped_link netem delay 50ms -- $FD vxcan0 vxcan1 -s 64
    expect_eq "frames sent" 5000 "$SENT"
    expect_eq "frames the queue dropped" 0 "$DROPPED"
    [ "$SOCKET_DROPS" -gt 0 ] || problem "the bursts overflowed nothing"
    case_end
}

# ------------------------------------------------------------ vanishing interfaces

# gone_receiving PROG TX RX GONE_COMMAND...: a receive run on RX saving to a
# file gets 200 frames from TX, then GONE_COMMAND takes RX away. While RX is
# gone the run must sleep, not spin; SIGINT must still end it within its 5 s
# read time-out, with its totals and every frame in the file.
gone_receiving() {
    local prog=$1 tx=$2 rx=$3 t0 ticks
    shift 3
    start_run recv $prog -D "$rx" -S 2 -p "$W/frames.txt" || return
    run_fg send $prog -D "$tx" -w -C 200
    settle "$rx" "$BG"
    "$@" || problem "'$*' failed"
    sleep 0.5
    ticks=$(cpu_ticks "$BG")
    sleep 1
    ticks=$(( $(cpu_ticks "$BG") - ticks ))
    [ "$ticks" -le 5 ] || problem "$prog used $ticks ticks of CPU in 1 s while $rx was gone"
    t0=$(uptime_cs)
    stop_run "$BG" 8
    [ $(( $(uptime_cs) - t0 )) -le 550 ] || problem "$prog ended $(( $(uptime_cs) - t0 )) cs after SIGINT"
    expect_eq "exit status" 0 "$RC"
    expect_run "receive run" "$W/recv.out" receive 200
    expect_eq "file lines" 200 "$(wc -l < "$W/frames.txt")"
}

t_receiving_link_down() {
    case_start receiving_link_down
    gone_receiving $CL sja0 sja1 ip link set sja1 down
    ip link set sja1 up || problem "sja1 does not come up again"
    case_end
}

t_receiving_link_deleted() {
    case_start receiving_link_deleted
    add_vxcan vxcan2 vxcan3 || problem "cannot add vxcan2/vxcan3"
    gone_receiving $FD vxcan2 vxcan3 ip link del vxcan3
    case_end
}

t_sending_link_down() {
    # Writes fail while the interface is down; the run goes on and counts only
    # what went out, which is what the other end got. The send run is held
    # while the interface goes down: a frame the socket has just accepted may
    # still wait in the transmit queue, and going down empties that queue.
    case_start sending_link_down
    start_run recv $CL -D sja1 -S 2 -p "$W/frames.txt" || { case_end; return; }
    receiver=$BG
    start_run send $CL -D sja0 -w -t 2000 || { stop_run "$receiver"; case_end; return; }
    sleep 0.5
    kill -STOP "$BG"
    wait_until 20 qdisc_drained sja0 || problem "the queue of sja0 did not drain"
    settle sja1 "$receiver"
    ip link set sja0 down || problem "sja0 does not go down"
    kill -CONT "$BG"
    sleep 0.5
    alive "$BG" || problem "the send run ended when its interface went down"
    stop_run "$BG"
    expect_eq "send run: exit status" 1 "$RC"
    ip link set sja0 up || problem "sja0 does not come up again"
    settle sja1 "$receiver"
    stop_run "$receiver"
    expect_eq "receive run: exit status" 0 "$RC"
    SENT=$(frames_of "$W/send.out")
    OWN_STDERR_CHECKS=1 expect_run "send run" "$W/send.out" send "$SENT"
    grep -qx "refused writes:[0-9]*, most with \"Network is down\": sja0 was down" "$W/send.err" &&
        [ "$(wc -l < "$W/send.err")" = 1 ] || problem "send run: no line of writes refused while sja0 was down"
    expect_run "receive run" "$W/recv.out" receive "$SENT"
    expect_eq "file lines" "$SENT" "$(wc -l < "$W/frames.txt")"
    case_end
}

# ------------------------------------------------------------ run

ALL="env_vcan fd_on_classic_iface missing_iface non_can_iface options_refused
fd_send_ext_brs fd_send_defaults option_form_bare fd_send_std_64 fd_send_countonce fd_send_grow_std
fd_send_grow_ext fd_send_no_loopback classic_send classic_send_kinds classic_send_grow
classic_on_fd_iface loopback_off_on
fd_recv_none fd_recv_screen fd_recv_file fd_recv_kinds fd_recv_one_frame
classic_recv_none classic_recv_screen classic_recv_file classic_recv_kinds classic_recv_one_frame
recv_no_frames recv_open_file_error own_send_to_own_recv filter recv_own
fd_send_sigint classic_send_sigint recv_sigint_under_traffic
fd_positional_send classic_positional_send classic_positional_recv fd_positional_recv_file
positional_filter two_nodes two_nodes_positional slow_link lossy_link bursts
receiving_link_down receiving_link_deleted sending_link_down"

selected=$(echo "${vmcases:-$ALL}" | tr ',' ' ')
suite_start=$(date +%s)
for c in $selected; do
    case " $(echo $ALL) " in
        *" $c "*) "t_$c" ;;
        *) case_start "$c"; problem "no such case"; case_end ;;
    esac
done
echo "guest: cases took $(( $(date +%s) - suite_start )) s"
summary
