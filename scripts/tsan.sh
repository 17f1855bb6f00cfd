#!/usr/bin/env bash
# Builds the widget-free link suite (the exchange slot shared by the
# connection thread and the main thread) with ThreadSanitizer and runs it.
# Qt's own libraries are not instrumented; their internals are suppressed.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ! -f build-tsan/build.ninja ]]; then
    cmake -S . -B build-tsan -G Ninja -DQUORIN_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build-tsan -j"$(nproc)" --target link_test_linkcore >/dev/null
TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1" build-tsan/tests/link_test_linkcore
