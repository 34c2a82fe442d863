#!/usr/bin/env bash
# Start-up and memory of the window, next to two yardsticks built here: a blank
# Qt Widgets window of the same size, and a plain window holding the same
# widgets with the same texts and no logic behind them. Each is started RUNS
# times, in turns, against the simulated router, and quits as soon as its window
# was shown (QORV_QUIT_WHEN_SHOWN). Prints the medians of the time from start to
# the window shown (the time each says it was shown, less the time it was
# started) and of the peak resident memory, their ratios, and which
# mappings (libraries, heap, fonts) the resident memory is made of at that
# moment. Runs on the display there is, or on a virtual one.
# usage: start-footprint.sh PROGRAM [RUNS]
set -euo pipefail
program=$(realpath "$1")
runs=${2:-9}
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}" ] && [ -z "${QORV_UNDER_XVFB:-}" ]; then
    QORV_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for yardstick in blank_window plain_window; do
    # shellcheck disable=SC2046
    g++ -std=c++17 -O2 -fPIC -I"$here" "$here/packaging/$yardstick.cpp" -o "$work/${yardstick/_/-}" \
        $(pkg-config --cflags --libs Qt6Widgets)
done
declare -A path=([blank]="$work/blank-window" [plain]="$work/plain-window" [program]="$program")
names=(blank plain program)
run() {  # run NAME: appends "milliseconds kilobytes" to NAME's list
    local began shown
    began=$(date +%s%N)
    if ! HOME=$work QORV_QUIT_WHEN_SHOWN=0 QORV_SIMULATE=routes /usr/bin/time -f "%M" -o "$work/rss" "${path[$1]}" >/dev/null 2>"$work/err"; then
        echo "start-footprint.sh: ${path[$1]} failed:" >&2
        tail -n 5 "$work/err" >&2
        exit 1
    fi
    shown=$(awk '$1 == "shown" {print $2}' "$work/err")
    if [ -z "$shown" ]; then
        echo "start-footprint.sh: ${path[$1]} never said its window was shown (a build without QORV_QUIT_WHEN_SHOWN?)" >&2
        exit 1
    fi
    echo "$(( (shown - began) / 1000000 )) $(cat "$work/rss")" >>"$work/$1"
}
for name in "${names[@]}"; do run "$name"; done  # the first start reads the libraries from disk: not counted
for name in "${names[@]}"; do : >"$work/$name"; done
for _ in $(seq "$runs"); do
    for name in "${names[@]}"; do run "$name"; done
done
median() {  # median FILE COLUMN
    sort -n -k "$2" "$1" | awk -v c="$2" '{v[NR] = $c} END {print v[int((NR + 1) / 2)]}'
}
declare -A ms kb
for name in "${names[@]}"; do
    ms[$name]=$(median "$work/$name" 1)
    kb[$name]=$(median "$work/$name" 2)
done
awk -v n="$runs" -v bt="${ms[blank]}" -v lt="${ms[plain]}" -v pt="${ms[program]}" \
    -v bm="${kb[blank]}" -v lm="${kb[plain]}" -v pm="${kb[program]}" 'BEGIN {
    printf "start to window shown, median of %d: blank window %d ms, plain window %d ms, QORV Config %d ms: %.2fx blank, %.2fx plain\n", n, bt, lt, pt, pt / bt, pt / lt
    printf "peak resident memory, median of %d: blank window %d KiB, plain window %d KiB, QORV Config %d KiB: %.2fx blank, %.2fx plain\n", n, bm, lm, pm, pm / bm, pm / lm
}'

# Machines here are shared and wall time moves with their load; the number of
# instructions does not. Counted from start to exit, once each, when valgrind is there.
if command -v valgrind >/dev/null; then
    declare -A instructions
    for name in "${names[@]}"; do
        HOME=$work QORV_QUIT_WHEN_SHOWN=0 QORV_SIMULATE=routes valgrind --tool=callgrind \
            --callgrind-out-file="$work/$name.callgrind" "${path[$name]}" >/dev/null 2>&1
        instructions[$name]=$(awk '/^summary:/ {print $2}' "$work/$name.callgrind")
    done
    awk -v b="${instructions[blank]}" -v l="${instructions[plain]}" -v p="${instructions[program]}" 'BEGIN {
        printf "instructions from start to exit: blank window %.1f M, plain window %.1f M, QORV Config %.1f M: %.2fx blank, %.2fx plain\n", b / 1e6, l / 1e6, p / 1e6, p / b, p / l
    }'
fi

# What is resident the moment each window is shown, by mapping: read from outside
# while the program lingers a little after saying "shown".
snapshot() {  # snapshot NAME: writes "kilobytes mapping" lines to NAME.map
    HOME=$work QORV_QUIT_WHEN_SHOWN=1500 QORV_SIMULATE=routes "${path[$1]}" >/dev/null 2>"$work/$1.err" &
    local pid=$! tries=0
    until grep -q '^shown' "$work/$1.err" 2>/dev/null || [ $tries -ge 500 ]; do sleep 0.02; tries=$((tries + 1)); done
    if ! grep -q '^shown' "$work/$1.err"; then
        echo "start-footprint.sh: ${path[$1]} showed no window within 10 s" >&2
        kill "$pid" 2>/dev/null || true
        exit 1
    fi
    awk '/^[0-9a-f]+-[0-9a-f]+ / {name = (NF >= 6) ? $6 : "[anonymous]"; sub(/.*\//, "", name); sub(/\.so[.0-9]*$/, "", name)}
         /^Rss:/ {rss[name] += $2}
         END {for (m in rss) print rss[m], m}' "/proc/$pid/smaps" >"$work/$1.map"
    wait "$pid" || true
}
for name in "${names[@]}"; do snapshot "$name"; done
echo "resident when shown, KiB, by mapping (the ten where the program differs most from the blank window):"
awk 'FNR == 1 {file++} {kib[file, $2] = $1; seen[$2] = 1}
     END {for (m in seen) print kib[3, m] - kib[1, m], m, kib[1, m] + 0, kib[2, m] + 0, kib[3, m] + 0}' \
    "$work/blank.map" "$work/plain.map" "$work/program.map" >"$work/joined"
printf "  %-24s %8s %8s %8s\n" mapping blank plain program
sort -rn "$work/joined" | head -10 | awk '{printf "  %-24s %8d %8d %8d\n", $2, $3, $4, $5}'
awk '{b += $3; l += $4; p += $5} END {printf "  %-24s %8d %8d %8d\n", "all", b, l, p}' "$work/joined"
