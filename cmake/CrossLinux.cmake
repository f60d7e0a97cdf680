# SPDX-License-Identifier: MIT
# The part the cross toolchain files share. Each sets CMAKE_SYSTEM_PROCESSOR,
# CAN_TESTER_CROSS_TRIPLE (the prefix of Debian's cross compilers) and
# CAN_TESTER_QEMU (the qemu-user program that runs the target's binaries),
# then includes this file.
#
# The target's libraries and headers live under /usr/TRIPLE. When the qemu-user
# program is found, ctest and gtest_discover_tests run the test programs
# through it (the host has no binfmt_misc registration for the target).

set(CMAKE_SYSTEM_NAME Linux)

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
find_program(CAN_TESTER_QEMU_PROGRAM ${CAN_TESTER_QEMU})
if(CAN_TESTER_QEMU_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CAN_TESTER_QEMU_PROGRAM};-L;${CAN_TESTER_CROSS_ROOT}"
      CACHE STRING "Runs target programs on the build host")
endif()
