#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs canfd_tester and can_tester end to end inside a small arm64 Linux VM
# (qemu-system-aarch64) whose kernel has SocketCAN and the vcan driver: the
# generic virt machine with its PCI controller cards, or the ZynqMP board
# model with the SoC's own two CAN controllers.
#
# Usage: vm/run.sh MODE [BIN_DIR]
#   MODE     test  - the end-to-end cases of guest/tests.sh; exit 0 only if
#                    every case passed (closing line "N passed, N failed,
#                    N skipped"); on both machines, one after the other
#            bench - guest/bench.sh: send and receive rates against can-utils
#            demo  - guest/demo.sh: a short send and receive run to look at
#            soak  - guest/soak.sh: 200,000 frames from one interface to
#                    another per link, totals, file lines and memory
#                    checked; on both machines, one after the other
#   BIN_DIR  directory holding static aarch64 builds of canfd_tester and
#            can_tester (searched up to three levels deep); default: $CAN_TESTER_BIN_DIR,
#            else build-aarch64-static/ at the top of the repository.
#
# Environment:
#   VM_MACHINE     virt (default for bench and demo) or zynqmp (the
#                  xlnx-zcu102 board model): run on that machine only
#   VM_TIMEOUT     seconds a VM may run (default 600; soak 900, bench 1500)
#   VM_SOAK_N      soak mode: frames per link (default 200000)
#   VM_CASES       test mode: space-separated case names to run (default all)
#   VM_BENCH_ROUNDS, VM_BENCH_N, VM_BENCH_RECV_N  bench mode: rounds of each
#                  comparison (default 5), frames per send run (16000) and per
#                  receive run (4000)
#   VM_BENCH_BASELINE=DIR  bench mode: static aarch64 programs of another
#                  build, run as extra contenders in the send rows
#   VM_BENCH_ROWS  bench mode: all (default), send or receive rows only
#   VM_REFRESH=1   re-resolve and re-download the Debian arm64 packages
#   VM_GUEST_SCRIPT=FILE  debugging aid: run this busybox sh script in the
#                  guest instead of the mode's own (mode still picks the verdict)
#
# Everything fetched or built goes to build/vm-cache/ at the top of the
# repository. Missing host tools are installed with apt-get (needs root).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
cache="$top/build/vm-cache"

mode=${1:-}
bindir=${2:-${CAN_TESTER_BIN_DIR:-$top/build-aarch64-static}}
vm_timeout=${VM_TIMEOUT:-600}
case "$mode" in soak) vm_timeout=${VM_TIMEOUT:-900} ;; bench) vm_timeout=${VM_TIMEOUT:-1500} ;; esac

usage() { sed -n '3,38s/^# \{0,1\}//p' "$0" >&2; exit 2; }
log() { printf 'run.sh: %s\n' "$*" >&2; }
die() { log "error: $*"; exit 1; }

case "$mode" in
    test|bench|demo|soak) ;;
    -h|--help|"") usage ;;
    *) log "unknown mode '$mode'"; usage ;;
esac
guest_script="$here/guest/$mode.sh"
[ "$mode" = test ] && guest_script="$here/guest/tests.sh"
[ -n "${VM_GUEST_SCRIPT:-}" ] && guest_script=$VM_GUEST_SCRIPT
[ -f "$guest_script" ] || die "missing $guest_script"

# Each machine is a VM run of its own, with its own verdict.
machine=${VM_MACHINE:-}
if [ -z "$machine" ] && { [ "$mode" = test ] || [ "$mode" = soak ]; }; then
    failed_on=""
    for machine in virt zynqmp; do
        VM_MACHINE=$machine "$here/run.sh" "$mode" "$bindir" || failed_on="$failed_on $machine"
    done
    [ -z "$failed_on" ] || die "the run failed on:$failed_on"
    exit 0
fi
machine=${machine:-virt}
case "$machine" in
    virt|zynqmp) ;;
    *) die "VM_MACHINE must be virt or zynqmp, not '$machine'" ;;
esac

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"
    elif command -v sudo >/dev/null 2>&1; then sudo "$@"
    else die "need root to run: $*"
    fi
}

apt_updated=0
apt_update() {
    [ "$apt_updated" = 1 ] && return 0
    log "apt-get update"
    as_root apt-get -o DPkg::Lock::Timeout=600 -o Acquire::Retries=3 update -qq >/dev/null
    apt_updated=1
}

# ensure_tool COMMAND PACKAGE...: install PACKAGE(s) when COMMAND is missing.
ensure_tool() {
    local cmd=$1; shift
    command -v "$cmd" >/dev/null 2>&1 && return 0
    apt_update
    log "installing $*"
    as_root env DEBIAN_FRONTEND=noninteractive \
        apt-get -o DPkg::Lock::Timeout=600 -o Acquire::Retries=3 \
        install -y -qq --no-install-recommends "$@" >/dev/null
    command -v "$cmd" >/dev/null 2>&1 || die "$cmd still missing after installing $*"
}

ensure_tool qemu-system-aarch64 qemu-system-arm
ensure_tool cpio cpio
ensure_tool gzip gzip
ensure_tool readelf binutils
[ "$machine" = zynqmp ] && ensure_tool dtc device-tree-compiler
if [ "$mode" = bench ]; then
    ensure_tool aarch64-linux-gnu-gcc gcc-aarch64-linux-gnu libc6-dev-arm64-cross
fi

# ---------------------------------------------------------------- programs
# find_prog NAME [DIR]: the program NAME under DIR (default BIN_DIR).
find_prog() {
    local name=$1 dir=${2:-$bindir} f
    [ -d "$dir" ] || return 1
    # The directory itself first (a build tree), else the shallowest match.
    [ -f "$dir/$name" ] && [ -x "$dir/$name" ] && { printf '%s\n' "$dir/$name"; return 0; }
    f=$(find "$dir" -maxdepth 3 -type f -name "$name" -perm -u+x 2>/dev/null |
        awk -F/ '{ print NF "\t" $0 }' | sort -n | head -n 1 | cut -f2-)
    [ -n "$f" ] || return 1
    printf '%s\n' "$f"
}

canfd_bin=$(find_prog canfd_tester) || die "no canfd_tester under $bindir (build the static aarch64 programs first, or pass their directory)"
can_bin=$(find_prog can_tester) || die "no can_tester under $bindir"
# e_machine of an ELF header: 0xb7 is aarch64.
is_aarch64() { [ "$(od -An -tx1 -j18 -N2 "$1" | tr -d ' ')" = b700 ]; }
for b in "$canfd_bin" "$can_bin"; do
    is_aarch64 "$b" || die "$b is not an aarch64 ELF binary"
done

# ---------------------------------------------------------------- packages
pkgdir="$cache/pkg"
# Besides the kernel: the shell, the CAN peer tools, iproute2's ip and tc
# (busybox ip cannot set CAN bit timing, make vxcan pairs or queue
# disciplines) and jq (the cases read the runs' JSON summaries as a script
# would) with the libraries they load.
guest_packages="busybox-static can-utils libc6 iproute2 libbpf1 libelf1 libmnl0 libbsd0 libmd0 libcap2 zlib1g libxtables12 jq libjq1 libonig5"
debdir="$cache/debs"
stamp="$pkgdir/.complete"

resolve_kernel_pkg() {
    # linux-image-arm64 is the meta package; its Depends names the ABI.
    apt-cache depends linux-image-arm64:arm64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ :]*-arm64\)\(:arm64\)\{0,1\}$/\1/p' | head -n 1
}

fetch_packages() {
    if ! dpkg --print-foreign-architectures | grep -qx arm64; then
        log "adding dpkg architecture arm64"
        as_root dpkg --add-architecture arm64
        apt_updated=0
    fi
    local kpkg
    kpkg=$(resolve_kernel_pkg || true)
    if [ -z "$kpkg" ]; then
        apt_update
        kpkg=$(resolve_kernel_pkg || true)
    fi
    [ -n "$kpkg" ] || die "cannot resolve the arm64 kernel package (apt-cache depends linux-image-arm64:arm64)"
    log "kernel package: $kpkg"

    rm -rf "$debdir" "$pkgdir"
    mkdir -p "$debdir" "$pkgdir"
    local p
    for p in "$kpkg" $guest_packages; do
        (cd "$debdir" && apt-get download -q -o APT::Sandbox::User=root -o Acquire::Retries=3 "$p:arm64" >/dev/null 2>&1) ||
            { apt_update; (cd "$debdir" && apt-get download -q -o APT::Sandbox::User=root -o Acquire::Retries=3 "$p:arm64" >/dev/null); } ||
            die "apt-get download $p:arm64 failed"
    done
    local deb name kversion=""
    for deb in "$debdir"/*.deb; do
        name=$(dpkg-deb -f "$deb" Package)
        case "$name" in
            linux-image-*)
                kversion=$(dpkg-deb -f "$deb" Version)
                # Only the kernel image and the CAN modules (the whole package unpacks to ~380 MB).
                mkdir -p "$pkgdir/kernel"
                dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$pkgdir/kernel" --wildcards \
                    './boot/vmlinuz-*' '*/kernel/net/can/*' '*/kernel/drivers/net/can/*' \
                    '*/kernel/net/sched/sch_tbf.ko*' '*/kernel/net/sched/sch_netem.ko*'
                ;;
            *)
                mkdir -p "$pkgdir/$name"
                dpkg-deb -x "$deb" "$pkgdir/$name"
                ;;
        esac
    done
    rm -rf "$debdir"
    printf '%s\n' "$kpkg" "$guest_packages" "$kversion" > "$stamp"
}

# The stamp names what was fetched (kernel package, package list, kernel
# package version): a cache from an older package list is fetched again.
if [ "${VM_REFRESH:-0}" = 1 ] || [ ! -f "$stamp" ] ||
   [ "$(sed -n 2p "$stamp")" != "$guest_packages" ] || [ -z "$(sed -n 3p "$stamp")" ]; then
    fetch_packages
fi

kroot="$pkgdir/kernel"
kernel_img=""
for f in "$kroot"/boot/vmlinuz-*; do [ -f "$f" ] && { kernel_img=$f; break; }; done
[ -n "$kernel_img" ] || die "no vmlinuz in $kroot/boot"
kver=${kernel_img##*/vmlinuz-}
moddir=""
for d in "$kroot/lib/modules/$kver" "$kroot/usr/lib/modules/$kver"; do [ -d "$d" ] && { moddir=$d; break; }; done
[ -n "$moddir" ] || die "no modules for $kver"

# A package file under lib/ or usr/lib/ (Debian moves files to /usr over time).
pkgfile() {
    local root=$1 rel=$2 f
    for f in "$root/$rel" "$root/usr/$rel"; do
        [ -e "$f" ] && { printf '%s\n' "$f"; return 0; }
    done
    return 1
}

# ---------------------------------------------------------------- bench
# The bare write() and read() loops, the baseline programs and the bench
# parameters, which reach the guest as kernel command-line words
# (vmbench...=VALUE).
loops=()
baseline=()
bench_words=""
if [ "$mode" = bench ]; then
    for loop in writeloop readloop; do
        if [ ! -x "$cache/$loop" ] || [ "$here/guest/$loop.c" -nt "$cache/$loop" ] ||
           [ "$here/guest/loop-socket.h" -nt "$cache/$loop" ]; then
            log "building $loop"
            aarch64-linux-gnu-gcc -O2 -static -Wall -Wextra -o "$cache/$loop.$$" "$here/guest/$loop.c"
            mv -f "$cache/$loop.$$" "$cache/$loop"
        fi
        loops+=("$cache/$loop")
    done
    if [ -n "${VM_BENCH_BASELINE:-}" ]; then
        for p in canfd_tester can_tester; do
            b=$(find_prog "$p" "$VM_BENCH_BASELINE") || die "no baseline $p under $VM_BENCH_BASELINE"
            is_aarch64 "$b" || die "$b is not an aarch64 ELF binary"
            baseline+=("$b")
        done
    fi
    for w in ROUNDS:rounds N:n RECV_N:recvn; do
        v=$(printenv "VM_BENCH_${w%%:*}" || true)
        [ -z "$v" ] && continue
        case "$v" in *[!0-9]*) die "VM_BENCH_${w%%:*} must be a number" ;; esac
        bench_words="$bench_words vmbench${w#*:}=$v"
    done
    case "${VM_BENCH_ROWS:-all}" in
        all|send|receive) bench_words="$bench_words vmbenchrows=${VM_BENCH_ROWS:-all}" ;;
        *) die "VM_BENCH_ROWS must be all, send or receive" ;;
    esac
fi

# ---------------------------------------------------------------- initramfs
# Per-run scratch, so that runs of different modes may overlap.
mkdir -p "$cache"
run_dir=$(mktemp -d "$cache/run.XXXXXX")
trap 'rm -rf "$run_dir"' EXIT
stage="$run_dir/initramfs"
mkdir -p "$stage"/{bin,sbin,usr/bin,usr/sbin,lib/aarch64-linux-gnu,lib/modules,opt/can,guest,proc,sys,dev,tmp,run}

cp "$pkgdir/busybox-static/bin/busybox" "$stage/bin/busybox"

# CAN core, vcan, the queue disciplines that make a link slow (tbf) or
# lossy (netem), and on virt the SJA1000 boards' drivers and vxcan.
modules="net/can/can net/can/can-raw drivers/net/can/dev/can-dev drivers/net/can/vcan
net/sched/sch_tbf net/sched/sch_netem"
[ "$machine" = virt ] && modules="$modules drivers/net/can/sja1000/sja1000
drivers/net/can/sja1000/kvaser_pci drivers/net/can/vxcan"
for m in $modules; do
    f=""
    for ext in .ko .ko.xz .ko.zst .ko.gz; do
        [ -f "$moddir/kernel/$m$ext" ] && { f="$moddir/kernel/$m$ext"; break; }
    done
    [ -n "$f" ] || die "module $m not found in $moddir"
    out="$stage/lib/modules/${m##*/}.ko"
    case "$f" in
        *.ko) cp "$f" "$out" ;;
        *.xz) ensure_tool xz xz-utils; xz -dc "$f" > "$out" ;;
        *.zst) ensure_tool zstd zstd; zstd -qdc "$f" > "$out" ;;
        *.gz) gzip -dc "$f" > "$out" ;;
    esac
done
# The drivers the kernel package lacks, built from its source: the CTU CAN
# FD card's on virt, the Xilinx CAN controllers' on the ZynqMP, whose
# device tree is ours.
. "$here/driver-modules.sh"
case "$machine" in
    virt)
        built=$(ctucanfd_modules "$(sed -n 1p "$stamp")" "$(sed -n 3p "$stamp")" "$run_dir/modules")
        cp "$built/ctucanfd.ko" "$built/ctucanfd_pci.ko" "$stage/lib/modules/"
        ;;
    zynqmp)
        built=$(xilinx_can_modules "$(sed -n 1p "$stamp")" "$(sed -n 3p "$stamp")" "$run_dir/modules")
        cp "$built/xilinx_can.ko" "$stage/lib/modules/"
        dtc -q -I dts -O dtb -o "$run_dir/zynqmp.dtb" "$here/zynqmp.dts" || die "dtc failed on $here/zynqmp.dts"
        ;;
esac

# can-utils, jq and iproute2 are dynamically linked: bring the loader and
# every library they load, directly or through another library. Debian's ip
# and tc go to /opt/iproute2, away from busybox's applets of the same names.
canutils="cangen candump cansend cansequence canplayer log2asc"
for u in $canutils; do
    src=$(pkgfile "$pkgdir/can-utils" "bin/$u") || die "can-utils has no $u"
    cp "$src" "$stage/usr/bin/$u"
done
src=$(pkgfile "$pkgdir/jq" bin/jq) || die "jq has no bin/jq"
cp "$src" "$stage/usr/bin/jq"
mkdir -p "$stage/opt/iproute2"
for u in ip tc; do
    # The package's links point at absolute paths, which would be the host's.
    src=""
    for f in bin/$u sbin/$u usr/bin/$u usr/sbin/$u; do
        [ -f "$pkgdir/iproute2/$f" ] && [ ! -L "$pkgdir/iproute2/$f" ] && { src="$pkgdir/iproute2/$f"; break; }
    done
    [ -n "$src" ] || die "iproute2 has no $u"
    cp "$src" "$stage/opt/iproute2/$u"
done
ld=$(pkgfile "$pkgdir/libc6" lib/aarch64-linux-gnu/ld-linux-aarch64.so.1) || die "no aarch64 loader in libc6"
cp -L "$ld" "$stage/lib/aarch64-linux-gnu/ld-linux-aarch64.so.1"
ln -s aarch64-linux-gnu/ld-linux-aarch64.so.1 "$stage/lib/ld-linux-aarch64.so.1"
# The host's readelf reads the dynamic section of an ELF file of any machine.
needed_libs() {
    LC_ALL=C readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p'
}
find_lib() {
    local root
    for root in "$pkgdir"/*; do
        [ "$root" = "$pkgdir/kernel" ] && continue
        pkgfile "$root" "lib/aarch64-linux-gnu/$1" && return 0
    done
    return 1
}
scan="$stage/usr/bin/* $stage/opt/iproute2/*"
while [ -n "$scan" ]; do
    next=""
    for lib in $(for f in $scan; do needed_libs "$f"; done | sort -u); do
        out="$stage/lib/aarch64-linux-gnu/$lib"
        case "$lib" in ld-linux*) continue ;; esac
        [ -e "$out" ] && continue
        f=$(find_lib "$lib") || die "library $lib is in none of the fetched packages"
        cp -L "$f" "$out"
        next="$next $out"
    done
    scan=$next
done

cp "$canfd_bin" "$stage/opt/can/canfd_tester"
cp "$can_bin" "$stage/opt/can/can_tester"
[ ${#loops[@]} -gt 0 ] && cp "${loops[@]}" "$stage/opt/can/"
if [ ${#baseline[@]} -gt 0 ]; then
    mkdir -p "$stage/opt/baseline"
    cp "${baseline[@]}" "$stage/opt/baseline/"
    chmod 755 "$stage"/opt/baseline/*
fi
for f in "$here"/guest/*.sh; do [ -f "$f" ] && cp "$f" "$stage/guest/"; done
# A case runs the commands of doc/link-check.md as written there.
cp "$top/doc/link-check.md" "$stage/guest/link-check.md"
cp "$guest_script" "$stage/guest/main.sh"
cp "$here/guest/init" "$stage/init"
chmod 755 "$stage/init" "$stage"/guest/* "$stage"/opt/can/* "$stage"/usr/bin/* "$stage/bin/busybox"

initrd="$run_dir/initrd.gz"
(cd "$stage" && find . -print0 | LC_ALL=C sort -z | cpio --null -o -H newc --quiet -R 0:0) | gzip -1 > "$initrd"

# ---------------------------------------------------------------- boot
console="$run_dir/console.log"
# The virt machine: the SJA1000 boards on one QEMU CAN bus, the CTU CAN FD
# card's two controllers on another. The ZynqMP: its two CAN controllers on
# one bus (named apart from the machine's canbus0/canbus1 properties), and
# a silent sound back end for its display port's audio, which QEMU would
# otherwise look for among the host's.
case "$machine" in
    virt)
        qemu_machine=(-M virt -cpu cortex-a57 -smp 1
            -object can-bus,id=canbus0
            -device kvaser_pci,canbus=canbus0 -device kvaser_pci,canbus=canbus0
            -object can-bus,id=canbus1 -device ctucan_pci,canbus0=canbus1,canbus1=canbus1)
        serial=ttyAMA0
        ;;
    zynqmp)
        qemu_machine=(-M xlnx-zcu102,canbus0=cbus0,canbus1=cbus0 -object can-bus,id=cbus0
            -audiodev none,id=noaudio
            -dtb "$run_dir/zynqmp.dtb")
        serial=ttyPS0,115200
        ;;
esac
append="console=$serial panic=-1 quiet loglevel=1 vmmode=$mode vmmachine=$machine"
[ -n "${VM_CASES:-}" ] && append="$append vmcases=$(printf '%s' "$VM_CASES" | tr ' ' ',')"
[ -n "${VM_SOAK_N:-}" ] && append="$append vmsoakn=$VM_SOAK_N"
append="$append$bench_words"

log "booting $kver on $machine ($mode), programs from $(dirname "$canfd_bin")"
start=$(date +%s.%N)
set +e
timeout --foreground -k 5 "$vm_timeout" \
    qemu-system-aarch64 "${qemu_machine[@]}" -m 512M \
        -display none -monitor none -serial stdio -no-reboot -nic none \
        -kernel "$kernel_img" -initrd "$initrd" -append "$append" </dev/null |
    tr -d '\r' | tee "$console"
qrc=${PIPESTATUS[0]}
set -e
elapsed=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')

# ---------------------------------------------------------------- verdict
end_line=$(grep -a '^@@VM-END rc=' "$console" | tail -n 1 || true)
guest_rc=${end_line#@@VM-END rc=}
problems=()
[ "$qrc" = 124 ] && problems+=("the VM did not finish within ${vm_timeout}s")
[ "$qrc" != 0 ] && [ "$qrc" != 124 ] && problems+=("qemu exited with status $qrc")
[ -n "$end_line" ] || problems+=("the guest never reported its end marker")
grep -aq '^@@VM-SETUP-FAILED' "$console" && problems+=("guest set-up failed: $(grep -a '^@@VM-SETUP-FAILED' "$console" | head -n 1)")

if [ "$mode" = test ] || [ "$mode" = soak ]; then
    passed=$(grep -ac '^PASS ' "$console" || true)
    failed=$(grep -ac '^FAIL ' "$console" || true)
    skipped=$(grep -ac '^SKIP ' "$console" || true)
    summary=$(grep -a '^@@SUMMARY ' "$console" | tail -n 1 || true)
    if [ -n "$end_line" ] && [ "$summary" != "@@SUMMARY passed=$passed failed=$failed skipped=$skipped" ]; then
        problems+=("the guest summary '${summary:-none}' does not match the case lines seen ($passed passed, $failed failed, $skipped skipped)")
    fi
    [ $((passed + failed)) -gt 0 ] || problems+=("no case ran")
    echo
    if [ "$failed" -gt 0 ]; then
        echo "Failed cases:"
        grep -a '^FAIL ' "$console" | sed 's/^/  /'
    fi
else
    [ -n "$end_line" ] && [ "$guest_rc" != 0 ] && problems+=("the guest script ended with status $guest_rc")
fi

kept_log="$cache/console-$mode.log"
[ "$machine" = virt ] || kept_log="$cache/console-$mode-$machine.log"
cp "$console" "$kept_log"
for p in "${problems[@]}"; do log "$p"; done
log "whole run took ${elapsed}s (console log: ${kept_log#"$top"/})"
if [ "$mode" = test ] || [ "$mode" = soak ]; then
    echo "$passed passed, $failed failed, $skipped skipped"
    [ "$failed" = 0 ] && [ ${#problems[@]} = 0 ]
else
    [ ${#problems[@]} = 0 ]
fi
