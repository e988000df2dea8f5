#!/usr/bin/env bash
# Runs every fuzz target of a TESSARO_FUZZ build for a while, two at a time
# (one per core), each on its own work corpus seeded from corpus/<target>.
# Usage: tests/fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# Findings land in BUILD_DIR/tests/fuzz/work/<target>/artifacts; each log in
# .../work/<target>/run.log ends with libFuzzer's execution count.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?build folder}" && pwd)"
seconds="${2:?seconds}"
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(numeric reply_to_value settings_file setup_file receive engine busy_reading)
jobs="${FUZZ_JOBS:-2}"
# Use-after-return checks cost most of the speed here; the test suite keeps them.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_stack_use_after_return=0}"

run_one() {
    local t="$1" work="$build/tests/fuzz/work/$1"
    mkdir -p "$work/corpus" "$work/artifacts"
    "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" "$here/corpus/$t" \
        >"$work/run.log" 2>&1
    local rc=$?
    local runs
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/run.log" | grep -o '[0-9]*$')
    echo "$t: exit $rc, ${runs:-?} executions"
    return $rc
}

status=0
running=0
for t in "${targets[@]}"; do
    run_one "$t" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done
exit $status
