#!/bin/sh
# Layout check: renders every tab of the window, without a controller, to
# build/layout/tab-N.png (Qt's offscreen platform) and prints each page's size
# hint and minimum, so that widths can be judged at 1280x800 or at the
# smallest size. The documentation pictures come from scripts/shots.sh.
# Extra arguments go to quorin-screenshot, e.g. --size min, --font-pt 11 or
# --demo (typical values in the controls).
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

QT_QPA_PLATFORM=offscreen "$build/ui/quorin-screenshot" --out "$build/layout" "$@"
