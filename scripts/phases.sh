# Sourced by the build and test scripts: one line as each phase starts, and
# one as it ends with its wall time and the CPU time (user + system) of what
# it ran, so a run on a busy machine can be told from a slow one.
#   phase_start NAME    phase_end [NOTE]    all_end

# CPU seconds (user + system) of the script's finished children so far, in
# phases_cpu_now. `times` runs in this shell, not a subshell, so that it sees
# this shell's children.
phases_cpu_file="$(mktemp)"
phases_cpu() {
    times >"$phases_cpu_file"
    phases_cpu_now="$(tail -n 1 "$phases_cpu_file" | awk '{
        t = 0
        for (i = 1; i <= 2; i++) {
            split($i, p, "m"); sub("s", "", p[2]); t += p[1] * 60 + p[2]
        }
        printf "%d\n", t }')"
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
phases_cpu
phases_cpu0=$phases_cpu_now

phase_start() {
    phase_name="$1"
    phase_t0=$SECONDS
    phases_cpu
    phase_cpu0=$phases_cpu_now
    echo "=== $phase_name ..."
}

phase_end() {
    local note="${1:-}"
    phases_cpu
    local cpu=$((phases_cpu_now - phase_cpu0))
    echo "=== $phase_name: $(phases_span $((SECONDS - phase_t0))) (CPU $(phases_span "$cpu"))${note:+; $note}"
}

all_end() {
    phases_cpu
    local cpu=$((phases_cpu_now - phases_cpu0))
    rm -f "$phases_cpu_file"
    echo "=== all: $(phases_span $((SECONDS - phases_t0))) (CPU $(phases_span "$cpu")); load now: $(cut -d' ' -f1-3 /proc/loadavg)"
}

# Runs ctest in folder $1 with $2 jobs and sets `passed` and `failed` from its
# summary line; returns non-zero when a test failed or no summary came.
run_ctest_counted() {
    local dir="$1" jobs="$2" log rc line total
    log="$(mktemp)"
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs") 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    line="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)"
    rm -f "$log"
    passed=0
    failed=0
    if [ -n "$line" ]; then
        total="$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")"
        failed="$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")"
        passed=$((total - failed))
    fi
    [ "$rc" -eq 0 ] && [ -n "$line" ]
}
