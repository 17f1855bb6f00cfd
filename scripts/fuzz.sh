#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for
# FUZZ_SECONDS (default 20), starting from its seed corpus in fuzz/corpus/.
# New inputs go to build-fuzz/corpus/; a crashing input is left as
# build-fuzz/crash-<target>-* (add it to the target's seed corpus and a test).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh clang
seconds="${FUZZ_SECONDS:-20}"
targets=(fuzz_receive fuzz_variables fuzz_mbk fuzz_pointtable fuzz_bits
         fuzz_monlisting fuzz_files fuzz_console fuzz_checkmsg fuzz_compare)
if [[ ! -f build-fuzz/build.ninja ]]; then
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUORIN_FUZZ=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}" >/dev/null
failed=()
for t in "${targets[@]}"; do
    mkdir -p "build-fuzz/corpus/$t"
    log="build-fuzz/$t.log"
    if build-fuzz/fuzz/"$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build-fuzz/crash-$t-" "build-fuzz/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz: $t ok, $runs runs in ${seconds}s"
    else
        grep -E 'invariant broken|ERROR|runtime error|Test unit written' -A2 "$log" | head -n 20 || true
        echo "fuzz: $t FAILED (log: $log)"
        failed+=("$t")
    fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "fuzz: ${#failed[@]} of ${#targets[@]} targets failed: ${failed[*]}"
    exit 1
fi
echo "fuzz: all ${#targets[@]} targets ok"
