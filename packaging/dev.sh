#!/usr/bin/env bash
# One entry point for newcomers and CI: installs what is missing, builds, then
# runs the program ("run"), the test suite ("test"), the test suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer ("sanitize"), builds the
# Debian package ("package") or runs the benchmarks ("bench").
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

packages=(build-essential cmake pkg-config qt6-base-dev libhidapi-dev
          libgtest-dev libgmock-dev libbenchmark-dev fonts-wine
          xvfb xauth imagemagick)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {  # build DIR [extra cmake args...]
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

cmd=${1:-run}
install_missing
case "$cmd" in
    run)
        build build
        exec ./build/qorv-config ;;
    test)
        build build
        QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$(nproc)" ;;
    sanitize)
        build build-asan -DQORV_SANITIZE=ON -DQORV_BENCHMARKS=OFF
        ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j "$(nproc)" ;;
    package)
        build build
        (cd build && cpack -G DEB)
        ls build/*.deb ;;
    bench)
        build build
        QT_QPA_PLATFORM=offscreen build/bench/qorv-bench-grids
        build/bench/qorv-bench-firmware
        bash packaging/idle-cpu.sh build/qorv-config 10 ;;
    *)
        echo "usage: $0 run|test|sanitize|package|bench" >&2; exit 2 ;;
esac
