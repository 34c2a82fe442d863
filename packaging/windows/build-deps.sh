#!/usr/bin/env bash
# Cross-builds, once, what the Windows build needs from Debian's own source
# packages: Qt (qtbase), hidapi and GoogleTest. They go into a cache folder
# outside the work tree, keyed by the packages' versions and these build flags,
# and are reused afterwards. Prints the prefix folder as its last line.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
toolchain=$here/toolchain-mingw64.cmake
cache=${QORV_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qorv-windows}

# The Windows platform plugin of this Qt does not build without OpenGL, so it
# stays at its default; the rest the programs do not use is left out.
qt_features=(-DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF -DFEATURE_network=OFF
             -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF -DFEATURE_printsupport=OFF
             -DFEATURE_tabletevent=OFF -DFEATURE_directwrite3=OFF -DFEATURE_direct2d=OFF
             -DFEATURE_testlib=ON -DFEATURE_sql_sqlite=OFF)

version() { apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2; exit}'; }
qt_version=$(version qt6-base)
hidapi_version=$(version hidapi)
gtest_version=$(version googletest)
if [ -z "$qt_version" ] || [ -z "$hidapi_version" ] || [ -z "$gtest_version" ]; then
    echo "build-deps: no source package versions; is a deb-src entry configured?" >&2
    exit 1
fi
key=$(printf '%s\n' "$qt_version" "$hidapi_version" "$gtest_version" "${qt_features[*]}" \
      "$(x86_64-w64-mingw32-g++-posix -dumpfullversion)" "$(cat "$toolchain")" | sha256sum | cut -c1-16)
prefix=$cache/$key/prefix
if [ "${1:-}" = --key ]; then
    echo "$key"
    exit 0
fi
if [ -f "$cache/$key/done" ]; then
    echo "$prefix"
    exit 0
fi

work=$cache/$key/work
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix"
log=$cache/$key/build.log
: >"$log"
step() { echo "build-deps: $1" >&2; }
quiet() {
    if ! "$@" >>"$log" 2>&1; then
        echo "build-deps: failed: $*; the full log is $log" >&2
        tail -n 30 "$log" >&2
        exit 1
    fi
}
cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
       -DCMAKE_INSTALL_PREFIX="$prefix" -DQORV_WINDOWS_PREFIX="$prefix")

cd "$work"
step "fetching the sources of qt6-base $qt_version, hidapi $hidapi_version, googletest $gtest_version"
quiet apt-get source --download-only qt6-base hidapi googletest
for dsc in *.dsc; do quiet dpkg-source -x "$dsc"; done

step "building hidapi for Windows"
quiet cmake -S hidapi-*/ -B build-hidapi "${cross[@]}" -DBUILD_SHARED_LIBS=ON
quiet cmake --build build-hidapi
quiet cmake --install build-hidapi

step "building GoogleTest for Windows"
quiet cmake -S googletest-*/ -B build-gtest "${cross[@]}" -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=OFF
quiet cmake --build build-gtest
quiet cmake --install build-gtest

step "building Qt $qt_version for Windows (about 25 minutes on two cores)"
quiet cmake -S qt6-base-*/ -B build-qt "${cross[@]}" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF "${qt_features[@]}"
quiet cmake --build build-qt --parallel "$(nproc)"
quiet cmake --install build-qt

rm -rf "$work"
touch "$cache/$key/done"
echo "$prefix"
