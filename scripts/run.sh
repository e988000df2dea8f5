#!/usr/bin/env bash
# Installs what is missing, builds the tool and starts it on the simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [ -x build/src/ui/tessaro ]; then
    exec build/src/ui/tessaro --simulate "$@"
fi
echo "The desktop application is not built yet; the core library and tests are (see ./scripts/test.sh)."
