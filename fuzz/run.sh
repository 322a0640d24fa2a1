#!/usr/bin/env bash
# run.sh <build dir> <seconds> [target...] - runs each fuzz target for that many seconds over a copy
# of its seed corpus in the build directory (the committed corpus is never written), FUZZ_JOBS
# targets at a time (default: one per core). Fails when any target found a crash, a leak or a
# broken check; the input that did it is kept as <build dir>/fuzz-artifacts/<target>-crash-*.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:?build dir}
seconds=${2:?seconds}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(cm_dispatch_fuzz cm_response_fuzz cm_alarm_fuzz trace_record_fuzz capsheet_fuzz)
jobs=${FUZZ_JOBS:-$(nproc)}
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"

# run_target <target>: one run over a fresh copy of the seeds; its log and status stay in artifacts.
run_target() {
    local target=$1 binary=$build/fuzz/$1 work=$build/fuzz-corpus/$1 status=0
    if [ -x "$binary" ]; then
        rm -rf "$work"
        mkdir -p "$work"
        cp fuzz/corpus/"$target"/* "$work"/
        "$binary" -max_total_time="$seconds" -max_len=4096 -timeout=20 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$work" \
            >"$artifacts/$target.log" 2>&1 || status=$?
    else
        echo "not built: $binary" >"$artifacts/$target.log"
        status=127
    fi
    echo "$status" >"$artifacts/$target.status"
}

echo "fuzz-run: ${#targets[@]} targets, ${seconds}s each, $jobs at a time"
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
    run_target "$target" &
done
wait

failed=()
for target in "${targets[@]}"; do
    log=$artifacts/$target.log
    if [ "$(cat "$artifacts/$target.status")" = 0 ]; then
        echo "== $target: $(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -1)"
        grep -E 'stat::number_of_executed_units' "$log"
    else
        echo "== $target: FAILED"
        tail -30 "$log"
        failed+=("$target")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz-run: failed: ${failed[*]}"
    exit 1
fi
