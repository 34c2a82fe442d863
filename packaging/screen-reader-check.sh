#!/usr/bin/env bash
# What a blind user hears, checked with the desktop's own screen reader: Orca
# listens to the window on a virtual display while keys are pressed as a user
# presses them, from the first control, against the simulated router. Each
# check passes when Orca spoke the expected words, in order, after its keys.
#
#   screen-reader-check.sh PROGRAM
#
# Orca runs headless: a fresh home, no speech server (SPEECHD_ADDRESS names a
# socket that does not exist, so it does not wait for one), and its debug log,
# which holds every "SPEECH OUTPUT", written through a pseudo-terminal so that
# it is not held back in an 8 KiB buffer.
set -euo pipefail

program=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/qorv-orca.XXXXXX")
speech=$work/orca.log
passed=0
failed=0

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export SPEECHD_ADDRESS=unix_socket:$work/no-speech-server
# Orca's own words ("checked", "column header") in English; the window speaks Spanish.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

pids=()
die() {
    echo "screen-reader-check: $*" >&2
    failed=1
    exit 1
}
cleanup() {
    set +e
    # Orca first, reaped by its pseudo-terminal: Orca will not start while any
    # other process of the user is named orca, even one that has just exited.
    if [ -n "${orca_tty:-}" ]; then
        pkill -TERM -P "$orca_tty" 2>/dev/null
        for _ in $(seq 50); do kill -0 "$orca_tty" 2>/dev/null || break; sleep 0.1; done
        pkill -KILL -P "$orca_tty" 2>/dev/null
        wait "$orca_tty" 2>/dev/null
    fi
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    # The session bus and what it started on its own (the accessibility bus and
    # its registry, which leave their parent): all carry this run's folder.
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/}
        pid=${pid%/environ}
        [ "$pid" = $$ ] && continue
        grep -qzF "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" "$environ" 2>/dev/null && kill "$pid" 2>/dev/null
    done
    if [ "$failed" -ne 0 ] || [ -n "${QORV_KEEP_ORCA_LOG:-}" ]; then
        echo "Orca's log: $speech"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    display=$(cat "$work/display")
    [ -n "$display" ] && break
    sleep 0.1
done
[ -n "$display" ] || die "Xvfb did not start"
export DISPLAY=:$display

DBUS_SESSION_BUS_ADDRESS=$(dbus-daemon --session --fork --print-address=1)
export DBUS_SESSION_BUS_ADDRESS
openbox >/dev/null 2>&1 &
pids+=($!)

pgrep -u "$(id -u)" -x orca >/dev/null && die "another Orca runs for this user; Orca starts only once per user"
script -qfc "orca --debug-file=/dev/stdout" /dev/null >"$speech" 2>&1 &
orca_tty=$!

# Lines Orca spoke after line FROM of its log.
spoken_since() {
    tail -n +"$(($1 + 1))" "$speech" | tr -d '\r' | sed -n "s/^.*SPEECH OUTPUT: '\(.*\)' *{'established.*$/\1/p"
}

# said_in_order FROM TEXT...: whether Orca said every TEXT after line FROM of
# its log, each in a later line than the one before it.
said_in_order() {
    local from=$1; shift
    spoken_since "$from" | awk 'BEGIN { n = ARGC - 1; for (i = 1; i < ARGC; i++) { want[i] = ARGV[i]; ARGV[i] = "" }; k = 1 }
        k <= n && index($0, want[k]) { k++ }
        END { exit k <= n }' "$@"
}

# wait_for FROM TEXT...: until Orca has said them (10 s at most).
wait_for() {
    for _ in $(seq 100); do
        said_in_order "$@" && return 0
        sleep 0.1
    done
    return 1
}

# expect NAME FROM TEXT...: passes when Orca says every TEXT after line FROM
# of its log, each after the one before it.
expect() {
    local name=$1 from=$2; shift 2
    if wait_for "$from" "$@"; then
        echo "ok    $name"
        passed=$((passed + 1))
    else
        echo "FAIL  $name: Orca did not say $(printf '"%s" ' "$@")in that order; it said:"
        spoken_since "$from" | sed 's/^/        /'
        failed=$((failed + 1))
    fi
}

# check NAME KEYS -- TEXT...: presses KEYS (xdotool names, space-separated;
# type:TEXT types TEXT), then expects every TEXT.
check() {
    local name=$1 keys=$2; shift 3
    local from
    from=$(wc -l <"$speech")
    for key in $keys; do
        case $key in
            type:*) xdotool type --delay 40 "${key#type:}" ;;
            *) xdotool key --clearmodifiers "$key" ;;
        esac
        sleep 0.15
    done
    expect "$name" "$from" "$@"
}

# Orca and the window start slowly on a busy machine: they get longer.
for _ in 1 2 3; do wait_for 0 "Screen reader on" && break; done
said_in_order 0 "Screen reader on" || die "Orca did not start"
start=$(wc -l <"$speech")
QORV_SIMULATE=routes "$program" >"$work/program.log" 2>&1 &
pids+=($!)
for _ in 1 2 3; do wait_for "$start" "Conectar push button" && break; done
said_in_order "$start" "Conectar push button" || die "the window never had the focus"
expect "the router's state is spoken as the window opens" "$start" "notification QORV en modo rutas"

check "a receive result is spoken" "ctrl+r" -- "notification Configuración recibida"
check "the focus stayed: Tab enters the device table, then its current cell" "Tab" -- "Dispositivos" "0582 / 0160"
check "entering the matrix: the table, then its current cell" "Tab" -- "Matriz de rutas" "MIDI In → MIDI Out: activa"
check "a route cell is heard with its column header" "Down Right" -- "Keys Out 1 column header" "Keys In 1 → Keys Out 1"
check "Space switches the route on, and says so" "space" -- "checked"
check "Space again switches it off" "space" -- "not checked"
check "the colour cell names its colour" "shift+Tab End Left" -- "Color de Keys: negro"
check "Enter opens the colour dialog" "Return" -- "color dialog"
# Ten Tabs on, past its colour grids, buttons and spin boxes, is the HTML field: red, and Enter.
check "a new colour is heard on the cell when the dialog closes" \
    "Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab type:#ff0000 Return" -- "HTML" "Color de Keys: rojo"
check "the wastebasket names its device" "Right" -- "Eliminar Keys"
check "the removal asks first" "space" -- "¿Quiere eliminar Keys?"
check "after the removal the grid's current cell is the next device's" "Return" -- "Eliminar Synth"
check "the arrows work at once in the grid" "Left" -- "Color de Synth"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
