#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The runs of a script that reads their results, each program's socket calls
# taken over by scripts/loop-cost-shim.c (so that a run goes on without CAN):
# Ctrl-C while a frame line waits on a full pipe loses no byte; frame lines
# that cannot be written (/dev/full, a pipe nobody reads) are reported, with
# exit status 1; the runs end by themselves; the JSON summary, read with
# Python's json, holds what the run printed, also after a failed set-up or
# refused options, and names with any bytes come back whole.
#
#   tests/unattended_test.sh SHIM_SOURCE PROGRAM...
set -uo pipefail
scratch=$(mktemp -d)
trap 'exec 3<&- 2>/dev/null; rm -rf "$scratch"' EXIT
cc -O2 -shared -fPIC -o "$scratch/shim.so" "$1" && shift
failed=0 checks=0
check() { checks=$((checks + 1)); "${@:2}" || { echo "FAIL $1"; failed=1; }; }
shimmed() { LD_PRELOAD=$scratch/shim.so "$@"; }
# json FILE EXPR: EXPR of the JSON object `d` in FILE (its last line), as
# Python prints it.
json() { python3 -c 'import json, sys
d = json.loads(open(sys.argv[1], encoding="latin-1").read().splitlines()[-1])
print(eval(sys.argv[2]))' "$1" "$2"; }
frame_line='^(stand|expand)_(data|remote) +[0-9A-F]{8} [0-9]+ ([0-9A-F]{2} )*$'

for program in "$@"; do
  name=${program##*/}
  # Ctrl-C while the run waits to write a frame line into a full pipe: once
  # the pipe is read, every line is whole and the totals count them.
  mkfifo "$scratch/pipe"
  shimmed env LOOP_COST_FRAMES=1000000 "$program" -D x -S 1 >"$scratch/pipe" &
  pid=$!
  exec 3<"$scratch/pipe"
  # The shim's frames come at once: a run that sleeps waits for the pipe.
  asleep=0
  for _ in $(seq 100); do
    [[ $(cut -d' ' -f3 "/proc/$pid/stat") == S ]] && asleep=$((asleep + 1)) || asleep=0
    ((asleep < 3)) || break
    sleep 0.05
  done
  check "$name: not blocked on the pipe" [ "$asleep" = 3 ]
  kill -INT "$pid"
  cat <&3 >"$scratch/out"
  exec 3<&-
  wait "$pid"
  check "$name: status after Ctrl-C" [ $? = 0 ]
  counted=$(sed -n 's/^receive frames:\([0-9]*\)$/\1/p' "$scratch/out")
  lines=$(grep -cE "$frame_line" "$scratch/out")
  check "$name: $lines whole frame lines, $counted counted" [ -n "$counted" ] && [ "$lines" = "$counted" ]
  check "$name: only frame lines, Testing... and the totals" [ "$(grep -cvE "$frame_line" "$scratch/out")" -le 5 ]
  rm -f "$scratch/pipe"

  # Frame lines that a full device, or a pipe nobody reads, did not take.
  for option in "-S 2 -p" "--journal"; do
    shimmed env LOOP_COST_FRAMES=20 "$program" -D x $option /dev/full --json "$scratch/full.json" \
      >"$scratch/out" 2>"$scratch/err"
    check "$name $option /dev/full: status" [ $? = 1 ]
    check "$name $option /dev/full: totals" grep -qx 'receive frames:20' "$scratch/out"
    check "$name $option /dev/full: line" grep -qx 'unwritten frame lines:20 of 20, to /dev/full: No space left on device' "$scratch/err"
    check "$name $option /dev/full: summary" [ "$(json "$scratch/full.json" '(d["error"], d["frame_files"][0]["unwritten"], d["exit_status"])')" = "('frame lines unwritten', 20, 1)" ]
  done
  mkfifo "$scratch/pipe"
  head -n 1 <"$scratch/pipe" >/dev/null &
  shimmed env LOOP_COST_FRAMES=100000 "$program" -D x -S 2 -p "$scratch/pipe" >"$scratch/out" 2>"$scratch/err"
  check "$name: status after a closed pipe" [ $? = 1 ]
  check "$name: closed pipe line" grep -qE "^unwritten frame lines:[1-9][0-9]* of 100000, to $scratch/pipe: Broken pipe$" "$scratch/err"
  rm -f "$scratch/pipe"

  # Runs that end by themselves, and their summaries.
  shimmed env LOOP_COST_FRAMES=500 "$program" -D x --number 300 --verdict --json "$scratch/r.json" >"$scratch/out" 2>"$scratch/err"
  check "$name --number: status" [ $? = 0 ]
  check "$name --number: totals" grep -qx 'receive frames:300' "$scratch/out"
  check "$name --number: summary" [ "$(json "$scratch/r.json" '(d["format"], d["program"], d["run"], d["ended_by"], d["frames"], d["expected"], d["unread"], d["verdict"]["result"], d["exit_status"])')" = "(1, '$name', 'receive', 'number', 300, 300, 0, 'pass', 0)" ]
  # A marked run that came whole, and one whose end never came.
  for frames in 300 400; do
    shimmed env LOOP_COST_FRAMES=$frames LOOP_COST_MARK=1 "$program" -D x --number 300 --verdict --json "$scratch/m.json" >/dev/null 2>&1
    check "$name marked, $frames sent: status" [ $? = $((frames == 300 ? 0 : 2)) ]
    check "$name marked, $frames sent: summary" [ "$(json "$scratch/m.json" '[(r["tag"], r["frames"], r["last_came"], r["missing"]) for r in d["marked_runs"]], d["verdict"]["failed"]')" = "([('12345', 300, $([ $frames = 300 ] && echo True || echo False), 0)], $([ $frames = 300 ] && echo '[]' || echo "['runs']"))" ]
  done
  start=$SECONDS
  shimmed "$program" -D x -w --duration 0.4 --json - >"$scratch/out" 2>"$scratch/err"
  check "$name -w --duration: status" [ $? = 1 ] && [ $((SECONDS - start)) -le 3 ]
  check "$name -w --duration: summary on standard error" [ "$(json "$scratch/err" '(d["run"], d["ended_by"], d["frames"] > 0, d["verdict"]["result"])')" = "('send', 'duration', True, 'pass')" ]
  shimmed "$program" -D x -w -g -i 100 -C 5 --json "$scratch/c.json" >/dev/null 2>&1
  check "$name -w -C 5: settings as given" [ "$(json "$scratch/c.json" '(d["settings"]["count"], d["settings"]["id"], d["frames"])')" = "(5, 256, 5)" ]
  shimmed "$program" -D x --quiet-for 0.3 --verdict --json "$scratch/q.json" >/dev/null 2>"$scratch/err"
  check "$name --quiet-for: status" [ $? = 2 ]
  check "$name --quiet-for: verdict line" grep -q '^verdict:fail, frames (0 came)' "$scratch/err"
  check "$name --quiet-for: summary" [ "$(json "$scratch/q.json" '(d["ended_by"], d["time_us"], d["verdict"]["failed"][0])')" = "('quiet-for', None, 'frames')" ]

  # Without the shim: a set-up that fails on this host, whether it has CAN
  # or not, with a name of any bytes; options refused before --json and after.
  device=$(printf 'no\001such\377"can\\')
  "$program" -D "$device" --json "$scratch/s.json" >/dev/null 2>&1
  check "$name set-up: status" [ $? = 1 ]
  check "$name set-up: summary" [ "$(json "$scratch/s.json" '(d["run"], d["error"] in ("socket PF_CAN failed", "ioctl failed", "ioctl SIOCGIFINDEX failed"), d["verdict"]["result"], d["exit_status"])')" = "(None, True, 'error', 1)" ]
  check "$name set-up: the name's bytes" [ "$(json "$scratch/s.json" 'list(map(ord, d["interface"]))')" = "$(python3 -c 'import sys; print(list(sys.argv[1].encode("latin-1", "surrogateescape")))' "$device")" ]
  for words in "-s 99 --json $scratch/o.json" "--json $scratch/o.json -s 99"; do
    rm -f "$scratch/o.json"
    "$program" $words >/dev/null 2>&1
    check "$name $words: summary" [ "$(json "$scratch/o.json" '(d["error"], d["exit_status"])')" = "('options refused', 1)" ]
  done
done
echo "$checks checks, $failed failed"
exit "$failed"
