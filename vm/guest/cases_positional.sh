# SPDX-License-Identifier: MIT
# Cases: the positional form, its words and the replies to its questions.

P_MODEL='Please Input model: 0-read, 1-write'
P_TYPE=':frametype: 0-standData, 1-standRemote, 2-expandData, 3-expandRemote'
P_SEND_FD=':Plase input frametype dlc(0~8, 12, 16, 20, 24, 32, 48, 64) sleeptime(us) sendFramesOnce(>=1)'
P_SEND_CL=':Plase input frametype dlc(0~8) sleeptime(us) sendFramesOnce(>=1)'
P_ID='Plase input id(hex) data(1byte hex) isgrow(0/1)'
P_SHOW=':Please Input data show model: 0-none, 1-screen, 2-file'
P_FILE=':Please input file name'

# positional_send REPLIES FRAMES PROGRAM DEVICE [WORD...]: a send run of the
# positional form given REPLIES, while candump records DEVICE, ended by SIGINT
# once DEVICE has sent FRAMES frames. Checks the exit status and the whole
# output (the prompts and the totals); the count is then in $W/send.out.
# candump sees the frames only with loopback, the third word, on by default
# in the classic program.
positional_send() {
    local frames=$2 prompt=$P_SEND_CL loop=1 seen=0 tx0
    printf "$1" > "$W/send.in"
    shift 2
    [ "$1" = "$FD" ] && prompt=$P_SEND_FD loop=0
    loop=${4:-$loop}
    start_dump dump "$2"
    tx0=$(stat_of "$2" tx_packets)
    start_run send "$@" || return 1
    ensure "$*: not $frames frames sent" wait_until 50 stat_above "$2" tx_packets $((tx0 + frames - 1))
    expect_status "$*: exit status" 1 stop_run send
    [ "$loop" = 1 ] && seen=$(frames_of "$W/send.out")
    stop_dump dump "${seen:-0}"
    printf '%s\n' "$P_MODEL" "$P_TYPE" "$prompt" "$P_ID" > "$W/send.head"
    expect_run "$*" send send "$(frames_of "$W/send.out")"
}

t_positional_send() {
    local n tx0
    # One word: loopback 0 in the FD program (nothing seen locally), runs until SIGINT.
    tx0=$(stat_of can0 tx_packets)
    positional_send '1\n0 8 0 1\n123 55 0\n' 100 $FD can0 || return
    n=$(frames_of "$W/send.out")
    expect_eq "can0: frames sent (tx_packets)" "$n" $(( $(stat_of can0 tx_packets) - tx0 ))
    expect_empty "can0: frames seen by candump (loopback 0)" "$W/dump.frames"

    # can0 0 1: loopback 1, BRS on by default; 2 frames per step, grow, extended.
    positional_send '1\n2 12 1000 2\n1ABCDE 3C 1\n' 20 $FD can0 0 1 || return
    n=$(frames_of "$W/send.out")
    ensure "can0 0 1: $n frames is not a multiple of 2 frames per step" [ $(( ${n:-1} % 2 )) = 0 ]
    grown_frames '%08X##1' '%02X' 1ABCDE 1FFFFFFF $(( ${n:-0} / 2 )) 12 3C | sed p > "$W/frames"
    expect_file "can0 0 1: frames seen by candump" "$W/frames" "$W/dump.frames"

    # can0 0 1 0 0: BRS off.
    positional_send '1\n0 1 1000 1\n7 1 0\n' 10 $FD can0 0 1 0 0 || return
    n=$(frames_of "$W/send.out")
    ensure "can0 0 1 0 0: no frames sent" [ "${n:-0}" -gt 0 ]
    lines "${n:-0}" '007##001' > "$W/frames"
    expect_file "can0 0 1 0 0: frames seen by candump" "$W/frames" "$W/dump.frames"

    # One word: loopback defaults to 1 in the classic program.
    positional_send '1\n0 2 1000 1\n7FE AA 1\n' 10 $CL can1 || return
    n=$(frames_of "$W/send.out")
    ensure "can1: only ${n:-0} frames sent" [ "${n:-0}" -ge 3 ]
    grown_frames '%03X#' '%02X' 7FE 7FF "${n:-0}" 2 AA > "$W/frames"
    expect_file "can1: frames seen by candump" "$W/frames" "$W/dump.frames"
}

t_positional_recv() {
    # The second word is the filter; display 2 asks for the file name.
    printf '0\n1\n' > "$W/recv.in"
    { printf '%s\n' "$P_MODEL" "$P_SHOW" ":Testing..."
      frame_line stand_data 11 1 01
      frame_line expand_data 22 2 02 03
      totals receive 2
    } > "$W/want"
    recv_case "$CL can1" "$W/want" $CL can1 -- send_all can1 011#01 00000022#0203

    printf '0\n2\n%s\n' "$W/pos.txt" > "$W/recv.in"
    { printf '%s\n' "$P_MODEL" "$P_SHOW" "$P_FILE" ":Testing..."; totals receive 3; } > "$W/want"
    recv_case "$FD can0" "$W/want" $FD can0 -- send_all can0 011##101 022##00203 033##0
    { frame_line stand_data 11 1 01; frame_line stand_data 22 2 02 03; frame_line stand_data 33 0; } > "$W/want.file"
    expect_file "$FD can0: output file" "$W/want.file" "$W/pos.txt"

    printf '0\n1\n' > "$W/recv.in"
    { printf '%s\n' "$P_MODEL" "$P_SHOW" ":Testing..."
      frame_line stand_data 25A 1 01
      totals receive 1 norate
    } > "$W/want"
    recv_case "$FD can0 1" "$W/want" $FD can0 1 -- send_all can0 25A##001 25B##002
}

t_two_nodes_positional() {
    # Both runs configured by words and replies, from one board to the other;
    # the send run goes on until SIGINT.
    local sent got
    printf '0\n2\n%s\n' "$W/pos.txt" > "$W/recv.in"
    printf '%s\n%s\n%s\n:' "$P_MODEL" "$P_SHOW" "$P_FILE" > "$W/recv.head"
    printf '1\n0 8 1000 1\n123 55 0\n' > "$W/send.in"
    printf '%s\n' "$P_MODEL" "$P_TYPE" "$P_SEND_CL" "$P_ID" > "$W/send.head"
    across sja0-sja1 sja1 0.5 $CL sja1 -- $CL sja0 || return
    bus_limit_apart "send run" sja0 "$W/send.err"
    expect_empty "send run: stderr" "$W/send.err.rest"
    expect_empty "receive run: stderr" "$W/recv.err"
    sent=$(frames_of "$W/send.out")
    got=$(frames_of "$W/recv.out")
    ensure "no frames sent" [ "${sent:-0}" -gt 0 ]
    expect_eq "frames received" "$sent" "$got"
    lines "${got:-0}" "$(frame_line stand_data 123 8 $(rep 8 '55 '))" > "$W/want.file"
    expect_file "output file" "$W/want.file" "$W/pos.txt"
}
