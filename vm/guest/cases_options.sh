# SPDX-License-Identifier: MIT
# Cases: the machine itself, channel set-up refusals, options and usage.

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

# usage PROG: the usage text of PROG.
usage() {
    if [ "$1" = "$FD" ]; then
        printf 'Usage: %s <device> [filter] [loopBack] [rcvOwn] [BRS]\n' "$FD"
        printf 'OR Usage: %s [-D:floBwF:s:t:c:C:i:d:gS:p:]\n' "$FD"
        option_lines
    else
        printf 'Usage: %s <device> [filter] [loopBack] [rcvOwn]\n' "$CL"
        printf 'OR Usage: %s [-D:flowF:s:t:c:C:i:d:gS:p:]\n' "$CL"
        option_lines | sed -e '/-B --BRS/d' \
            -e 's/dlc(0~8, 12, 16, 20, 24, 32, 48, 64)(default is 8)/dlc(0~8)(default is 8)/' \
            -e 's/^  -C --count n /  -C --Count n /'
    fi
}

# refused STDERR LINE PROG ARGS...: run to the end; status 1 and LINE on
# stdout; with STDERR "quiet" also nothing on stderr.
refused() {
    local quiet=$1
    echo "$2" > "$W/want"
    shift 2
    expect_status "$*: exit status" 1 run_fg run "$@"
    expect_file "$*: stdout" "$W/want" "$W/run.out"
    [ "$quiet" = any ] || expect_empty "$*: stderr" "$W/run.err"
}

t_env_vcan() {
    expect_eq "can0 mtu" 72 "$(cat /sys/class/net/can0/mtu)"
    expect_eq "can1 mtu" 16 "$(cat /sys/class/net/can1/mtu)"
    start_dump dump can0
    cangen can0 -I 123 -L 2 -D AABB -n 4 -g 1
    cangen can0 -f -b -I 321 -L 12 -D 00112233445566778899AABB -n 1 -g 1
    stop_dump dump 5
    { lines 4 '123#AABB'; echo '321##100112233445566778899AABB'; } > "$W/want"
    expect_file "candump frames" "$W/want" "$W/dump.frames"
    ensure "no /opt/can/$FD" [ -x /opt/can/$FD ]
    ensure "no /opt/can/$CL" [ -x /opt/can/$CL ]
}

t_setup_refused() {
    # Interfaces the channel cannot use: each program's one line.
    local stderr args want
    while read -r stderr args; do
        want=${args#*= }
        refused "$stderr" "$want" ${args%% =*}
    done <<EOF
quiet $FD -D can1 = CAN interface is not CAN FD capable - sorry.
quiet $FD -D can1 -w -C 1 = CAN interface is not CAN FD capable - sorry.
quiet $FD -D sja0 = CAN interface is not CAN FD capable - sorry.
quiet $FD -D nosuch0 = ioctl SIOCGIFINDEX failed
quiet $CL -D nosuch0 = ioctl failed
quiet $FD -D nosuch0 -w -C 1 = ioctl SIOCGIFINDEX failed
quiet $CL -D nosuch0 -w -C 1 = ioctl failed
any $FD -D lo = CAN interface is not CAN FD capable - sorry.
any $CL -D lo -w -C 1 = bind failed
EOF
}

t_options_refused() {
    # Usage text and status 1; too many positional words give no prompt.
    local prog args
    while read -r prog args; do
        usage $prog > "$W/want"
        expect_status "$prog $args: exit status" 1 run_fg run $prog $args
        expect_file "$prog $args: stdout" "$W/want" "$W/run.out"
    done <<EOF
$FD -s 9
$FD -s 65
$FD -F 4
$FD -c 0
$FD -t -1
$FD -C -1
$FD -S 2
$FD -w -S 2
$CL -s 12
$CL -B
$CL --Count 5
$CL -S 2
$CL -w -C 1 -i 800
$FD -w -F 2 -i 20000000
$CL -w -i -1 -F 0
$FD can0 0 0 0 0 0
$CL can1 0 0 0 0
$FD -h
EOF
    # -h is unknown: getopt_long explains on stderr.
    ensure "$FD -h: nothing on stderr" [ -s "$W/run.err" ]
}

t_option_form_bare() {
    # No arguments: a receive run on can0 without display. A word that is no
    # option is skipped: "-w -l -C 1 can1" still sends on can0.
    { echo Testing...; totals receive 2; } > "$W/want"
    recv_case "no arguments" "$W/want" $FD -- send_all can0 011##0AA 022##0BB
    echo '000##00000000000000000' > "$W/frames"
    send_case "stray word" can0 1 "$W/frames" $FD -w -l -C 1 can1
}
