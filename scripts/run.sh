#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds both programs and shows a short send and receive run. On a machine
# with a CAN interface (CAN_DEVICE, default can0) it runs there; elsewhere,
# and always on a kernel without CAN, it runs in a virtual machine with
# virtual CAN buses.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/packages.sh
install_packages cmake make g++

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCAN_TESTER_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)"

device=${CAN_DEVICE:-can0}
# 280 is ARPHRD_CAN.
if [ "$(cat "/sys/class/net/$device/type" 2>/dev/null)" = 280 ]; then
  echo "--- receive run on $device, showing frames"
  build/canfd_tester -D "$device" -S 1 &
  receiver=$!
  sleep 1
  echo "--- send run: 5 CAN FD frames with loopback, so the receiver sees them"
  build/canfd_tester -D "$device" -w -l -F 2 -s 12 -i 123 -d AB -C 5 || true
  sleep 1
  kill -INT "$receiver"
  wait "$receiver"
else
  echo "--- $device is no CAN interface here: running in a virtual machine"
  scripts/cross-static.sh arm64 >/dev/null
  vm/run.sh demo build-aarch64-static
fi
