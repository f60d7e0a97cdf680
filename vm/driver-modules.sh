# SPDX-License-Identifier: MIT
# Sourced by vm/run.sh (uses its cache, log, die, apt_update and ensure_tool).
# Debian's arm64 kernel ships no driver for QEMU's CTU CAN FD cards nor for
# the ZynqMP's Xilinx CAN controllers; this builds them from the kernel
# source of the VM kernel's own package version, out of tree against that
# version's arm64 headers, and keeps them under
# build/vm-cache/NAME/PACKAGE_VERSION/, so that only the first run for a
# kernel version pays for it.

# ctucanfd_modules KERNEL_PACKAGE VERSION WORK_DIR: prints the directory that
# holds ctucanfd.ko and ctucanfd_pci.ko.
ctucanfd_modules() {
    driver_modules ctucanfd "CTU CAN FD" drivers/net/can/ctucanfd \
        "CONFIG_CAN_CTUCANFD=m CONFIG_CAN_CTUCANFD_PCI=m" "ctucanfd ctucanfd_pci" "$@"
}

# xilinx_can_modules KERNEL_PACKAGE VERSION WORK_DIR: prints the directory
# that holds xilinx_can.ko.
xilinx_can_modules() {
    driver_modules xilinx_can "Xilinx CAN" drivers/net/can/xilinx_can.c \
        CONFIG_CAN_XILINXCAN=m xilinx_can "$@"
}

# driver_modules NAME TITLE SOURCE CONFIGS MODULES KERNEL_PACKAGE VERSION
# WORK_DIR: prints the directory that holds the MODULES (names without .ko),
# building them in WORK_DIR first when none is cached. SOURCE is the
# driver's folder in the kernel tree, built with its own Makefile, or a
# single file, built with the lines of its folder's Makefile that name the
# CONFIGS (CONFIG_X=m words, given to make).
driver_modules() {
    local name=$1 title=$2 source=$3 configs=$4 modules=$5 kpkg=$6 version=$7 work=$8
    local abi series out cc pkgs root src hdr dir p t0 config
    abi=${kpkg#linux-image-}
    abi=${abi%-arm64}
    series=$(printf '%s' "$abi" | cut -d. -f1,2)
    out="$cache/$name/${kpkg}_$version"
    for p in $modules; do [ -f "$out/$p.ko" ] || break; done
    if [ -f "$out/$p.ko" ]; then
        printf '%s\n' "$out"
        return 0
    fi

    # The compiler Debian built this kernel with, as its headers' Makefile names it.
    cc=aarch64-linux-gnu-gcc-12
    ensure_tool "$cc" gcc-12-aarch64-linux-gnu
    ensure_tool make make
    ensure_tool xz xz-utils
    t0=$(date +%s)
    log "building the $title modules for $kpkg $version"
    mkdir -p "$work/debs" "$work/root"
    # The host's build tools (linux-kbuild) are of the host's architecture.
    # One download for all four; after a failure, one at a time, to name the
    # package that cannot be had.
    pkgs="linux-source-$series=$version linux-headers-$abi-common=$version
          linux-headers-$abi-arm64:arm64=$version linux-kbuild-$series=$version"
    (cd "$work/debs" && apt-get download -q -o APT::Sandbox::User=root -o Acquire::Retries=3 $pkgs >/dev/null 2>&1) || {
        apt_update
        for p in $pkgs; do
            (cd "$work/debs" && apt-get download -q -o APT::Sandbox::User=root -o Acquire::Retries=3 "$p" >/dev/null) ||
                die "cannot fetch ${p%=*} $version, needed to build the $title modules for $kpkg"
        done
    }

    root="$work/root"
    src="$root/linux-source-$series/$source"
    dir=$src
    case "$source" in *.c) dir=${src%/*} ;; esac
    hdr="$root/usr/src/linux-headers-$abi-arm64"
    # Only the driver's folder, or its file and its folder's Makefile, out of
    # the whole source tarball, unpacked as it streams.
    set -- "linux-source-$series/$source"
    [ "$dir" = "$src" ] || set -- "$@" "linux-source-$series/${source%/*}/Makefile"
    dpkg-deb --fsys-tarfile "$work"/debs/linux-source-"$series"_*.deb |
        tar -xO "./usr/src/linux-source-$series.tar.xz" |
        tar -xJ -C "$root" "$@"
    for p in "$work"/debs/linux-headers-*.deb "$work"/debs/linux-kbuild-*.deb; do
        dpkg-deb -x "$p" "$root"
    done
    rm -rf "$work/debs"
    [ -e "$src" ] || die "linux-source-$series $version has no $source"
    if [ "$dir" != "$src" ]; then
        # A Kbuild file takes the Makefile's place: only this driver's lines.
        for config in $configs; do
            grep "^obj-\$(${config%%=*})" "$dir/Makefile"
        done > "$dir/Kbuild" || die "the Makefile beside $source names none of $configs"
    fi
    # The arm64 headers include the common ones by their installed path.
    sed -i "s|/usr/src/|$root/usr/src/|" "$hdr/Makefile"

    make -C "$hdr" M="$dir" $configs \
        DEB_BUILD_ARCH="$(dpkg --print-architecture)" DEB_HOST_ARCH=arm64 \
        DEB_HOST_GNU_TYPE=aarch64-linux-gnu modules > "$work/make.log" 2>&1 ||
        { tail -n 20 "$work/make.log" >&2; die "building the $title modules failed"; }

    # Without their debug information the modules take tens of kB instead
    # of a megabyte or more of the initramfs. The cache entry appears whole
    # or not at all; a run overlapping this one may have put an equal one
    # there first.
    mkdir -p "$out.$$"
    for p in $modules; do
        aarch64-linux-gnu-strip --strip-debug -o "$out.$$/$p.ko" "$dir/$p.ko"
    done
    rm -rf "$out" "$work"
    mv -T "$out.$$" "$out" 2>/dev/null || rm -rf "$out.$$"
    log "built the $title modules in $(( $(date +%s) - t0 )) s"
    printf '%s\n' "$out"
}
