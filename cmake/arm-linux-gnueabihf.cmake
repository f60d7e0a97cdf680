# SPDX-License-Identifier: MIT
# Cross toolchain for 32-bit ARM Linux with hardware floating point (Debian's
# armhf), using Debian's cross compilers (packages g++-arm-linux-gnueabihf
# and, to run the results, qemu-user-static).
#
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
#
# Time and file offsets are 64 bits wide on this target too: CMakeLists.txt
# sets _TIME_BITS and _FILE_OFFSET_BITS for every build.

set(CMAKE_SYSTEM_PROCESSOR arm)
# GCC notes on this target that the passing of some arguments changed in
# GCC 7.1; nothing here links code built before that.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
set(CAN_TESTER_CROSS_TRIPLE arm-linux-gnueabihf)
set(CAN_TESTER_QEMU qemu-arm-static)
include(${CMAKE_CURRENT_LIST_DIR}/CrossLinux.cmake)
