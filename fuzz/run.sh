#!/usr/bin/env bash
# Runs each fuzz target for a while over its seed corpus. New inputs go to a scratch corpus in
# the build tree, never into fuzz/corpus/; a crash leaves its input in <build>/fuzz-artifacts/.
#   fuzz/run.sh [seconds per target, default 45] [build dir, default build-fuzz]
# The seed is fixed (FUZZ_SEED, default 1) so a run can be repeated; set another to explore.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
seconds=${1:-45}
build=${2:-$here/../build-fuzz}
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"

run() {
    local target=$1 corpus=$2 maxlen=$3
    local scratch=$build/fuzz-corpus/$corpus log=$build/fuzz-$1.log status=0
    mkdir -p "$scratch"
    echo "fuzz: $target for ${seconds}s"
    "$build/fuzz/$target" "$scratch" "$here/corpus/$corpus" \
        -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 -seed="${FUZZ_SEED:-1}" \
        -artifact_prefix="$artifacts/$target-" -print_final_stats=1 >"$log" 2>&1 || status=$?
    # The gist here, the whole run in the log.
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss|SUMMARY|artifact_prefix|==[0-9]+==)' \
        "$log" || true
    if [ "$status" -ne 0 ]; then
        echo "fuzz: $target failed ($status); see $log and $artifacts" >&2
        failed=1
    fi
}

failed=0
run fuzz_readings readings 20000
run fuzz_settings settings 4096
run fuzz_readings_file readings_file 4096
exit "$failed"
