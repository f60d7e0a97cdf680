# SPDX-License-Identifier: MIT
# End-to-end cases for canfd_tester and can_tester, run inside the VM by
# busybox sh. can0 is a vcan with MTU 72 (CAN FD), can1 a vcan with MTU 16
# (classic CAN). Frames are checked with candump/cangen/cansend from can-utils.
#
# The cases are the functions t_NAME of the topic files cases_TOPIC.sh
# (written `t_NAME() {` or `t_NAME () {`), run in their order there; vmcases
# (VM_CASES on the host) picks some by NAME.
# Each runs in a subshell between its start marker and its teardown.
# A topic file's cases need the virt machine unless the file sets
# CASES_MACHINE to another; on any other machine they are skipped, by name.
# Last comes the check of the kernel's log (kernel_log_case).
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
# faults comes last: its last case leaves sja1 counting every frame as an
# overrun until the VM reboots.
TOPICS="options send receive positional nodes controllers sequence marked settings zynqmp unattended unattended_zynqmp faults"

all=""
machines=""    # "CASE:MACHINE" for each case
for topic in $TOPICS; do
    CASES_MACHINE=virt
    . "/guest/cases_$topic.sh"
    names=$(sed -n 's/^t_\([A-Za-z0-9_]*\)[[:space:]]*()[[:space:]]*{.*/\1/p' "/guest/cases_$topic.sh")
    all="$all $names"
    for c in $names; do machines="$machines $c:$CASES_MACHINE"; done
done
links=$(ls /sys/class/net)

: > "$CHECKS"
suite_start=$(date +%s)
for c in $(echo "${vmcases:-$all}" | tr ',' ' '); do
    case " $(echo $all) " in
        *" $c "*)
            need=${machines#* $c:}
            need=${need%% *}
            if [ "$need" = "${vmmachine:-virt}" ]; then run_case "$c" "$links"; else skip_case "$c" "$need"; fi ;;
        *) case_start "$c"; problem "no such case"; case_end ;;
    esac
done
kernel_log_case
echo "guest: cases took $(( $(date +%s) - suite_start )) s, $(wc -l < "$CHECKS") checks"
summary
