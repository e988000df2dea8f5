#!/usr/bin/env bash
# The shipped build as scripts/run.sh makes it (build/, the system's g++,
# warnings as errors), with every program and the benchmark, which is built to
# keep it compiling but not run, and the test suite once more as the users'
# compiler builds it, without sanitizers: what g++'s optimiser makes of the
# code is what ships. CI runs this after scripts/test.sh, which compiles with
# clang only. Ends with a "Total:" line of its own tests.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/phases.sh

phase_start "installing packages (compiler, CMake, Qt)"
./scripts/deps.sh window || { phase_end "failed"; exit 1; }
phase_end

status=0
phase_start "shipped build (g++, warnings as errors: programs, benchmark, tests)"
if cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build build -j"$(nproc)" --target tessaro tessaro-cli tessaro-unit tessaro-bench tessaro-flood-window \
        tessaro_tests; then
    phase_end
else
    phase_end "failed: its tests are not run"
    status=1
fi

passed=0
failed=0
if [ "$status" -eq 0 ]; then
    phase_start "tests of the shipped build (ctest -j$((2 * $(nproc))))"
    run_ctest_counted build "$((2 * $(nproc)))" || status=1
    phase_end "$passed passed, $failed failed"
fi
all_end
echo "Total: $passed passed, $failed failed"
exit "$status"
