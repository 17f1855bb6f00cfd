#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs the whole test suite there. Qt's own libraries are not
# instrumented; leaks inside them are suppressed by tests/lsan.supp.
# Extra arguments go to ctest (e.g. -R panels).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# Optimised at -O1 with line tables only (-g1 keeps inlined frames in the
# stack traces): the instrumented tree then compiles in about two thirds of
# the time -O2 with full debug information takes.
if [[ ! -f build-asan/build.ninja ]]; then
    cmake -S . -B build-asan -G Ninja -DQUORIN_ASAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
fi
cmake --build build-asan -j"$(nproc)" >/dev/null
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
if ctest --test-dir build-asan --output-on-failure -j"$(nproc)" "$@" > build-asan/ctest.log 2>&1; then
    echo "asan: $(grep -E 'tests passed' build-asan/ctest.log)"
else
    cat build-asan/ctest.log
    echo "asan: FAILED"
    exit 1
fi
