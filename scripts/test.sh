#!/usr/bin/env bash
# Installs what the tests need and runs the whole test suite in one build
# (build-asan/, clang): the tests, the fuzz targets and the corpus replays
# compiled once with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer, so that any report fails its test. The tests
# that drive the programs run them on a faster clock (TESSARO_TEST_TIME_SCALE);
# the link guard and the schedule also run once at the programs' own pace.
# Each fuzz target runs a few seconds from its seed corpus.
#
# The shipped build (g++ with warnings as errors, the programs and the
# benchmark: scripts/test-shipped.sh) is not part of this; CI runs it after.
#
# Every phase prints a line when it starts and one with its time when it ends;
# at the end one line gives the totals and the exit code is non-zero when the
# build or any test failed.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/phases.sh

phase_start "installing packages (Qt, clang, LLVM, poppler-utils)"
if ! ./scripts/deps.sh tests fuzz; then
    phase_end "failed"
    echo "Total: 0 passed, 0 failed"
    exit 1
fi
phase_end "$(clang++ --version | head -n 1)"

jobs="$(nproc)"
# The tests that drive the programs mostly wait on their serial lines, so
# twice as many tests as cores run at once.
test_jobs=$((2 * jobs))
status=0

phase_start "configuring build-asan (clang, sanitizers, fuzz targets)"
if cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTESSARO_FUZZ=ON >/dev/null; then
    phase_end
    phase_start "sanitizer build (tests, programs, fuzz targets)"
    if cmake --build build-asan -j"$jobs" --target tessaro_tests; then
        phase_end
    else
        phase_end "failed: its tests are not run"
        status=1
    fi
else
    phase_end "failed"
    status=1
fi

passed=0
failed=0
if [ "$status" -eq 0 ]; then
    phase_start "tests and fuzz smoke runs (ctest -j$test_jobs)"
    run_ctest_counted build-asan "$test_jobs" || status=1
    phase_end "$passed passed, $failed failed"
fi

all_end
echo "Total: $passed passed, $failed failed"
exit "$status"
