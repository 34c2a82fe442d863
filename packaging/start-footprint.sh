#!/usr/bin/env bash
# Start-up and memory of the window, next to a blank Qt Widgets window built
# here: each started RUNS times, one after the other, against the simulated
# router, and quit as soon as its window was shown (QORV_QUIT_WHEN_SHOWN). Prints
# the medians of the time from start to the window shown and of the peak
# resident memory, and their ratios. Runs on the display there is, or on a
# virtual one.
# usage: start-footprint.sh PROGRAM [RUNS]
set -euo pipefail
program=$(realpath "$1")
runs=${2:-9}
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}" ] && [ -z "${QORV_UNDER_XVFB:-}" ]; then
    QORV_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
fi
blank=$(dirname "$program")/blank-window
# shellcheck disable=SC2046
g++ -std=c++17 -O2 -fPIC -I"$here" "$here/packaging/blank_window.cpp" -o "$blank" $(pkg-config --cflags --libs Qt6Widgets)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
start() {  # start NAME PROGRAM: appends "milliseconds kilobytes" to NAME's list
    local began ended
    began=$(date +%s%N)
    HOME=$work QORV_QUIT_WHEN_SHOWN=1 QORV_SIMULATE=routes /usr/bin/time -f "%M" -o "$work/rss" "$2" >/dev/null 2>&1
    ended=$(date +%s%N)
    echo "$(( (ended - began) / 1000000 )) $(cat "$work/rss")" >>"$work/$1"
}
start blank "$blank"  # the first start of each reads the libraries from disk: not counted
start program "$program"
: >"$work/blank"
: >"$work/program"
for _ in $(seq "$runs"); do
    start blank "$blank"
    start program "$program"
done
median() {  # median FILE COLUMN
    sort -n -k "$2" "$1" | awk -v c="$2" '{v[NR] = $c} END {print v[int((NR + 1) / 2)]}'
}
bt=$(median "$work/blank" 1); bm=$(median "$work/blank" 2)
pt=$(median "$work/program" 1); pm=$(median "$work/program" 2)
awk -v bt="$bt" -v bm="$bm" -v pt="$pt" -v pm="$pm" -v n="$runs" 'BEGIN {
    printf "start to window shown, median of %d: blank Qt window %d ms, QORV Config %d ms: %.2fx\n", n, bt, pt, pt / bt
    printf "peak resident memory, median of %d: blank Qt window %d KiB, QORV Config %d KiB: %.2fx\n", n, bm, pm, pm / bm
}'
