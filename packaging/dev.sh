#!/usr/bin/env bash
# One entry point for newcomers and CI. Each command first installs the Debian
# packages it needs (with sudo when not run as root), then:
#   run       builds and starts the program
#   test      builds and runs every test, the last with Orca listening to the window
#   screen-reader  only that last check: what Orca speaks as keys are pressed
#   sanitize  runs every test built with AddressSanitizer and UndefinedBehaviorSanitizer
#   package   builds the Debian package and checks it (lintian, desktop entry, AppStream)
#   bench     runs the benchmarks, measures the idle window's CPU use and wake-ups, and its
#             start-up time and memory next to a blank and a plain Qt window
#   fuzz [SECONDS]  builds the libFuzzer targets with clang and runs each for SECONDS (60)
#   hid-test  runs the shipped programs in a Debian 12 guest under QEMU against the
#             simulated router made a kernel HID device (hidapi, hidraw, udev)
#   windows   cross-builds for 64-bit Windows, runs every test under wine, and makes the
#             installer and a portable zip in build-windows/
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

base=(build-essential cmake pkg-config qt6-base-dev qt6-translations-l10n libhidapi-dev libgtest-dev libgmock-dev fonts-wine)
# Orca on a virtual display, with a window manager and a session bus.
screen_reader=(orca at-spi2-core dbus xvfb xauth xdotool openbox)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        env DEBIAN_FRONTEND=noninteractive "$@"
    elif command -v sudo >/dev/null; then
        # sudo drops the caller's environment: pass the setting through env.
        sudo env DEBIAN_FRONTEND=noninteractive "$@"
    else
        echo "dev.sh: installing packages needs root; run as root or install sudo" >&2
        exit 1
    fi
}

# Installs whichever of the given packages are missing, one line of output per
# step; the package manager's own output goes to a log that is named on failure.
install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local log
    log=$(mktemp "${TMPDIR:-/tmp}/qorv-apt.XXXXXX.log")
    echo "Installing ${#missing[@]} packages: ${missing[*]}"
    if ! as_root apt-get update -q >>"$log" 2>&1 \
        || ! as_root apt-get install -y -q --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
        echo "dev.sh: package installation failed; the full log is $log" >&2
        tail -n 15 "$log" >&2
        exit 1
    fi
    rm -f "$log"
}

build() {  # build DIR [extra cmake args...]; QORV_TARGET names the one target to build
    local dir=$1; shift
    # CI holds the build to no warnings at all.
    [ "${CI:-}" = true ] && set -- -DQORV_WERROR=ON "$@"
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)" ${QORV_TARGET:+--target "$QORV_TARGET"}
}

run_tests() {  # run_tests DIR
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$1" --output-on-failure -j "$(nproc)"
}

check_package() {
    local deb
    deb=$(ls -t build/qorv-config_*.deb | head -n 1)
    echo "Checking $deb"
    # The checkers print marks and quotes as UTF-8 only under a UTF-8 locale.
    LC_ALL=C.UTF-8 lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2)
    LC_ALL=C.UTF-8 desktop-file-validate packaging/linux/qorv-config.desktop
    LC_ALL=C.UTF-8 appstreamcli validate --no-net --pedantic packaging/linux/qorv-config.metainfo.xml
    echo "Package checks passed: lintian, desktop-file-validate, appstreamcli"
}

cmd=${1:-run}
case "$cmd" in
    run)
        # Without a display Qt aborts with a core dump; say what is needed, before
        # anything is installed or built.
        if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
            echo "dev.sh: the window needs a graphical session (no DISPLAY or WAYLAND_DISPLAY is set);" \
                 "to start it on a virtual display instead: sudo apt-get install xvfb; xvfb-run -a bash packaging/dev.sh run" >&2
            exit 1
        fi
        install_missing "${base[@]}"
        # The window alone; the tests are built by the test command.
        QORV_TARGET=qorv-config build build
        exec ./build/qorv-config ;;
    test)
        install_missing "${base[@]}" "${screen_reader[@]}"
        build build
        run_tests build
        bash packaging/screen-reader-check.sh build/qorv-config ;;
    screen-reader)
        install_missing "${base[@]}" "${screen_reader[@]}"
        QORV_TARGET=qorv-config build build
        bash packaging/screen-reader-check.sh build/qorv-config ;;
    sanitize)
        install_missing "${base[@]}"
        build build-asan -DQORV_SANITIZE=ON
        ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_tests build-asan ;;
    package)
        install_missing "${base[@]}" file dpkg-dev lintian desktop-file-utils appstream
        build build
        (cd build && cpack -G DEB >/dev/null)
        check_package ;;
    bench)
        install_missing "${base[@]}" libbenchmark-dev time xvfb xauth
        build build-bench -DQORV_BENCHMARKS=ON -DQORV_TESTS=OFF
        QT_QPA_PLATFORM=offscreen build-bench/bench/qorv-bench-grids
        build-bench/bench/qorv-bench-firmware
        build-bench/bench/qorv-bench-exchange
        bash packaging/idle-cpu.sh build-bench/qorv-config 10 routes
        bash packaging/idle-cpu.sh build-bench/qorv-config 10 update
        bash packaging/idle-cpu.sh build-bench/qorv-config 10 none
        bash packaging/start-footprint.sh build-bench/qorv-config 9 ;;
    fuzz)
        install_missing "${base[@]}" clang
        seconds=${2:-60}
        CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQORV_FUZZ=ON -DQORV_TESTS=OFF >/dev/null
        cmake --build build-fuzz --target fuzzers -j "$(nproc)"
        mkdir -p build-fuzz/findings
        for target in firmware_file boot_update config_image config_exchange config_json settings; do
            mkdir -p "build-fuzz/corpus/$target"
            dict=()
            [ -f "fuzz/dict/$target.dict" ] && dict=(-dict="fuzz/dict/$target.dict")
            # New inputs go to the first folder; the committed seeds stay as they are.
            if ! ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen "build-fuzz/fuzz/fuzz_$target" \
                    -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$target-" \
                    "${dict[@]}" "build-fuzz/corpus/$target" "fuzz/corpus/$target" >"build-fuzz/$target.log" 2>&1; then
                tail -n 30 "build-fuzz/$target.log" >&2
                echo "dev.sh: fuzz target $target found a fault; the input is in build-fuzz/findings/" >&2
                exit 1
            fi
            awk -v t="$target" '/stat::number_of_executed_units/ {runs=$2} /DONE/ {for (i=1;i<=NF;i++) if ($i=="cov:") cov=$(i+1)}
                 END {printf "%-16s %10d inputs, coverage %s edges\n", t, runs, cov}' "build-fuzz/$target.log"
        done ;;
    hid-test)
        install_missing "${base[@]}" file dpkg-dev qemu-system-x86 qemu-utils mmdebstrap e2fsprogs imagemagick unzip
        build build
        (cd build && cpack -G DEB >/dev/null)
        bash packaging/hid-test/run.sh build ;;
    windows)
        # Programs, tests and installer are all 64-bit: wine's 64-bit half is enough.
        install_missing "${base[@]}" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
            wine wine64 nsis ninja-build zip dpkg-dev xvfb xauth
        bash packaging/windows/build.sh ;;
    *)
        echo "usage: $0 run|test|sanitize|package|bench|fuzz [SECONDS]|hid-test|windows" >&2; exit 2 ;;
esac
