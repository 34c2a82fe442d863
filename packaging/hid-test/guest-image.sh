#!/usr/bin/env bash
# Builds, once, the small Debian 12 guest in which the shipped programs meet the
# simulated router as a kernel HID device: a root file system image with the
# kernel, udev, systemd, the programs' runtime libraries and Xvfb, plus the
# kernel and initrd to boot it with. Cached under $1, keyed by this script and
# the package list, so a changed list makes a new guest.
#   guest-image.sh CACHE-DIR PACKAGE...   prints the guest's folder
set -euo pipefail

cache=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
packages=(systemd-sysv udev kmod linux-image-amd64 libpam-systemd dbus acl procps xvfb xauth xdotool x11-apps "$@")
key=$( { cat "$0" "$here"/guest/*; printf '%s\n' "${packages[@]}" | sort -u; } | sha256sum | cut -c1-16)
guest="$cache/guest-$key"
if [ -f "$guest/.whole" ]; then
    echo "$guest"
    exit 0
fi
rm -rf "$guest"
mkdir -p "$guest"
root="$guest/root"
log="$guest/build.log"
echo "Building the test guest in $guest (a few minutes, once)" >&2
include=$(printf '%s\n' "${packages[@]}" | sort -u | paste -sd, -)
# The guest boots straight into the checks: no password, no network, a user
# without privileges who is logged in at the seat on the first console.
if ! mmdebstrap --variant=minbase --include="$include" \
        --customize-hook='chroot "$1" useradd -m -s /bin/bash musician' \
        --customize-hook='chroot "$1" passwd -d root' \
        --customize-hook='echo qorv-guest > "$1/etc/hostname"' \
        --customize-hook="cp '$here/guest/qorv-hid-test' \"\$1/usr/local/sbin/\"" \
        --customize-hook="cp '$here/guest/qorv-hid-test.service' \"\$1/etc/systemd/system/\"" \
        --customize-hook='mkdir -p "$1/etc/systemd/system/getty@tty1.service.d"' \
        --customize-hook="cp '$here/guest/autologin.conf' \"\$1/etc/systemd/system/getty@tty1.service.d/\"" \
        --customize-hook='chroot "$1" systemctl enable qorv-hid-test.service' \
        --customize-hook='chroot "$1" systemctl mask serial-getty@ttyS0.service' \
        bookworm "$root" http://deb.debian.org/debian >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    echo "hid-test: the guest could not be built; the full log is $log" >&2
    exit 1
fi
cp "$root"/boot/vmlinuz-* "$guest/vmlinuz"
cp "$root"/boot/initrd.img-* "$guest/initrd.img"
# The image leaves room for what a run writes (the package, logs, a screenshot).
size=$(( $(du -sm "$root" | cut -f1) + 400 ))
mkfs.ext4 -q -L qorv-guest -d "$root" "$guest/root.img" "${size}M" >>"$log" 2>&1
rm -rf "$root"
touch "$guest/.whole"
echo "$guest"
