# SPDX-License-Identifier: MIT
# Sourced by init on the ZynqMP board model (xlnx-zcu102), after the vcan
# links:
#   xcan0, xcan1    the SoC's two Xilinx CAN controllers (CAN0 at ff060000,
#                   CAN1 at ff070000 in our device tree) on one QEMU CAN bus,
#                   driven by xilinx_can, 500 kbit/s from their 24 MHz
#                   clock, MTU 16: a classic CAN link through a platform
#                   driver

for m in xilinx_can sch_tbf sch_netem; do
    insmod /lib/modules/$m.ko || setup_failed "insmod $m"
done

name_controllers platform xilinx_can xcan
logged=$(dmesg | wc -l)
for dev in xcan0 xcan1; do
    ip link set "$dev" type can bitrate 500000 || setup_failed "$dev bitrate"
    ip link set "$dev" up || setup_failed "$dev up"
done

# The first "up" makes the driver warn once, in its interrupt handler
# (WARN_ON_ONCE(frames_in_fifo == 0) of its transmit part): the model
# signals a transmission done with nothing sent. The kernel log check
# (kernel_log_case) tolerates that warning's line, and no other warning.
KERNEL_WARNING_KNOWN=$(dmesg | sed -n "$((logged + 1)),\$p" | grep -m 1 'WARNING: .* xcan_interrupt+')
export KERNEL_WARNING_KNOWN
