#!/usr/bin/env bash
# Takes the documentation screenshots, docs/screens/*.png, from the real
# monitor talking to the bundled simulator in the same process: no screen
# needed (Qt's offscreen platform), 1280x800, live values.
# Extra arguments go to quorin-shots, e.g. --only axis,tasks.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}

# Japanese controller messages need the CJK fonts; the rest of the window is
# set in DejaVu, which the offscreen platform finds through fontconfig.
"$root/scripts/deps.sh" run
if ! fc-list : family 2>/dev/null | grep -qi dejavu; then
    if [[ $(id -u) -eq 0 ]]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends fonts-dejavu-core
    else
        echo "Missing fonts. Run:"
        echo "  sudo apt-get install -y fonts-dejavu-core"
        exit 1
    fi
fi

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target quorin-shots -j2

QT_QPA_PLATFORM=offscreen "$build/scripts/screenshots/quorin-shots" --out "$root/docs/screens" "$@"
