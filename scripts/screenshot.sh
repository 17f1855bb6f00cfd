#!/bin/sh
# Renders every tab of the monitor window to docs/screens/tab-N.png without a
# screen (Qt's offscreen platform), at 1280x800 with typical values shown.
# Extra arguments go to quorin-screenshot, e.g. --size min or --font-pt 11.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}

if [ ! -f "$build/CMakeCache.txt" ]; then
    if command -v ninja >/dev/null 2>&1; then
        cmake -S "$root" -B "$build" -G Ninja
    else
        cmake -S "$root" -B "$build"
    fi
fi
cmake --build "$build" --target quorin-screenshot -j2

QT_QPA_PLATFORM=offscreen "$build/ui/quorin-screenshot" --demo --out "$root/docs/screens" "$@"
