# SPDX-License-Identifier: MIT
# Debian package of the two programs, made by `cpack` in a build directory:
#
#   cmake -S . -B build && cmake --build build && (cd build && cpack)
#
# scripts/packages-all.sh makes the packages for amd64, arm64 and armhf. The
# package's architecture follows the target (CMAKE_SYSTEM_PROCESSOR), so a
# cross build with a toolchain file from cmake/ gives that architecture's
# package. Packages hold dynamically linked programs, as Debian wants them;
# the static programs are for boards without a package manager.

set(CAN_TESTER_MAINTAINER "can-tester authors <can-tester@example.org>"
    CACHE STRING "Maintainer of the Debian package: name <address>")

# The documents Debian wants beside the programs: the license in its
# machine-readable copyright format, made from LICENSE, and the changelog.
set(_can_tester_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/can-tester)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE _can_tester_license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${_can_tester_license}")
set(_can_tester_holders "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]+\n+" ""
       _can_tester_terms "${_can_tester_license}")
string(STRIP "${_can_tester_terms}" _can_tester_terms)
# License text in a field: each line indented, empty lines as " .".
string(REPLACE "\n\n" "\n.\n" _can_tester_terms "${_can_tester_terms}")
string(REPLACE "\n" "\n " _can_tester_terms "${_can_tester_terms}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/copyright CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: can-tester

Files: *
Copyright: ${_can_tester_holders}
License: MIT
 ${_can_tester_terms}
")
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${_can_tester_docdir})

# The newest changelog entry must name the version being packaged.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog _can_tester_entry
     LIMIT_COUNT 1)
if(NOT _can_tester_entry MATCHES "^can-tester \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog has no entry for ${PROJECT_VERSION} "
                      "at its top")
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog
               ${PROJECT_BINARY_DIR}/changelog COPYONLY)
can_tester_gzip(${PROJECT_BINARY_DIR}/changelog)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${_can_tester_docdir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME can-tester)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "can-tester authors")
set(CPACK_PACKAGE_CONTACT ${CAN_TESTER_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "CAN and CAN FD bus test tools (canfd_tester, can_tester)")
set(CPACK_PACKAGE_DESCRIPTION
    "Two programs that prove a SocketCAN interface sends and receives at full
rate without losing frames: canfd_tester exchanges CAN FD frames (payload up
to 64 bytes, optional bit-rate switch), can_tester classic CAN frames. Each
run either sends frames of one kind, identifier, length and fill byte, or
receives and counts them, showing each one or writing it to a file; it ends
with the number of frames, the time taken and the rate.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_PACKAGE_NAME ${CPACK_PACKAGE_NAME})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CAN_TESTER_MAINTAINER})
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
# GCC_3.0); the cross builds ask for the same symbol versions, but for
# GCC_3.5 of libgcc_s on 32-bit ARM (its unwinder).
if(NOT CAN_TESTER_STATIC AND NOT CPACK_DEBIAN_PACKAGE_SHLIBDEPS
   AND NOT CPACK_DEBIAN_PACKAGE_DEPENDS)
  set(_can_tester_libgcc 3.0)
  if(_can_tester_deb_arch STREQUAL armhf)
    set(_can_tester_libgcc 3.5)
  endif()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6 (>= 2.34), libgcc-s1 (>= ${_can_tester_libgcc}), libstdc++6 (>= 5)")
endif()

# Ship stripped programs unless the build keeps debugging information.
if(CMAKE_BUILD_TYPE MATCHES "^(Debug|RelWithDebInfo)$")
  set(CPACK_STRIP_FILES OFF)
else()
  set(CPACK_STRIP_FILES ON)
endif()

include(CPack)
