#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
#  1. the normal build (build/);
#  2. the same suite built with AddressSanitizer, LeakSanitizer and
#     UndefinedBehaviorSanitizer (build-asan/), where any report fails its test;
#  3. where clang is installed, the fuzz targets (build-fuzz/): a short run of
#     each from its seed corpus. The normal builds replay the corpora too.
# Every part runs even when an earlier one failed; the exit code is non-zero
# when any test failed.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
jobs="$(nproc)"
passed=0
failed=0
status=0

# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
    local dir="$1"
    shift
    local log
    log="$(mktemp)"
    local rc=0
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure "$@") 2>&1 | tee "$log" || rc=$?
    local line total bad
    line="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)"
    total="$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")"
    bad="$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")"
    if [ -n "$line" ]; then
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    fi
    rm -f "$log"
    if [ "$rc" -ne 0 ] || [ -z "$line" ]; then
        status=1
    fi
}

echo "=== Normal build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
run_ctest build -j"$jobs"

echo "=== Sanitizer build (ASan, LSan, UBSan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARO_SANITIZE=ON
cmake --build build-asan -j"$jobs"
run_ctest build-asan -j"$jobs"

if command -v clang++ >/dev/null 2>&1; then
    echo "=== Fuzz targets (clang, libFuzzer), short runs"
    cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTESSARO_FUZZ=ON
    cmake --build build-fuzz --target tessaro_fuzzers -j"$jobs"
    run_ctest build-fuzz -j"$jobs"
else
    echo "=== Fuzz targets skipped: clang++ is not installed"
fi

echo "Total: $passed passed, $failed failed"
exit "$status"
