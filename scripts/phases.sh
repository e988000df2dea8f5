# Sourced by the build and test scripts: one line as each phase starts, and
# one as it ends with its wall time and the CPU time (user + system) of what
# it ran, so a run on a busy machine can be told from a slow one.
#   phase_start NAME    phase_end [NOTE]    all_end

# CPU seconds (user + system) of the script's finished children so far.
phases_cpu() {
    times | tail -n 1 | awk '{
        t = 0
        for (i = 1; i <= 2; i++) {
            split($i, p, "m"); sub("s", "", p[2]); t += p[1] * 60 + p[2]
        }
        printf "%d\n", t }'
}

phases_span() {
    local s="$1"
    if [ "$s" -ge 60 ]; then
        echo "$((s / 60)) min $((s % 60)) s"
    else
        echo "$s s"
    fi
}

phases_t0=$SECONDS
phases_cpu0="$(phases_cpu)"

phase_start() {
    phase_name="$1"
    phase_t0=$SECONDS
    phase_cpu0="$(phases_cpu)"
    echo "=== $phase_name ..."
}

phase_end() {
    local note="${1:-}"
    local cpu=$(($(phases_cpu) - phase_cpu0))
    echo "=== $phase_name: $(phases_span $((SECONDS - phase_t0))) (CPU $(phases_span "$cpu"))${note:+; $note}"
}

all_end() {
    local cpu=$(($(phases_cpu) - phases_cpu0))
    echo "=== all: $(phases_span $((SECONDS - phases_t0))) (CPU $(phases_span "$cpu")); load now: $(cut -d' ' -f1-3 /proc/loadavg)"
}
