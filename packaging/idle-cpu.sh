#!/usr/bin/env bash
# CPU the window costs while nothing happens: the program runs offscreen, idle,
# and its CPU time is read from /proc over SECONDS. ROUTER is "routes" (the
# simulated router, connected in routes mode) or "none" (the real hidapi back
# end with no router attached: the window looks for one once a second).
# usage: idle-cpu.sh PROGRAM [SECONDS] [routes|none]
set -euo pipefail
program=$1
seconds=${2:-10}
router=${3:-routes}
simulate=routes
[ "$router" = none ] && simulate=
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home QT_QPA_PLATFORM=offscreen QORV_SIMULATE=$simulate "$program" >/dev/null 2>&1 &
pid=$!
sleep 2  # start-up, connection and the routes-mode answer
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(cpu)
sleep "$seconds"
after=$(cpu)
kill "$pid"
wait "$pid" 2>/dev/null || true
awk -v t="$((after - before))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
    -v what="$([ "$router" = none ] && echo "no router attached" || echo "router connected in routes mode")" \
    'BEGIN { printf "idle window, %s: %.2f %% of a core over %d s\n", what, t * 100 / hz / s, s }'
