#!/usr/bin/env bash
# Makes sure the Debian packages the build needs are there: installs them when
# run as root, otherwise prints the one apt-get line to run and fails.
#   scripts/deps.sh [run|package|clang|format]
#     run     -- adds what the window needs to show Japanese text
#     package -- adds what builds and checks the Debian package
#     clang   -- adds clang and its sanitizer and libFuzzer runtimes (fuzz.sh)
#     format  -- adds clang-format (format.sh)
set -euo pipefail

# qt6-charts-dev draws the trend plot; on Debian 12 its CMake package also
# needs the OpenGL module's development files, which it does not pull in.
packages=(cmake ninja-build g++ qt6-base-dev qt6-charts-dev libqt6opengl6-dev qcoro-qt6-dev)
case "${1:-}" in
    run) packages+=(fonts-noto-cjk) ;;
    package) packages+=(dpkg-dev file desktop-file-utils appstream lintian) ;;
    clang) packages+=(clang libclang-rt-14-dev) ;;
    format) packages+=(clang-format) ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "Missing packages. Run:"
    echo "  sudo apt-get install -y ${missing[*]}"
    exit 1
fi
