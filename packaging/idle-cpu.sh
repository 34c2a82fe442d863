#!/usr/bin/env bash
# CPU the window costs while nothing happens: the program runs offscreen against
# the simulated router in routes mode, connected and idle; its CPU time is read
# from /proc over SECONDS.  usage: idle-cpu.sh PROGRAM [SECONDS]
set -euo pipefail
program=$1
seconds=${2:-10}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home QT_QPA_PLATFORM=offscreen QORV_SIMULATE=routes "$program" >/dev/null 2>&1 &
pid=$!
sleep 2  # start-up, connection and the routes-mode answer
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(cpu)
sleep "$seconds"
after=$(cpu)
kill "$pid"
wait "$pid" 2>/dev/null || true
awk -v t="$((after - before))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
    'BEGIN { printf "idle window, router connected in routes mode: %.2f %% of a core over %d s\n", t * 100 / hz / s, s }'
