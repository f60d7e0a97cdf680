# SPDX-License-Identifier: MIT
# Bash completion for canfd_tester and can_tester: options and long options,
# the values of -F, -s and -S, file names for -p, and CAN interface names for
# -D and for the device word of the positional form. Needs bash 4.4 or later
# (compopt -o nosort).

# Where interface names come from; the completion test points it elsewhere.
_can_tester_net=/sys/class/net

# Sets COMPREPLY to the words of the list $1 that begin with $2.
_can_tester_offer() {
  mapfile -t COMPREPLY < <(compgen -W "$1" -- "$2")
}

# Sets COMPREPLY to the names of the CAN interfaces (ARPHRD_CAN, type 280)
# that begin with $1.
_can_tester_interfaces() {
  local path type names=
  for path in "$_can_tester_net"/*; do
    read -r type 2>/dev/null <"$path/type" || continue
    [[ $type == 280 ]] && names+=" ${path##*/}"
  done
  _can_tester_offer "$names" "$1"
}

_can_tester() {
  local program=${1##*/} cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # bash splits "--size=8" into "--size" "=" "8".
  if [[ $cur == = ]]; then
    cur=
  elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi

  local flags=flowg lengths='0 1 2 3 4 5 6 7 8' brs= words=4
  if [[ $program == canfd_tester ]]; then
    flags=floBwg lengths+=' 12 16 20 24 32 48 64' brs='-B --BRS' words=5
  fi
  # The option whose value is being typed: "-s", "--si" or "-wfs" all name -s.
  local option=$prev
  [[ $prev =~ ^-[$flags]*([A-Za-z])$ ]] && option=-${BASH_REMATCH[1]}

  COMPREPLY=()
  case $option in
    -D | --de*) _can_tester_interfaces "$cur"; return ;;
    -F | --fr*) _can_tester_offer '0 1 2 3' "$cur"; return ;;
    # The lengths in numeric order, not sorted as text (0 1 12 16 2 ...).
    -s | --si*) compopt -o nosort; _can_tester_offer "$lengths" "$cur"; return ;;
    -S | --sh*) _can_tester_offer '0 1 2' "$cur"; return ;;
    # As file names: a directory gets a slash and no blank, to go on into it.
    -p | --p* | --j*)
      compopt -o filenames
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return ;;
    # Numbers of the user's choice: nothing to offer.
    -[tcCid] | --t* | --cou* | --i* | --da* | --n* | --q* | --du*) return ;;
  esac

  if [[ $cur == -* ]]; then
    _can_tester_offer "-D -f -l -o -w -F -s -t -c -C -i -d -g -S -p
      --device --filter --loop --rcvown --write --frametype --size --time
      --countonce --count --id --data --grow --show --path --mark --number
      --quiet-for --duration --verdict --json --journal --explain $brs" "$cur"
  elif ((COMP_CWORD == 1)); then
    # The positional form's first word is the interface.
    _can_tester_interfaces "$cur"
  elif [[ ${COMP_WORDS[1]} != -* ]] && ((COMP_CWORD <= words)); then
    # The positional form's flags.
    _can_tester_offer '0 1' "$cur"
  fi
}

complete -F _can_tester canfd_tester can_tester
