#!/usr/bin/env bash
# Measures the memory the command-line tool and, when built, the window take
# while a pseudo-terminal floods them with SOH bytes (0x01): once at 960 bytes/s
# (9600 baud, every byte a frame start), once as fast as the terminal takes
# them. Prints the peak resident size (VmHWM) of each. Not a test: figures.
#
#   scripts/flood.sh [BUILD_DIR] [SECONDS] [BOX_SECONDS]   (defaults: build, 30, 60)
#
# The command-line tool is started again each time it gives up, for SECONDS.
# The window (tessaro) runs idle for SECONDS; tessaro-flood-window (bench/)
# holds the window at the abort box of a failed "read all" for BOX_SECONDS, a
# nested event loop in which nothing reads the port. Every run logs into the
# same home folder, whose daily log growth is reported.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SECONDS_PER_RUN=${2:-30}
BOX_SECONDS=${3:-60}
CLI=$BUILD/bin/tessaro-cli
APP=$BUILD/bin/tessaro
HELD=$BUILD/bench/tessaro-flood-window
[ -x "$CLI" ] || { echo "build $CLI first" >&2; exit 2; }

WORK=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/home"

# Opens a pseudo-terminal, links it at $1 and writes SOH bytes into it for $3
# seconds: $2 bytes a second, or as fast as it goes when $2 is 0.
cat > "$WORK/flood.py" <<'PY'
import os, pty, sys, time, tty
link, rate, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
master, slave = pty.openpty()
tty.setraw(slave)  # no echo, no line editing before the tool opens it
os.symlink(os.ttyname(slave), link)
print("ready", flush=True)
end = time.monotonic() + seconds
sent = 0
if rate == 0:
    block = b"\x01" * 4096
    while time.monotonic() < end:
        sent += os.write(master, block)
else:
    chunk = max(1, rate // 40)  # every 25 ms
    start = time.monotonic()
    while time.monotonic() < end:
        sent += os.write(master, b"\x01" * chunk)
        wait = start + sent / rate - time.monotonic()
        if wait > 0:
            time.sleep(wait)
print("sent", sent, flush=True)
os.unlink(link)
PY

# The bytes in the daily log files of the runs.
logSize() {
    local total=0 f
    for f in "$WORK"/home/Log/*; do
        [ -f "$f" ] && total=$((total + $(stat -c %s "$f")))
    done
    echo "$total"
}

# measure NAME RATE FLOOD_SECONDS COMMAND...: floods a fresh terminal and runs
# COMMAND (@DEV@ stands for the terminal) against it until the flood ends:
# again when it exits early, stopped when the flood ends. Samples VmHWM and
# prints the largest peak.
measure() {
    local name=$1 rate=$2 seconds=$3
    shift 3
    local tag=${name//[^a-z0-9]/-}
    local link="$WORK/unit-$tag"
    python3 "$WORK/flood.py" "$link" "$rate" "$seconds" > "$WORK/flood-$tag.log" &
    local flooder=$!
    while ! grep -q ready "$WORK/flood-$tag.log" 2>/dev/null; do sleep 0.05; done
    local peak=0 runs=0 pid hwm command=("${@//@DEV@/$link}")
    local logBefore
    logBefore=$(logSize)
    while kill -0 "$flooder" 2>/dev/null; do
        # GNU time reports the peak resident size of runs too short to sample.
        QT_QPA_PLATFORM=offscreen /usr/bin/time -f %M -o "$WORK/time-$tag" "${command[@]}" >> "$WORK/out-$tag" 2>/dev/null &
        pid=$!
        runs=$((runs + 1))
        while kill -0 "$pid" 2>/dev/null; do
            for p in $(pgrep -P "$pid"); do
                hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$p/status" 2>/dev/null || true)
                [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak=$hwm
            done
            kill -0 "$flooder" 2>/dev/null || { pkill -P "$pid" 2>/dev/null || true; break; }
            sleep 0.2
        done
        wait "$pid" 2>/dev/null || true
        hwm=$(grep -E '^[0-9]+$' "$WORK/time-$tag" 2>/dev/null || true)
        [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak=$hwm
    done
    wait "$flooder" || true
    printf '%-32s peak %7d kB (%5.1f MB), %3d run(s), %s\n' "$name" "$peak" "$(echo "$peak/1024" | bc -l)" \
        "$runs" "$(grep sent "$WORK/flood-$tag.log" | tr '\n' ' ')"
    grep -h '^window' "$WORK/out-$tag" 2>/dev/null | sed 's/^/    /' || true
    local logAfter
    logAfter=$(logSize)
    printf '    daily log grew %d bytes (%.2f KB/s)\n' $((logAfter - logBefore)) \
        "$(echo "($logAfter - $logBefore) / 1024 / $seconds" | bc -l)"
}

cli=("$CLI" --home "$WORK/home" --timeout "$SECONDS_PER_RUN" --port @DEV@ read-all -)
app=("$APP" --home "$WORK/home" --port @DEV@)
held=("$HELD" @DEV@ "$BOX_SECONDS" "$WORK/home")

measure "cli, 960 B/s" 960 "$SECONDS_PER_RUN" "${cli[@]}"
measure "cli, full speed" 0 "$SECONDS_PER_RUN" "${cli[@]}"
if [ -x "$APP" ]; then
    measure "window idle, 960 B/s" 960 "$SECONDS_PER_RUN" "${app[@]}"
    measure "window idle, full speed" 0 "$SECONDS_PER_RUN" "${app[@]}"
fi
# The window at its abort box: the flood outlasts the reading and the box.
if [ -x "$HELD" ]; then
    measure "window at abort box, 960 B/s" 960 $((BOX_SECONDS + 30)) "${held[@]}"
    measure "window at abort box, full speed" 0 $((BOX_SECONDS + 30)) "${held[@]}"
fi
