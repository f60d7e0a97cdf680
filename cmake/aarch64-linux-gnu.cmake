# SPDX-License-Identifier: MIT
# Cross toolchain for 64-bit ARM Linux, using Debian's cross compilers
# (packages g++-aarch64-linux-gnu and, to run the results, qemu-user-static).
#
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#
# The target's libraries and headers live under the sysroot below. When
# qemu-aarch64-static is found, ctest and gtest_discover_tests run the test
# programs through it (the host has no binfmt_misc registration for aarch64).

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CAN_TESTER_CROSS_TRIPLE aarch64-linux-gnu)
set(CAN_TESTER_CROSS_ROOT /usr/${CAN_TESTER_CROSS_TRIPLE})

set(CMAKE_C_COMPILER ${CAN_TESTER_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${CAN_TESTER_CROSS_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH ${CAN_TESTER_CROSS_ROOT})
# Programs (code generators and the like) come from the host; libraries,
# headers and packages only from the target's root.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The toolchain file is read again for every try_compile project; keep the
# emulator look-up quiet and cached.
find_program(CAN_TESTER_QEMU_AARCH64 qemu-aarch64-static)
if(CAN_TESTER_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CAN_TESTER_QEMU_AARCH64};-L;${CAN_TESTER_CROSS_ROOT}"
      CACHE STRING "Runs target programs on the build host")
endif()
