# SPDX-License-Identifier: MIT
# Sourced by init on the virt machine, after the vcan links:
#   sja0, sja1      two emulated SJA1000 boards (kvaser_pci) on one QEMU CAN
#                   bus, 500 kbit/s, MTU 16: a classic CAN link through a
#                   real controller driver
#   vxcan0, vxcan1  a vxcan pair, MTU 72: a CAN FD link between two interfaces
#   fd0, fd1        the two CTU CAN FD controllers of an emulated ctucan_pci
#                   card on a QEMU CAN bus of their own, 1 Mbit/s, data phase
#                   5 Mbit/s, fd on, MTU 72: a CAN FD link through a real
#                   controller driver

# The controllers' PCI order gives them stable names.
for m in sja1000 kvaser_pci ctucanfd ctucanfd_pci vxcan sch_tbf sch_netem; do
    insmod /lib/modules/$m.ko || setup_failed "insmod $m"
done

name_controllers pci kvaser_pci sja
for dev in sja0 sja1; do
    ip link set "$dev" type can bitrate 500000 || setup_failed "$dev bitrate"
    ip link set "$dev" up || setup_failed "$dev up"
done
# A CTU CAN FD controller stays classic (MTU 16) until "fd on".
name_controllers pci ctucanfd_pci fd
for dev in fd0 fd1; do
    ip link set "$dev" type can bitrate 1000000 dbitrate 5000000 fd on || setup_failed "$dev bit timing"
    [ "$(cat /sys/class/net/$dev/mtu)" = 72 ] || setup_failed "$dev MTU $(cat /sys/class/net/$dev/mtu) after fd on, not 72"
    ip link set "$dev" up || setup_failed "$dev up"
done
add_vxcan vxcan0 vxcan1 || setup_failed "add vxcan0/vxcan1"
