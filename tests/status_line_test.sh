#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The status line in a real terminal: each program makes a paced send run in
# tmux, its socket calls taken over by scripts/loop-cost-shim.c. The line must
# appear and change; after Ctrl-C the screen must hold, digits aside, what the
# same run shows with standard error thrown away; into a file, standard error
# must stay empty.
#
#   tests/status_line_test.sh SHIM_SOURCE PROGRAM...
set -euo pipefail
scratch=$(mktemp -d)
server=
trap '[ -z "$server" ] || tmux -L "$server" kill-server 2>/dev/null; rm -rf "$scratch"' EXIT
cc -O2 -shared -fPIC -o "$scratch/shim.so" "$1" && shift
failed=0; fail() { echo "FAIL $*"; failed=1; }
screen() { tmux -L "$server" capture-pane -p -t run | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}'; }

# shots COMMAND ERE...: its screen once a line matches each ERE, a screen
# other than the one before, then after Ctrl-C once it has ended (each wait
# 10 s at most); each shot followed by "--".
shots() {
  local shown="" now ere
  server=status-line-$$-$RANDOM
  tmux -L "$server" new-session -d -s run -x 100 -y 12 "$1; sleep 60"
  for ere in "${@:2}" '^speed:'; do
    [ "$ere" != '^speed:' ] || tmux -L "$server" send-keys -t run C-c
    for _ in $(seq 100); do now=$(screen); grep -Eq "$ere" <<<"$now" && [ "$now" != "$shown" ] && break; sleep 0.1; done
    shown=$now; printf '%s\n--\n' "$shown"
  done
  tmux -L "$server" kill-server
}
shot() { awk -v n="$1" '/^--$/ { s++; next } s == n'; }
digitless() { tr -s 0-9 N; }

for program in "$@"; do
  run="LD_PRELOAD=$scratch/shim.so $program -D x -w -t 1000"
  timeout -s INT 2.5 env LD_PRELOAD="$scratch/shim.so" "$program" -D x -w -t 1000 >"$scratch/out" 2>"$scratch/err" || true
  grep -q '^send frames:[1-9]' "$scratch/out" || fail "$program: no run"
  [ ! -s "$scratch/err" ] || fail "$program: into a file: $(cat -v "$scratch/err")"
  line='^sent:[0-9]+ [0-9]+ f/s refused:0$'
  shown=$(shots "$run" "$line" "$line")
  plain=$(shots "$run 2>/dev/null" '^Testing\.\.\.$' | shot 1)
  for n in 0 1; do
    shot $n <<<"$shown" | grep -Eq "$line" || fail "$program: no line: $shown"
  done
  [ "$(shot 0 <<<"$shown")" != "$(shot 1 <<<"$shown")" ] || fail "$program: no change: $shown"
  grep -q '^send frames:[1-9]' <<<"$plain" || fail "$program: no totals: $plain"
  [ "$(shot 2 <<<"$shown" | digitless)" = "$(digitless <<<"$plain")" ] ||
    fail "$program: after Ctrl-C: $shown"$'\n'"without the line: $plain"
  echo "$program after Ctrl-C:"; shot 2 <<<"$shown"
done
exit "$failed"
