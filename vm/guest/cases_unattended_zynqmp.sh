# SPDX-License-Identifier: MIT
# Cases: the two nodes of the ZynqMP's link xcan0 -> xcan1 tested as a
# script tests them, clean and lossy (unattended_case). Data frames only:
# remote frames abort the model (see cases_zynqmp.sh).
CASES_MACHINE=zynqmp

t_unattended_xcan() {
    unattended_case $CL xcan0 xcan1 2000 -t 200
}
