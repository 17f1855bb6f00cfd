#!/usr/bin/env bash
# Builds everything and runs every test headless (the simulator runs
# in-process on ephemeral loopback ports), with the link suite also under
# ThreadSanitizer and a short run of the receive-path fuzzer first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
echo "== ThreadSanitizer: link suite"
scripts/tsan.sh | tail -n 2
echo "== Fuzzing the receive path"
scripts/fuzz.sh
echo "== All suites"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
