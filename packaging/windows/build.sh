#!/usr/bin/env bash
# The Windows build, from this Debian machine: Qt, hidapi and GoogleTest built
# once from Debian's source packages (build-deps.sh), then the project
# cross-built with mingw-w64, every test run under wine, and the programs
# gathered into a portable zip and an NSIS installer, which is installed
# silently under wine and started. Called by `dev.sh windows`.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt-get source needs a deb-src entry; one that mirrors the system's own is added once.
if [ -z "$(apt-cache showsrc qt6-base 2>/dev/null | head -n 1)" ]; then
    echo "Adding a deb-src entry for Debian's source packages"
    sed -n 's/^Types: deb$/Types: deb-src/; p' /etc/apt/sources.list.d/debian.sources \
        | as_root tee /etc/apt/sources.list.d/qorv-deb-src.sources >/dev/null
    as_root apt-get update -qq
fi

prefix=$(bash packaging/windows/build-deps.sh | tail -n 1)
cache=$(dirname "$prefix")
runtime=(/usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib "$prefix/bin")
version=$(sed -n 's/^project(QorvConfig VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# Everything run under wine here is 64-bit: the programs, the tests and the
# installer. The 64-bit loader is used directly, through a "wine" first in PATH
# (the tests' emulator is "wine"): Debian's wrapper prefers the 32-bit loader
# whenever wine32 is installed, and some machines cannot run 32-bit programs at all.
wine64=/usr/lib/wine/wine64
mkdir -p "$cache/bin"
printf '#!/bin/sh\nexec %s "$@"\n' "$wine64" >"$cache/bin/wine"
chmod +x "$cache/bin/wine"
export PATH="$cache/bin:$PATH"
export WINELOADER=$wine64
export WINEARCH=win64

# Its own wine prefix, with no offer to install Mono or Gecko.
export WINEPREFIX=$cache/wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export QT_PLUGIN_PATH=Z:$prefix/plugins

# A prefix is whole when wineboot finished it (the mark is written only then)
# and its kernel32 is there; anything else, a prefix of an older version of
# this script included, is made again.
whole_mark=$WINEPREFIX/.qorv-prefix-whole
prefix_whole() {
    [ -f "$whole_mark" ] && [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]
}
if ! prefix_whole; then
    [ -e "$WINEPREFIX" ] && echo "The wine prefix $WINEPREFIX is incomplete; making it again"
    echo "Making the wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    # Made with nothing of the cross toolchain in wine's search path: its DLLs
    # there make wineboot fail half way.
    status=0
    env -u WINEPATH "$wine64" wineboot --init >"$cache/wineboot.log" 2>&1 || status=$?
    wineserver --wait || true
    if [ "$status" -ne 0 ] || [ ! -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; then
        echo "build.sh: making the wine prefix $WINEPREFIX failed (wineboot exited $status; its output is in" \
             "$cache/wineboot.log); it was removed so that the next run makes it again" >&2
        rm -rf "$WINEPREFIX"
        exit 1
    fi
    touch "$whole_mark"
fi
export WINEPATH
WINEPATH=$(printf 'Z:%s;' "${runtime[@]}")

echo "Cross-building for Windows"
QORV_WINDOWS_PREFIX=$prefix cmake -S . -B build-windows -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=packaging/windows/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    ${CI:+-DQORV_WERROR=ON} >/dev/null
cmake --build build-windows

# Qt's own texts in Spanish (the .qm files are the same on every system): beside
# the programs and the tests, which look for a "translations" folder there.
qt_translations=/usr/share/qt6/translations
for folder in build-windows/translations build-windows/tests/translations; do
    mkdir -p "$folder"
    cp "$qt_translations"/qtbase_es.qm "$folder/"
done

echo "Running the tests under wine"
QT_QPA_PLATFORM=offscreen ctest --test-dir build-windows --output-on-failure -j "$(nproc)"

echo "Gathering the programs"
deploy=build-windows/deploy/QORVConfig
rm -rf build-windows/deploy
mkdir -p "$deploy"/{platforms,styles,imageformats}
cp build-windows/qorv-config.exe build-windows/qorvctl.exe data/last.qorv packaging/windows/qorv-config.ico "$deploy/"
cp "$prefix"/bin/Qt6{Core,Gui,Widgets}.dll "$prefix"/bin/libhidapi*.dll "$deploy/"
cp "$prefix"/plugins/platforms/qwindows.dll "$deploy/platforms/"
cp "$prefix"/plugins/styles/*.dll "$deploy/styles/" 2>/dev/null || true
cp "$prefix"/plugins/imageformats/*.dll "$deploy/imageformats/" 2>/dev/null || true
cp -r build-windows/translations "$deploy/"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    cp "$(ls "${runtime[0]}/$dll" "${runtime[1]}/$dll" 2>/dev/null | head -n 1)" "$deploy/"
done
zip=build-windows/QORVConfig-$version-win64.zip
rm -f "$zip"
(cd build-windows/deploy && zip -qr "../$(basename "$zip")" QORVConfig)
setup=build-windows/QORVConfig-$version-win64-setup.exe
makensis -V2 -DVERSION="$version" -DSOURCE="$here/$deploy" -DOUTFILE="$here/$setup" packaging/windows/installer.nsi

echo "Installing silently under wine and starting the installed programs"
# NSIS takes /D= unquoted, so the test folder has no space.
rm -rf "$WINEPREFIX/drive_c/QORVConfig"
wine "$setup" /S '/D=C:\QORVConfig' >/dev/null 2>&1
wineserver --wait || true
installed="$WINEPREFIX/drive_c/QORVConfig"
[ -f "$installed/qorv-config.exe" ] && [ -f "$installed/last.qorv" ] && [ -f "$installed/uninstall.exe" ] \
    || { echo "build.sh: the silent install left no program in $installed" >&2; exit 1; }
# Only the installed folder may be searched for DLLs now.
got=$(WINEPATH= QT_PLUGIN_PATH= wine "$installed/qorvctl.exe" --version | tr -d '\r')
[ "$got" = "qorvctl $version" ] || { echo "build.sh: installed qorvctl --version said '$got'" >&2; exit 1; }
# The window starts from the install folder with its own DLLs and plugins, and runs.
status=0
WINEPATH= QT_PLUGIN_PATH= QORV_SIMULATE=routes \
    xvfb-run -a timeout 20 wine "$installed/qorv-config.exe" >/dev/null 2>&1 || status=$?
wineserver -k || true
[ "$status" -eq 124 ] || { echo "build.sh: the installed window ended with $status instead of running" >&2; exit 1; }
echo "Windows build checked: $setup and $zip"
