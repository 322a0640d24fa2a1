#!/usr/bin/env bash
# run.sh <build dir> <seconds> [target...] - runs each fuzz target for that many seconds over a copy
# of its seed corpus in the build directory (the committed corpus is never written), one target
# after the other. Fails when any target found a crash, a leak or a broken check; the input that
# did it is kept as <build dir>/fuzz-artifacts/<target>-crash-*.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:?build dir}
seconds=${2:?seconds}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(cm_dispatch_fuzz cm_response_fuzz cm_alarm_fuzz trace_record_fuzz capsheet_fuzz)

failed=()
mkdir -p "$build/fuzz-artifacts"
for target in "${targets[@]}"; do
    binary="$build/fuzz/$target"
    [ -x "$binary" ] || { echo "== $target: not built"; failed+=("$target"); continue; }
    work="$build/fuzz-corpus/$target"
    rm -rf "$work"
    mkdir -p "$work"
    cp fuzz/corpus/"$target"/* "$work"/
    log="$build/fuzz-artifacts/$target.log"
    echo "== $target: ${seconds}s"
    if "$binary" -max_total_time="$seconds" -max_len=4096 -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" "$work" >"$log" 2>&1; then
        grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -1
        grep -E 'stat::number_of_executed_units' "$log"
    else
        tail -30 "$log"
        failed+=("$target")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz-run: failed: ${failed[*]}"
    exit 1
fi
