#!/usr/bin/env bash
# Builds everything and runs every test headless (the simulator runs
# in-process on ephemeral loopback ports). Extra arguments go to ctest.
# The sanitizer and fuzz runs are scripts/asan.sh, tsan.sh and fuzz.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
