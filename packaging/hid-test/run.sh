#!/usr/bin/env bash
# The shipped programs against the simulated router made a kernel HID device:
# boots the cached Debian 12 guest under QEMU with the freshly built package and
# qorv-uhid-router, runs guest-checks.sh in it, and prints its results.
#   run.sh BUILD-DIR
# QORV_HID_TEST_ROUTER_OPTIONS adds options to every router of the run (for
# example --no-reply, to see the checks fail). QORV_HID_TEST_WINDOWS=1 also runs
# the Windows build (build-windows/, from 'dev.sh windows') under wine in the
# guest, against the same kernel device; Debian 12's wine cannot open it yet
# (see guest-checks.sh), so it is not part of the default run.
set -euo pipefail

build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/qorv-hid-test
mkdir -p "$cache"

deb=$(ls -t "$build"/qorv-config_*.deb | head -n 1)
# The guest carries what the package depends on, so dpkg -i in it needs no network.
mapfile -t depends < <(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/([^)]*)//g; s/|.*//; s/ //g' | grep .)
windows=${QORV_HID_TEST_WINDOWS:-}
memory=2048
if [ -n "$windows" ]; then
    zip=$(ls -t "$source_dir"/build-windows/QORVConfig-*-win64.zip 2>/dev/null | head -n 1)
    [ -n "$zip" ] || { echo "hid-test: no Windows build; run 'bash packaging/dev.sh windows' first" >&2; exit 1; }
    depends+=(wine wine64)
    memory=4096  # a wine prefix lives in the guest's memory
fi
# Unpacking Debian packages into a root file system needs root.
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
guest=$("${as_root[@]}" bash "$here/guest-image.sh" "$cache" "${depends[@]}")

run=$(mktemp -d "$cache/run.XXXXXX")
trap 'rm -rf "$run"' EXIT
share=$run/share
mkdir -p "$share"
cp "$deb" "$build/qorv-uhid-router" "$here/guest-checks.sh" "$source_dir/data/demo-firmware.hex" \
    "$source_dir/data/last.qorv" "$share/"
printf '%s\n' "${QORV_HID_TEST_ROUTER_OPTIONS:-}" >"$share/router-options"
[ -z "$windows" ] || (cd "$share" && unzip -q "$zip")
# Each run writes to its own copy of the guest's disk; the cached image stays as built.
qemu-img create -q -f qcow2 -b "$guest/root.img" -F raw "$run/disk.qcow2"

echo "Booting the test guest (software emulation, about a minute)"
started=$(date +%s)
status=0
# The VGA card stays: its first console is the seat the unprivileged user logs in at.
# Without SMAP: QEMU 7.2's emulated iretq from user mode faults under it, which
# kills wine's processes (a kernel oops in wineboot).
timeout 1500 qemu-system-x86_64 -machine pc -cpu max,-smap -smp 2 -accel tcg,thread=multi -m "$memory" \
    -kernel "$guest/vmlinuz" -initrd "$guest/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet systemd.show_status=false" \
    -drive "file=$run/disk.qcow2,if=virtio,format=qcow2" \
    -virtfs "local,path=$share,mount_tag=qorv,security_model=none,id=qorv" \
    -nic none -display none -vga std -monitor none -serial "file:$run/console.log" -no-reboot \
    || status=$?
echo "The guest ran for $(( $(date +%s) - started )) s"

results=$share/results.txt
log_kept=$build/hid-test
rm -rf "$log_kept"
mkdir -p "$log_kept"
cp "$run/console.log" "$log_kept/" 2>/dev/null || true
cp -r "$share/guest.log" "$results" "$share/logs" "$log_kept/" 2>/dev/null || true
if [ -s "$share/window.xwd" ] && command -v convert >/dev/null; then
    convert "xwd:$share/window.xwd" "$log_kept/window.png" 2>/dev/null || true
fi
[ -f "$results" ] && cat "$results"
if [ "$status" -ne 0 ]; then
    echo "hid-test: QEMU ended with status $status (124: the guest did not finish in 25 minutes); see $log_kept/console.log" >&2
    exit 1
fi
summary=$(tail -n 1 "$results" 2>/dev/null || true)
if ! [[ $summary =~ ^([0-9]+)\ passed,\ 0\ failed$ ]] || [ "${BASH_REMATCH[1]}" -eq 0 ]; then
    echo "hid-test: the checks did not all pass; the guest's logs are in $log_kept" >&2
    exit 1
fi
