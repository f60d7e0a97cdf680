# SPDX-License-Identifier: MIT
# Debian package of the two programs, made by `cpack` in a build directory:
#
#   cmake -S . -B build && cmake --build build && (cd build && cpack)
#
# The package's architecture follows the target (CMAKE_SYSTEM_PROCESSOR), so a
# cross build with cmake/aarch64-linux-gnu.cmake gives an arm64 package.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME can-tester)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "can-tester developers")
set(CPACK_PACKAGE_CONTACT "can-tester developers <can-tester@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "CAN and CAN FD bus test tools (canfd_tester, can_tester)")
set(CPACK_PACKAGE_DESCRIPTION
    "Send and receive test frames on a SocketCAN interface: canfd_tester
for CAN FD and classic frames, can_tester for classic CAN frames.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_PACKAGE_NAME ${CPACK_PACKAGE_NAME})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# can-tester_1.0.0_arm64.deb and the like.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

# dpkg's name for the target's architecture.
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" _can_tester_cpu)
if(_can_tester_cpu MATCHES "^(aarch64|arm64)$")
  set(_can_tester_deb_arch arm64)
elseif(_can_tester_cpu MATCHES "^(x86_64|amd64)$")
  set(_can_tester_deb_arch amd64)
elseif(_can_tester_cpu MATCHES "^(i[3-6]86|x86)$")
  set(_can_tester_deb_arch i386)
elseif(_can_tester_cpu MATCHES "^arm")
  set(_can_tester_deb_arch armhf)
elseif(_can_tester_cpu MATCHES "^riscv64$")
  set(_can_tester_deb_arch riscv64)
elseif(NOT CMAKE_CROSSCOMPILING)
  execute_process(COMMAND dpkg --print-architecture
                  OUTPUT_VARIABLE _can_tester_deb_arch
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT _can_tester_deb_arch)
  message(FATAL_ERROR "No Debian architecture known for target processor "
                      "'${CMAKE_SYSTEM_PROCESSOR}'")
endif()
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${_can_tester_deb_arch})

# Static programs need no libraries; dpkg-shlibdeps reads only the host's
# binaries, so cross builds never use it. A dynamic native build gets its
# Depends from it when dpkg-dev is there.
find_program(CAN_TESTER_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(CAN_TESTER_STATIC OR CMAKE_CROSSCOMPILING OR NOT CAN_TESTER_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
# A dynamic build that dpkg-shlibdeps cannot read still needs its libraries:
# these are what it finds for the native build (GLIBC_2.34, CXXABI_1.3.9,
# GCC_3.0), and the cross build asks for the same symbol versions.
if(NOT CAN_TESTER_STATIC AND NOT CPACK_DEBIAN_PACKAGE_SHLIBDEPS
   AND NOT CPACK_DEBIAN_PACKAGE_DEPENDS)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 5)")
endif()

# Ship stripped programs unless the build keeps debugging information.
if(CMAKE_BUILD_TYPE MATCHES "^(Debug|RelWithDebInfo)$")
  set(CPACK_STRIP_FILES OFF)
else()
  set(CPACK_STRIP_FILES ON)
endif()

include(CPack)
