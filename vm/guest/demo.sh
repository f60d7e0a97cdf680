# SPDX-License-Identifier: MIT
# A short look at both programs: a receive run with screen display in the
# background, a send run of a few frames (with loopback on where both share
# one vcan; from one controller to the other across a CAN bus), then SIGINT
# to the receive run. Everything the programs print goes straight to the console.
# Ends with status 1 if a run did not end the way it should.

. /guest/lib.sh

W=/tmp/demo
rm -rf "$W"; mkdir -p "$W"
status=0

# demo DEV RECEIVER_ARGS -- SENDER_ARGS
demo() {
    dev=$1 recv=""
    shift
    while [ "$1" != "--" ]; do recv="$recv $1"; shift; done
    shift
    echo
    echo "### $dev: receive run in the background:$recv"
    $recv &
    pid=$!
    if ! wait_until 50 run_started "$pid"; then
        echo "### the receive run did not start"; status=1; return
    fi
    echo "### $dev: send run: $*"
    "$@"
    echo "### send run exit status: $? (every send run ends with 1)"
    sleep 0.3
    echo "### SIGINT to the receive run"
    kill -INT "$pid"
    if wait_until 80 not_alive "$pid"; then
        wait "$pid"; rc=$?
        echo "### receive run exit status: $rc"
        [ "$rc" = 0 ] || status=1
    else
        echo "### the receive run did not end"; kill -KILL "$pid"; status=1
    fi
}

demo can0 canfd_tester -D can0 -S 1 -- \
    canfd_tester -D can0 -w -l -B -F 2 -i 1ABC -s 12 -d 5A -g -C 5 -t 20000
demo can1 can_tester -D can1 -S 1 -- \
    can_tester -D can1 -w -l -F 0 -i 7FE -s 8 -d 11 -g -C 4 -t 20000
# Two nodes: from one controller to the other (the SJA1000 boards, or the
# ZynqMP's own two), default options.
tx=sja0 rx=sja1
[ "${vmmachine:-virt}" = zynqmp ] && tx=xcan0 rx=xcan1
demo $rx can_tester -D $rx -S 1 -- \
    can_tester -D $tx -w -F 2 -i 1ABCDE -s 6 -d 22 -g -C 3

# Other traffic among a grow-mode run's frames: the receive run tells them
# apart.
demo $rx can_tester -D $rx -- sh -c "can_tester -D $tx -w -i 181 -d 7 -C 3 >/dev/null; can_tester -D $tx -w -g -i 100 -C 20"

# The same two nodes unattended: a receive run that ends by itself, a
# marked send run of a known count, each saying pass or fail.
echo
echo "### $rx: receive run in the background: can_tester -D $rx --number 2000 --quiet-for 5 --duration 60 --verdict --json $W/recv.json"
can_tester -D $rx --number 2000 --quiet-for 5 --duration 60 --verdict --json "$W/recv.json" &
pid=$!
wait_until 50 run_started "$pid" || { echo "### the receive run did not start"; status=1; }
echo "### $tx: send run: can_tester -D $tx -w -g --mark -C 2000 -t 200 --verdict --json $W/send.json"
can_tester -D $tx -w -g --mark -C 2000 -t 200 --verdict --json "$W/send.json"
echo "### send run exit status: $? (0: pass, 2: fail)"
wait "$pid"; rc=$?
echo "### receive run exit status: $rc"
[ "$rc" = 0 ] || status=1
echo "### what a script reads of the receive run's record:"
jq -M -c '{frames, ended_by, marked_runs: [.marked_runs[] | {tag, missing, repeated, last_came}], verdict: .verdict.result}' "$W/recv.json"

echo
echo "### the bus side of a send run, as candump shows it:"
candump -L can0 &
dump=$!
wait_until 50 more_listeners can0 0
canfd_tester -D can0 -w -l -B -F 0 -i 123 -s 16 -d C3 -C 3 > /dev/null
sleep 0.3
kill -INT "$dump"; wait "$dump"
exit $status
