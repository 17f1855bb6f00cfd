#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short while
# (FUZZ_SECONDS, default 20). Skips, with a note, where clang's fuzzer runtime
# is not installed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-20}"
if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ not installed, skipped"
    exit 0
fi
if ! cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUORIN_FUZZ=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null \
    || ! cmake --build build-fuzz -j"$(nproc)" --target fuzz_receive >/dev/null; then
    echo "fuzz: the fuzz targets did not build here (no libFuzzer runtime?), skipped"
    exit 0
fi
mkdir -p build-fuzz/corpus
build-fuzz/fuzz/fuzz_receive -max_total_time="$seconds" build-fuzz/corpus 2>&1 | tail -n 1
