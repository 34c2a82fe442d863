#!/usr/bin/env bash
# Runs inside the test guest, as root, from the folder the host shares: installs
# the freshly built package, makes the simulated router a kernel HID device with
# qorv-uhid-router, and runs the shipped programs against it through the real
# hidapi, hidraw and udev. One line per check; the last line counts them.
set -u
share=$(cd "$(dirname "$0")" && pwd)
results=$share/results.txt
work=/run/qorv
mkdir -p "$work"
: >"$results"
passed=0
failed=0
# Extra router options for every router of the run: how the host shows that a
# broken router fails the checks (for example --no-reply).
read -r -a fault <"$share/router-options" || true

say() { echo "$*" | tee -a "$results" >/dev/console; }
note() { say "        $*"; }  # a detail under the last check
check() {  # check NAME COMMAND...: one result line, the command's output kept for a failure
    local name=$1; shift
    if "$@" >"$work/last.out" 2>&1; then
        passed=$((passed + 1))
        say "ok      $name"
    else
        failed=$((failed + 1))
        say "FAILED  $name"
        sed 's/^/        /' "$work/last.out" | tail -n 15 | tee -a "$results" >/dev/console
    fi
}

as_user() { runuser -u musician -- env HOME=/home/musician "$@"; }

router_node() {  # the router's hidraw node, if it is there
    local uevent
    for uevent in /sys/class/hidraw/*/device/uevent; do
        grep -q '^HID_ID=0003:000004D8:0000EFF6$' "$uevent" 2>/dev/null || continue
        uevent=${uevent%/device/uevent}
        echo "/dev/${uevent##*/}"
        return 0
    done
    return 1
}

wait_for_node() {  # waits until the router's node exists and udev is done with it
    local i
    for i in $(seq 100); do
        udevadm settle
        node=$(router_node) && [ -e "$node" ] && return 0
        sleep 0.1
    done
    echo "no hidraw node for 04d8:eff6 appeared"
    return 1
}

router_pid=
router_start() {  # router_start [qorv-uhid-router options...]
    router_stop
    rm -f "$work/router.qorv" "$work/flash.bin"
    "$share/qorv-uhid-router" "${fault[@]}" "$@" --save "$work/router.qorv" --save-flash "$work/flash.bin" \
        >"$work/router.log" 2>&1 &
    router_pid=$!
    wait_for_node
}

router_stop() {  # unplugs the router; what it held is then in router.qorv and flash.bin
    if [ -n "$router_pid" ]; then
        kill "$router_pid" 2>/dev/null
        wait "$router_pid" 2>/dev/null
        router_pid=
    fi
    udevadm settle
}

# Runs a command and checks its exit code and that its output holds a text.
expect() {  # expect CODE TEXT COMMAND...
    local code=$1 text=$2; shift 2
    "$@" >"$work/expect.out" 2>&1
    local got=$?
    cat "$work/expect.out"
    [ "$got" -eq "$code" ] || { echo "exit code $got, expected $code"; return 1; }
    [ -z "$text" ] || grep -qF -- "$text" "$work/expect.out" || { echo "the output does not say: $text"; return 1; }
}

same_file() {  # same_file A B
    cmp "$1" "$2" || { echo "$1 and $2 differ"; return 1; }
}

# --- setup -------------------------------------------------------------------------
modprobe uhid || say "FAILED  the uhid module could not be loaded"
dpkg -i "$share"/qorv-config_*.deb >"$work/dpkg.log" 2>&1
check "the package installs (its dependencies are in the guest)" grep -q 'Setting up qorv-config' "$work/dpkg.log"
rule=$(dpkg -L qorv-config | grep '/udev/rules.d/.*\.rules$' | head -n 1)
check "the package ships its udev rule ($rule)" test -f "$rule"
seat_user() {
    local i
    for i in $(seq 100); do
        loginctl show-seat seat0 -p ActiveSession --value | grep -q . \
            && [ "$(loginctl show-session "$(loginctl show-seat seat0 -p ActiveSession --value)" -p Name --value)" = musician ] \
            && return 0
        sleep 0.2
    done
    loginctl list-sessions
    return 1
}
check "the user without privileges, musician, is at the seat" seat_user

# --- doctor ------------------------------------------------------------------------
check "doctor without a router: none attached (exit 4)" expect 4 "No QORV router is attached" qorvctl doctor

router_start --mode routes
check "doctor: the router answers in routes mode" expect 0 "routes mode" qorvctl doctor

hidden=$work/hidden.rules
mv "$rule" "$hidden"
udevadm control --reload
router_start --mode routes
denied() {
    ls -l "$node"
    expect 4 "" as_user qorvctl doctor || return 1
    grep -qi "permission\|not readable\|cannot be opened" "$work/expect.out"
}
check "without the udev rule the user at the seat cannot open the router ($node)" denied
mv "$hidden" "$rule"
udevadm control --reload
router_start --mode routes
allowed() {
    getfacl -p "$node"
    getfacl -p "$node" | grep -q '^user:musician:rw-' || { echo "no access for musician"; return 1; }
    expect 0 "routes mode" as_user qorvctl doctor
}
check "with the shipped udev rule the user at the seat can ($node)" allowed

router_start --mode update
check "doctor: the router answers in update mode" expect 0 "update mode" as_user qorvctl doctor

# --- configuration -----------------------------------------------------------------
home=/home/musician
router_start --mode routes
receive_exact() {  # the file received is what the router holds
    rm -f "$home/got.qorv"
    expect 0 "" as_user qorvctl receive "$home/got.qorv" || return 1
    router_stop
    same_file "$home/got.qorv" "$work/router.qorv"
}
check "receive: the file is the router's configuration" receive_exact

router_start --mode routes --image "$share/last.qorv"
send_exact() {  # the router ends up holding the file sent
    expect 0 "" as_user qorvctl send "$home/got.qorv" || return 1
    router_stop
    same_file "$work/router.qorv" "$home/got.qorv"
}
check "send: the router holds the file sent" send_exact

router_start --mode routes --reply-delay-ms 20
check "receive from a slow router (20 ms a reply): still exact" receive_exact

router_start --mode routes
routed() {  # an edit of what the router holds: received, edited and sent, each proven
    as_user cp "$home/got.qorv" "$home/expected.qorv" || return 1
    expect 0 "" as_user qorvctl route "$home/expected.qorv" on "Keys In 2" "Drum Machine Out 1" || return 1
    expect 0 "+ route Keys In 2 -> Drum Machine Out 1" \
        as_user qorvctl route --to-router on "Keys In 2" "Drum Machine Out 1" || return 1
    router_stop
    same_file "$work/router.qorv" "$home/expected.qorv"
}
check "route --to-router: the router holds the configuration edited by name" routed

router_start --mode routes
streamed() {  # receive - writes the bytes alone to standard output
    expect 0 "" as_user sh -c 'qorvctl receive - >"$HOME/stream.qorv"' || return 1
    router_stop
    same_file "$home/stream.qorv" "$work/router.qorv"
}
check "receive -: the router's configuration on standard output" streamed

router_start --mode routes --wrong-ack
wrong_acks() {
    expect 6 "acknowledged offset 0x0040 for the block at 0x0000" as_user qorvctl send "$home/got.qorv"
}
check "a router whose acknowledgements name other offsets: the send fails and says so" wrong_acks

router_start --mode routes --unplug-after 10 --replug-after-ms 1500
unplugged() {
    rm -f "$home/cut.qorv"
    expect 4 "" as_user qorvctl receive "$home/cut.qorv" || return 1
    [ ! -e "$home/cut.qorv" ] || { echo "a file was written from a cut receive"; return 1; }
    sleep 2
    wait_for_node && expect 0 "routes mode" as_user qorvctl doctor
}
check "unplug mid-receive: exit 4, nothing written, found again when plugged back" unplugged

# --- firmware update ---------------------------------------------------------------
router_start --mode update --restart-ms 3000
update_whole() {
    local before=$node
    expect 0 "" as_user qorvctl update "$share/demo-firmware.hex" || return 1
    wait_for_node || return 1
    restarted_as="the router came back as $node (it was $before)"
    expect 0 "routes mode" as_user qorvctl doctor || return 1
    router_stop
    # The file's first data record is at 1D001000, program flash starts at 1D000000:
    # its bytes land 0x1000 into the flash image, the byte before stays erased.
    local first
    first=$(od -An -tx1 -j $((0x0FFF)) -N 5 "$work/flash.bin" | tr -d ' \n')
    [ "$first" = ff6e340b9c ] || { echo "flash at 0xFFF: $first"; return 1; }
}
restarted_as=
check "update: flash programmed, router restarted and back in routes mode" update_whole
[ -n "$restarted_as" ] && note "$restarted_as"

# --- the window --------------------------------------------------------------------
router_stop
Xvfb :1 -screen 0 1100x700x24 -nolisten tcp -ac >"$work/xvfb.log" 2>&1 &
xvfb=$!
trace=$home/window.trace
rm -rf "$home/QORVConfig" "$trace"
as_user env DISPLAY=:1 QORV_TRACE="$trace" qorv-config >"$work/window.log" 2>&1 &
window=$!
sleep 8
traffic() {  # reports the window has written so far
    local n
    n=$(grep -c '^out' "$trace" 2>/dev/null)
    echo "${n:-0}"
}
wait_for_traffic() {  # wait_for_traffic MORE-THAN SECONDS
    local i
    for i in $(seq "$(( $2 * 5 ))"); do
        [ "$(traffic)" -gt "$1" ] && return 0
        sleep 0.2
    done
    echo "$(traffic) reports written, expected more than $1"
    return 1
}
router_start --mode routes
check "window: finds the router when it is plugged in" wait_for_traffic 0 15
receive_in_window() {
    sleep 2
    local before
    before=$(traffic)
    # From the first control, Shift+Tab reaches Recibir, the last one.
    DISPLAY=:1 xdotool key shift+Tab key space
    wait_for_traffic $((before + 60)) 30 || return 1
    sleep 2
    router_stop
    same_file "$home/QORVConfig/last.qorv" "$work/router.qorv"
}
check "window: Recibir by keyboard keeps the router's configuration as last.qorv" receive_in_window
unplug_noticed() {
    sleep 3
    local before
    before=$(traffic)
    router_start --mode routes
    # It asks the router for its mode again only after it noticed it gone.
    wait_for_traffic "$before" 15
}
check "window: notices the router pulled out, and connects again when it is back" unplug_noticed
DISPLAY=:1 xwd -root -silent >"$share/window.xwd" 2>/dev/null
kill "$window" 2>/dev/null
router_stop

# --- the Windows build under wine (only when the host shared it) -------------------
# Debian 12's wine 8.0 takes the device through hidraw once its SDL bus is off,
# but hidapi's Windows code needs CM_Get_Device_Interface_PropertyW, which that
# wine's cfgmgr32 lacks: hidapi cannot start, and the router cannot be opened.
if [ -d "$share/QORVConfig" ]; then
    # A prefix takes some 700 MB: in memory. Programs run from the guest's own
    # files: loaded from the 9p share, Qt6Core.dll fails to start.
    mkdir -p /root/wine && mount -t tmpfs -o size=1800m tmpfs /root/wine
    export WINEPREFIX=/root/wine/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=:1
    cp -r "$share/QORVConfig" /root/wine/app
    check "wine: a prefix is made" wineboot -i
    # wine 8.0 turns to hidraw only when SDL is off.
    wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v 'Enable SDL' /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    # One wine session for every command, so its device manager sees the router come and go.
    wineserver -p
    wine cmd /c echo >/dev/null 2>&1
    router_start --mode routes
    sleep 5
    check "wine: qorvctl.exe doctor finds the router in routes mode" \
        expect 0 "routes mode" wine /root/wine/app/qorvctl.exe doctor
    wine_receive() {
        expect 0 "" wine /root/wine/app/qorvctl.exe receive 'Z:\run\qorv\wine.qorv' || return 1
        router_stop
        same_file "$work/wine.qorv" "$work/router.qorv"
    }
    check "wine: qorvctl.exe receive gives the router's configuration" wine_receive
    router_stop
    wineserver -k
fi
kill "$xvfb" 2>/dev/null
mkdir -p "$share/logs"
cp "$work"/*.log "$trace" "$share/logs/" 2>/dev/null

say "$passed passed, $failed failed"
