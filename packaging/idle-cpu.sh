#!/usr/bin/env bash
# CPU the window costs while nothing happens: the program runs offscreen, idle,
# and its CPU time and the times its threads woke up (context switches) are
# read from /proc over SECONDS. ROUTER is "routes" or "update" (the simulated
# router, connected in that mode) or "none" (the real hidapi back end with no
# router attached: the window looks for one once a second).
# usage: idle-cpu.sh PROGRAM [SECONDS] [routes|update|none]
set -euo pipefail
program=$1
seconds=${2:-10}
router=${3:-routes}
simulate=$router
[ "$router" = none ] && simulate=
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home QT_QPA_PLATFORM=offscreen QORV_SIMULATE=$simulate "$program" >/dev/null 2>&1 &
pid=$!
sleep 2  # start-up, connection and the routes-mode answer
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
wakeups() { cat /proc/"$pid"/task/*/status | awk '/^(non)?voluntary_ctxt_switches/ {n += $2} END {print n}'; }
before=$(cpu)
woke=$(wakeups)
sleep "$seconds"
after=$(cpu)
woke=$(( $(wakeups) - woke ))
kill "$pid"
wait "$pid" 2>/dev/null || true
case $router in
    none) what="no router attached" ;;
    *) what="router connected in $router mode" ;;
esac
awk -v t="$((after - before))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" -v w="$woke" -v what="$what" \
    'BEGIN { printf "idle window, %s: %.2f %% of a core, %.1f wake-ups a second, over %d s\n", what, t * 100 / hz / s, w / s, s }'
