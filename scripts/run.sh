#!/usr/bin/env bash
# Installs what the window needs, builds the desktop tool (and only what it
# links) and starts it on the simulated unit. Extra arguments go to tessaro.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh window
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target tessaro
exec build/bin/tessaro --simulate "$@"
