#!/usr/bin/env bash
# Runs the fuzz targets built in the fuzz build folder, each for FUZZ_SECONDS (default 60), on a
# copy of its committed corpus in <build>/corpus/<target>, with its dictionary, leaks checked,
# 1 s per input and 256 MB at most. Prints per target the executions, the final cov/ft figures
# and whether it failed; crash inputs go to <build>/artifacts/, full logs to <build>/logs/.
# FUZZ_TARGETS="fen history" picks targets, FUZZ_JOBS=N runs N at once. Exits non-zero when any
# target found a crash, a leak, a timeout or an out-of-memory input, or did not run.
set -uo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-1}
all="fen gamefile history pgn language themes settings network netgame gamelist server"
targets=${FUZZ_TARGETS:-$all}
artifacts=$build/artifacts
logs=$build/logs
mkdir -p "$artifacts" "$logs"

run_one() {
    local target=$1
    local binary=$build/bin/fuzz_$target
    local corpus=$build/corpus/$target
    local log=$logs/$target.log
    local result=$logs/$target.result
    if [ ! -x "$binary" ]; then
        echo "fuzz_$target: FAILED (not built: $binary)" >"$result"
        return
    fi
    mkdir -p "$corpus"
    cp -n tests/fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    local dict=()
    [ -f "tests/fuzz/$target.dict" ] && dict=(-dict="tests/fuzz/$target.dict")
    # A small quarantine, so that freed memory held for use-after-free checks does not count
    # against the 256 MB. Qt's INI code has no frame pointers, so the fast unwinder records a new
    # garbage stack for nearly every allocation in it and ASan's store of allocation stacks grows
    # without end; those targets keep two frames of each (replay by hand for full stacks).
    local asan=detect_leaks=1:quarantine_size_mb=16
    case $target in
    themes | settings) asan+=:malloc_context_size=2 ;;
    esac
    ASAN_OPTIONS=${ASAN_OPTIONS:-$asan} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} \
        "$binary" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=256 -detect_leaks=1 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "${dict[@]}" "$corpus" \
        >"$log" 2>&1 &
    local pid=$!
    wait "$pid"
    local status=$?
    # The target's scratch folder, left behind when it stopped at a fault.
    rm -rf "/dev/shm/wintermoot-fuzz-$pid" "${TMPDIR:-/tmp}/wintermoot-fuzz-$pid"
    local stats executions cov ft verdict
    stats=$(grep -E '^#[0-9]+' "$log" | grep 'cov:' | tail -n 1)
    executions=$(grep -E '^stat::number_of_executed_units:' "$log" | awk '{print $2}')
    [ -z "$executions" ] && executions=$(sed -E 's/^#([0-9]+).*/\1/' <<<"$stats")
    cov=$(grep -oE 'cov: [0-9]+' <<<"$stats" | awk '{print $2}')
    ft=$(grep -oE 'ft: [0-9]+' <<<"$stats" | awk '{print $2}')
    if [ "$status" -eq 0 ]; then
        verdict=ok
    else
        local kind
        kind=$(grep -oE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer): [a-z-]+|runtime error|fuzz check failed' "$log" | head -n 1)
        verdict="FAILED (exit $status${kind:+: $kind}; see $log and $artifacts/$target-*)"
    fi
    printf 'fuzz_%-9s executions %9s  cov %6s  ft %7s  %s\n' "$target" "${executions:-?}" \
        "${cov:-?}" "${ft:-?}" "$verdict" >"$result"
}

for target in $targets; do
    rm -f "$logs/$target.result"
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n
    done
    echo "fuzzing fuzz_$target for ${seconds}s"
    run_one "$target" &
done
wait

failed=0
for target in $targets; do
    if [ -f "$logs/$target.result" ]; then
        cat "$logs/$target.result"
        grep -q ' ok$' "$logs/$target.result" || failed=1
    else
        echo "fuzz_$target: FAILED (no result)"
        failed=1
    fi
done
[ "$failed" -eq 0 ] && echo "fuzzing: no faults found" || echo "fuzzing: faults found"
exit "$failed"
