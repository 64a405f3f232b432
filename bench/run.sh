#!/usr/bin/env bash
# Builds the program and the benchmarks (engine on, RelWithDebInfo) and runs every benchmark,
# printing one table. Usage: bash bench/run.sh [--runs N]   (BUILD_DIR overrides the build folder)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="$(realpath -m "${BUILD_DIR:-$root/build-bench}")"
KOVALIS_WITH_BENCH=1 bash "$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVALIS_WITH_ENGINE=ON \
    -DKOVALIS_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target kovalis kovalis_bench_baseline kovalis_bench_pages kovalis_bench_history -j"$(nproc)"

PYTHONDONTWRITEBYTECODE=1 exec python3 "$here/harness.py" \
    --kovalis "$build/src/app/kovalis" \
    --baseline "$build/bench/kovalis_bench_baseline" \
    --pages "$build/bench/kovalis_bench_pages" \
    --history "$build/bench/kovalis_bench_history" "$@"
