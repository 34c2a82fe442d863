#!/usr/bin/env bash
# Draws the main window with a sample configuration (devices with 2, 3 and 1
# ports, routes of all four kinds, distinct colours) into data/window.png,
# without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build --target qorv-render-window -j "$(nproc)" >/dev/null
QT_QPA_PLATFORM=offscreen ./build/qorv-render-window "${1:-data/window.png}" "${2:-}"
echo "wrote ${1:-data/window.png}"
