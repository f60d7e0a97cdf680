# SPDX-License-Identifier: MIT
# Sourced by the scripts: cross_target ARCH sets, for a Debian architecture
# the project cross-builds for (arm64 or armhf), these variables:
#   triple     prefix of Debian's cross compilers (package g++-$triple)
#   toolchain  the CMake toolchain file, relative to the repository root
#   qemu       the qemu-user program (package qemu-user-static) that runs the
#              target's programs; dynamic ones with -L /usr/$triple
#   machine    what `readelf -h` says after "Machine:" for the target
#   build      stem of the build directories (build-aarch64, build-armhf)

cross_target() {
  case $1 in
    arm64) triple=aarch64-linux-gnu qemu=qemu-aarch64-static machine=AArch64
           build=build-aarch64 ;;
    armhf) triple=arm-linux-gnueabihf qemu=qemu-arm-static machine=ARM
           build=build-armhf ;;
    *) echo "no cross build for '$1' (arm64 or armhf)" >&2; return 1 ;;
  esac
  toolchain=cmake/$triple.cmake
}

# cross_tools ARCH [PACKAGE...]: cross_target ARCH, then installs CMake, the
# target's cross compiler and the packages named (install_packages, from
# scripts/packages.sh).
cross_tools() {
  cross_target "$1" || return
  shift
  install_packages cmake make "g++-$triple" "binutils-$triple" "$@"
}
