#!/usr/bin/env bash
# The shipped build as scripts/run.sh makes it (build/, the system's g++,
# warnings as errors), with every program and the benchmark, which is built to
# keep it compiling but not run. CI runs this after scripts/test.sh, which
# compiles with clang only.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/phases.sh

phase_start "installing packages (compiler, CMake, Qt)"
./scripts/deps.sh window || { phase_end "failed"; exit 1; }
phase_end

status=0
phase_start "shipped build (g++, warnings as errors: programs and benchmark)"
if cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build build -j"$(nproc)" --target tessaro tessaro-cli tessaro-unit tessaro-bench tessaro-flood-window; then
    phase_end
else
    phase_end "failed"
    status=1
fi
all_end
exit "$status"
