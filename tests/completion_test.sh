#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Drives the bash completion the way bash does: sources it, looks up the
# function that `complete` registered for each program, sets COMP_WORDS,
# COMP_CWORD, COMP_LINE and COMP_POINT for a command line, and compares
# COMPREPLY with the words that line must be offered.
#
#   tests/completion_test.sh completion/can_tester.bash
set -u
# shellcheck source=/dev/null
. "$1"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A fake /sys/class/net with CAN interfaces (type 280) and others, and a
# file and a directory for -p.
for interface in can0:280 can1:280 vcan9:280 eth0:1 lo:772; do
  mkdir -p "$scratch/net/${interface%:*}"
  echo "${interface#*:}" >"$scratch/net/${interface%:*}/type"
done
mkdir "$scratch/net/notype" "$scratch/dir1"
_can_tester_net=$scratch/net
touch "$scratch/frames.txt"

# compopt works only while bash completes; record what the function asks of it.
compopt() { options+=${options:+ }$*; }

passed=0 failed=0
# expect LINE WORDS: completing at the end of LINE offers WORDS, in order,
# followed by the compopt options asked for, in brackets.
expect() {
  local line=$1 want=$2 function
  # Split as bash does with its default COMP_WORDBREAKS: "=" is a word.
  read -r -a COMP_WORDS <<<"${line//=/ = }"
  [[ $line == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line COMP_POINT=${#line}
  function=$(complete -p "${COMP_WORDS[0]}" 2>/dev/null |
             sed -n 's/.*-F \([^ ]*\) .*/\1/p')
  COMPREPLY=() options=
  if [[ -n $function ]]; then
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" \
      "${COMP_WORDS[COMP_CWORD - 1]}"
  fi
  local got="${COMPREPLY[*]}${options:+ ($options)}"
  if [[ $got == "$want" ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAIL "%s": offered "%s", want "%s"\n' "$line" "$got" "$want"
  fi
}

fd_lengths='0 1 2 3 4 5 6 7 8 12 16 20 24 32 48 64'
expect 'canfd_tester -F ' '0 1 2 3'
expect 'can_tester --frametype 2' '2'
expect 'canfd_tester -s ' "$fd_lengths (-o nosort)"
expect 'canfd_tester --size=' "$fd_lengths (-o nosort)"
expect 'can_tester -s ' '0 1 2 3 4 5 6 7 8 (-o nosort)'
expect 'can_tester --si 1' '1 (-o nosort)'
expect 'can_tester -wfs ' '0 1 2 3 4 5 6 7 8 (-o nosort)'
expect 'canfd_tester -S ' '0 1 2'
expect 'can_tester --sh=' '0 1 2'
expect 'canfd_tester --de' '--device'
expect 'canfd_tester --c' '--countonce --count'
expect 'canfd_tester --B' '--BRS'
expect 'can_tester --B' ''
expect 'can_tester -B' ''
expect 'canfd_tester -B' '-B'
expect 'canfd_tester -D ' 'can0 can1 vcan9'
expect 'can_tester --device=c' 'can0 can1'
expect 'can_tester ' 'can0 can1 vcan9'
expect 'canfd_tester v' 'vcan9'
expect 'can_tester can0 1 ' '0 1'
expect 'can_tester can0 1 1 1 ' ''
expect 'canfd_tester can0 1 1 1 ' '0 1'
expect 'canfd_tester -w ' ''
expect 'canfd_tester -C ' ''
expect "can_tester -S 2 -p $scratch/fr" "$scratch/frames.txt (-o filenames)"
expect "canfd_tester -p $scratch/d" "$scratch/dir1 (-o filenames)"
expect 'can_tester -D ' 'can0 can1 vcan9'
expect 'can_tester --j' '--json --journal'
expect "canfd_tester --json $scratch/fr" "$scratch/frames.txt (-o filenames)"
expect "can_tester --journal=$scratch/d" "$scratch/dir1 (-o filenames)"
expect 'can_tester --duration ' ''

echo "$passed passed, $failed failed"
[[ $failed -eq 0 && $passed -gt 0 ]]
