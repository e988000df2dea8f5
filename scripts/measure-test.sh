#!/usr/bin/env bash
# Times the test command as a newcomer meets it: a fresh clone of one commit
# in a folder of its own, no compiler cache, the packages already installed
# (their download is not counted). Prints the command's own phase lines, its
# total wall and CPU time, the machine's load before and after, the disk its
# build trees take, and its closing "Total:" line.
# Usage: scripts/measure-test.sh [COMMIT [FOLDER [COMMAND]]]
#   COMMIT   what to clone from this repository (default HEAD)
#   FOLDER   where to clone it (default a new folder under /tmp); it is kept
#   COMMAND  the command to time inside the clone (default ./scripts/test.sh)
# To compare two commits, run it once for each on a quiet machine.
set -uo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
commit="$(git -C "$repo" rev-parse "${1:-HEAD}")" || exit 2
folder="${2:-$(mktemp -d /tmp/tessaro-measure.XXXXXX)}"
command="${3:-./scripts/test.sh}"
unset CCACHE_DIR CCACHE_PREFIX CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER

git clone -q --no-hardlinks "$repo" "$folder/tessaro" || exit 2
cd "$folder/tessaro" && git checkout -q "$commit" || exit 2
echo "measuring $(git log -1 --format='%h %s') in $folder/tessaro"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
log="$folder/test.log"
/usr/bin/time -f "%e %U %S" -o "$folder/time" bash -c "$command" >"$log" 2>&1
rc=$?
read -r wall user sys < <(tail -n 1 "$folder/time")
grep -E '^=== |^Total' "$log"
echo "command: $command, exit $rc"
echo "wall $(printf '%.0f' "$wall") s, CPU $(printf '%.0f' "$(echo "$user + $sys" | bc)") s (user $user s, system $sys s)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
du -sh build* 2>/dev/null
du -shc build* 2>/dev/null | tail -n 1
echo "full log: $log"
exit "$rc"
