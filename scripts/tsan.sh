#!/usr/bin/env bash
# Builds, with ThreadSanitizer, every suite in which a connection thread runs
# beside the main thread (the link core's exchange slot and every suite that
# connects to the simulator) and runs them. Qt's own libraries are not
# instrumented; races inside them are suppressed by tests/tsan.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
suites=(link_test_linkcore link_test_link app_test_app axis_test_axispanel console_test_console
        monitor_test_polling panels_test_panels tools_test_tools transfer_test_transfer sim_test_server
        faults_test_faultmatrix health_test_linkhealth journal_test_journal trend_test_trend
        transfer_test_compare)
# Line tables only (-g1 keeps inlined frames in the stack traces), which
# compile and link faster than full debug information; -O2, as the suites
# that stream data are slow enough under ThreadSanitizer.
if [[ ! -f build-tsan/build.ninja ]]; then
    cmake -S . -B build-tsan -G Ninja -DQUORIN_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
fi
cmake --build build-tsan -j"$(nproc)" --target "${suites[@]}" tsan_canary >/dev/null
export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1"
# First the proof that the checker sees a race between a QThread and the GUI
# thread with these suppressions: the canary must be reported.
if build-tsan/tests/tsan_canary > build-tsan/canary.log 2>&1 ||
    ! grep -q "WARNING: ThreadSanitizer: data race" build-tsan/canary.log; then
    cat build-tsan/canary.log
    echo "tsan: FAILED: the deliberate race was not reported; the check cannot see"
    exit 1
fi
# The fault matrix runs as one CTest entry per fault mode (name_mode).
regex="^($(IFS='|'; echo "${suites[*]}"))(_[a-z-]+)?\$"
if ctest --test-dir build-tsan --output-on-failure -j"$(nproc)" -R "$regex" > build-tsan/ctest.log 2>&1; then
    echo "tsan: ${#suites[@]} suites, $(grep -E 'tests passed' build-tsan/ctest.log)"
else
    cat build-tsan/ctest.log
    echo "tsan: FAILED"
    exit 1
fi
