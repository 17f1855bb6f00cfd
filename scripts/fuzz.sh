#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for
# FUZZ_SECONDS (default 20), starting from its seed corpus in fuzz/corpus/.
# A fuzzer uses one core: FUZZ_JOBS of them (default: one per core) run side
# by side, each still for the whole FUZZ_SECONDS.
# New inputs go to build-fuzz/corpus/; a crashing input is left as
# build-fuzz/crash-<target>-* (add it to the target's seed corpus and a test).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh clang
seconds="${FUZZ_SECONDS:-20}"
targets=(fuzz_receive fuzz_variables fuzz_mbk fuzz_pointtable fuzz_bits
         fuzz_monlisting fuzz_files fuzz_console fuzz_checkmsg fuzz_compare
         fuzz_transcript)
if [[ ! -f build-fuzz/build.ninja ]]; then
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUORIN_FUZZ=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
fi
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}" >/dev/null
jobs_at_once="${FUZZ_JOBS:-$(nproc)}"
# Runs one target; its exit status goes to build-fuzz/<target>.status.
fuzz_one() {
    local t=$1 status=0 extra=()
    # Programs too large for the compare's line table take some 8 KB.
    [[ $t == fuzz_compare ]] && extra=(-max_len=20000)
    mkdir -p "build-fuzz/corpus/$t"
    build-fuzz/fuzz/"$t" -max_total_time="$seconds" -print_final_stats=1 "${extra[@]}" \
        -artifact_prefix="build-fuzz/crash-$t-" "build-fuzz/corpus/$t" "fuzz/corpus/$t" \
        >"build-fuzz/$t.log" 2>&1 || status=$?
    echo "$status" >"build-fuzz/$t.status"
}
for t in "${targets[@]}"; do
    rm -f "build-fuzz/$t.status"
    fuzz_one "$t" &
    while [[ $(jobs -rp | wc -l) -ge $jobs_at_once ]]; do
        wait -n || true
    done
done
wait
failed=()
for t in "${targets[@]}"; do
    log="build-fuzz/$t.log"
    if [[ $(cat "build-fuzz/$t.status" 2>/dev/null) == 0 ]]; then
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
