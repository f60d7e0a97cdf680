#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Holds the bash completion and the man pages to the option table: for each
# program, completing "-" offers exactly the table's letters and long names
# and "--" its long names, and the program's man page names each option with
# its long name, as ".BR \-X ", " \-\-name" (".B \-\-name" or ".BR \-\-name"
# for an option without a letter).
#
#   tests/option_table_test.sh OPTION_TABLE_DUMP COMPLETION MAN_DIR
set -u
dump=$1 man=$3
# shellcheck source=/dev/null
. "$2"
compopt() { :; }

failed=0
# offered PROGRAM WORD: what completing WORD after PROGRAM offers, one a line,
# sorted.
offered() {
  COMP_WORDS=("$1" "$2") COMP_CWORD=1 COMPREPLY=()
  _can_tester "$1" "$2" "$1"
  printf '%s\n' "${COMPREPLY[@]}" | sort
}
fail() { printf 'FAIL %s\n' "$*"; failed=$((failed + 1)); }

for program in canfd_tester can_tester; do
  table=$("$dump" "$program")
  [[ -n $table ]] || fail "$program: the table gives no option"
  [[ $(offered "$program" -) == "$(tr ' ' '\n' <<<"$table" | sort)" ]] ||
    fail "$program: completing - offers $(offered "$program" - | tr '\n' ' ')"
  [[ $(offered "$program" --) == "$(grep -o -- '--.*' <<<"$table" | sort)" ]] ||
    fail "$program: completing -- offers $(offered "$program" -- | tr '\n' ' ')"
  while read -r letter name; do
    if [[ -z $name ]]; then
      name=${letter//-/\\-}
      grep -qE "^\.BR? ${name//\\/\\\\}( |\$)" "$man/$program.1" ||
        fail "$program.1 does not name $letter"
      continue
    fi
    named=".BR ${letter//-/\\-} \", \" ${name//-/\\-}"
    grep -qxF "$named" "$man/$program.1" ||
      grep -qF "$named \"" "$man/$program.1" ||
      fail "$program.1 does not name $letter $name"
  done <<<"$table"
done
[[ $failed -eq 0 ]] && echo "the completion and the man pages follow the table"
[[ $failed -eq 0 ]]
