# SPDX-License-Identifier: MIT
# Sourced by vm/run.sh (uses its log, die, apt_update and ensure_tool).
# Debian's arm64 kernel ships no driver for QEMU's CTU CAN FD cards; this
# builds ctucanfd.ko and ctucanfd_pci.ko from the kernel source of the VM
# kernel's own package version, out of tree against that version's arm64
# headers, and keeps them under build/vm-cache/ctucanfd/PACKAGE_VERSION/, so
# that only the first run for a kernel version pays for it.

# ctucanfd_modules KERNEL_PACKAGE VERSION WORK_DIR: prints the directory that
# holds both modules, building them in WORK_DIR first when none is cached.
ctucanfd_modules() {
    local kpkg=$1 version=$2 work=$3 abi series out cc pkgs root src hdr p t0
    abi=${kpkg#linux-image-}
    abi=${abi%-arm64}
    series=$(printf '%s' "$abi" | cut -d. -f1,2)
    out="$cache/ctucanfd/${kpkg}_$version"
    if [ -f "$out/ctucanfd.ko" ] && [ -f "$out/ctucanfd_pci.ko" ]; then
        printf '%s\n' "$out"
        return 0
    fi

    # The compiler Debian built this kernel with, as its headers' Makefile names it.
    cc=aarch64-linux-gnu-gcc-12
    ensure_tool "$cc" gcc-12-aarch64-linux-gnu
    ensure_tool make make
    ensure_tool xz xz-utils
    t0=$(date +%s)
    log "building the CTU CAN FD modules for $kpkg $version"
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
                die "cannot fetch ${p%=*} $version, needed to build the CTU CAN FD modules for $kpkg"
        done
    }

    root="$work/root"
    src="$root/linux-source-$series/drivers/net/can/ctucanfd"
    hdr="$root/usr/src/linux-headers-$abi-arm64"
    # Only the driver's folder out of the whole source tarball, unpacked as it streams.
    dpkg-deb --fsys-tarfile "$work"/debs/linux-source-"$series"_*.deb |
        tar -xO "./usr/src/linux-source-$series.tar.xz" |
        tar -xJ -C "$root" "linux-source-$series/drivers/net/can/ctucanfd/"
    for p in "$work"/debs/linux-headers-*.deb "$work"/debs/linux-kbuild-*.deb; do
        dpkg-deb -x "$p" "$root"
    done
    rm -rf "$work/debs"
    [ -f "$src/ctucanfd_base.c" ] || die "linux-source-$series $version has no drivers/net/can/ctucanfd"
    # The arm64 headers include the common ones by their installed path.
    sed -i "s|/usr/src/|$root/usr/src/|" "$hdr/Makefile"

    make -C "$hdr" M="$src" CONFIG_CAN_CTUCANFD=m CONFIG_CAN_CTUCANFD_PCI=m \
        DEB_BUILD_ARCH="$(dpkg --print-architecture)" DEB_HOST_ARCH=arm64 \
        DEB_HOST_GNU_TYPE=aarch64-linux-gnu modules > "$work/make.log" 2>&1 ||
        { tail -n 20 "$work/make.log" >&2; die "building the CTU CAN FD modules failed"; }

    # Without their debug information the two take 46 kB instead of 1.3 MB
    # of the initramfs. The cache entry appears whole or not at all; a run
    # overlapping this one may have put an equal one there first.
    mkdir -p "$out.$$"
    for p in ctucanfd ctucanfd_pci; do
        aarch64-linux-gnu-strip --strip-debug -o "$out.$$/$p.ko" "$src/$p.ko"
    done
    rm -rf "$out" "$work"
    mv -T "$out.$$" "$out" 2>/dev/null || rm -rf "$out.$$"
    log "built the CTU CAN FD modules in $(( $(date +%s) - t0 )) s"
    printf '%s\n' "$out"
}
