# SPDX-License-Identifier: MIT
# Cross toolchain for 64-bit ARM Linux, using Debian's cross compilers
# (packages g++-aarch64-linux-gnu and, to run the results, qemu-user-static).
#
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake

set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CAN_TESTER_CROSS_TRIPLE aarch64-linux-gnu)
set(CAN_TESTER_QEMU qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/CrossLinux.cmake)
