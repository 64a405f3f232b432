#!/usr/bin/env bash
# Runs every fuzzer of a fuzz build for a bounded time on its seed corpus and prints one line each:
#   fuzz <name> runs=<executions> seconds=<seconds> result=<ok|CRASH>
# Usage: scripts/fuzz.sh BUILD_DIR [SECONDS_EACH] [LOG_DIR]. Exits 1 when any fuzzer finds a crash,
# leaving the crashing input in LOG_DIR.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?fuzz build folder}
seconds=${2:-45}
logs=${3:-$build/fuzz-logs}
mkdir -p "$logs"
failed=0
for seeds in "$here"/fuzz/corpus/*/; do
    name=$(basename "$seeds")
    fuzzer="$build/fuzz/fuzz_$name"
    if [ ! -x "$fuzzer" ]; then
        echo "fuzz $name runs=0 seconds=0 result=MISSING"
        failed=1
        continue
    fi
    # New inputs go to a scratch folder; the seeds in the repository stay as they are.
    scratch=$(mktemp -d)
    dict=()
    [ -f "$here/fuzz/dict/$name.dict" ] && dict=(-dict="$here/fuzz/dict/$name.dict")
    start=$(date +%s)
    QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 \
        -print_final_stats=1 "${dict[@]}" -artifact_prefix="$logs/$name-" "$scratch" "$seeds" >"$logs/$name.log" 2>&1
    status=$?
    elapsed=$(( $(date +%s) - start ))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$name.log" | tail -n1)
    corpus=$(ls "$scratch" | wc -l)
    rm -rf "$scratch"
    if [ $status -eq 0 ]; then
        echo "fuzz $name runs=${runs:-0} seconds=$elapsed new_inputs=$corpus result=ok"
    else
        echo "fuzz $name runs=${runs:-0} seconds=$elapsed new_inputs=$corpus result=CRASH (see $logs/$name.log)"
        grep -m3 -E 'ERROR|invariant broken|runtime error' "$logs/$name.log" | sed 's/^/    /'
        failed=1
    fi
done
exit $failed
