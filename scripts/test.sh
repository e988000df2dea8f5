#!/usr/bin/env bash
# Installs what the tests need and runs the whole test suite in three builds:
#  1. the normal build (build/, shared with scripts/run.sh): the tests and
#     the benchmark, which is built to keep it compiling but not run;
#  2. the same tests built with AddressSanitizer, LeakSanitizer and
#     UndefinedBehaviorSanitizer (build-asan/), where any report fails its
#     test; only the tests and the programs they start are built;
#  3. the fuzz targets (build-fuzz/, clang): a short run of each from its seed
#     corpus. The other two builds replay the corpora as plain tests.
# clang and LLVM, which only the fuzz build needs, install in the background
# during the normal build (log: build-fuzz/deps.log).
# Each part runs even when an earlier one failed to build or to pass; a build
# that fails is reported and its tests are not run. At the end one line gives
# the totals; the exit code is non-zero when any build or test failed.
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh tests || exit 1
# clang and LLVM install while the normal build compiles (apt mostly waits on
# the disk); the fuzz part waits for them.
mkdir -p build-fuzz
./scripts/deps.sh fuzz >build-fuzz/deps.log 2>&1 &
fuzz_deps=$!
jobs="$(nproc)"
# Most test time is spent waiting on the simulated unit's paced serial line,
# so twice as many tests as cores run at once.
test_jobs=$((2 * jobs))
passed=0
failed=0
status=0
broken=()

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

# Configures and builds one folder; on failure notes it and returns non-zero.
build() {
    local name="$1" dir="$2"
    shift 2
    local targets=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        targets+=(--target "$1")
        shift
    done
    shift
    if cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" &&
        cmake --build "$dir" -j"$jobs" "${targets[@]}"; then
        return 0
    fi
    echo "=== $name: the build failed; its tests are not run"
    broken+=("$name")
    status=1
    return 1
}

echo "=== Normal build"
build "normal build" build tessaro_tests tessaro-bench -- && run_ctest build -j"$test_jobs"

echo "=== Sanitizer build (ASan, LSan, UBSan)"
build "sanitizer build" build-asan tessaro_tests -- -DTESSARO_SANITIZE=ON && run_ctest build-asan -j"$test_jobs"

echo "=== Fuzz targets (clang, libFuzzer), short runs"
if ! wait "$fuzz_deps"; then
    cat build-fuzz/deps.log
    echo "=== fuzz build: installing clang failed"
    broken+=("fuzz build")
    status=1
else
    build "fuzz build" build-fuzz tessaro_fuzzers -- -DCMAKE_CXX_COMPILER=clang++ -DTESSARO_FUZZ=ON &&
        run_ctest build-fuzz -j"$jobs"
fi

if [ ${#broken[@]} -gt 0 ]; then
    echo "Failed to build: ${broken[*]}"
fi
echo "Total: $passed passed, $failed failed"
exit "$status"
