#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the engine-free tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzzer for a bounded time. Every stage
# runs even when an earlier one failed; the script fails when any did.
# KOVALIS_BUILD_DIR (default build/) names the normal build; the other two go beside it with
# -asan and -fuzz appended. KOVALIS_FUZZ_SECONDS sets each fuzzer's time (default 45).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KOVALIS_BUILD_DIR:-$here/build}
seconds=${KOVALIS_FUZZ_SECONDS:-45}
KOVALIS_WITH_FUZZ=1 "$here/scripts/install-deps.sh"

failed=()
stage() {
    local name=$1
    shift
    echo "== $name"
    local start=$SECONDS
    if "$@"; then
        echo "== $name: passed in $((SECONDS - start)) s"
    else
        echo "== $name: FAILED after $((SECONDS - start)) s"
        failed+=("$name")
    fi
}

normal() {
    KOVALIS_BUILD_DIR=$build "$here/scripts/build.sh" &&
        (cd "$build" && ctest --output-on-failure --timeout 900 -j1)
}

sanitized() {
    cmake -S "$here" -B "$build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOVALIS_WITH_ENGINE=OFF \
        -DKOVALIS_SANITIZE=ON >/dev/null &&
        cmake --build "$build-asan" -j"$(nproc)" &&
        (cd "$build-asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
            UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure --timeout 900 -j1)
}

fuzzed() {
    cmake -S "$here" -B "$build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DKOVALIS_WITH_ENGINE=OFF -DKOVALIS_BUILD_TESTS=OFF -DKOVALIS_FUZZ=ON >/dev/null &&
        cmake --build "$build-fuzz" --target fuzzers -j"$(nproc)" &&
        "$here/scripts/fuzz.sh" "$build-fuzz" "$seconds"
}

stage "build and test" normal
stage "sanitizers (engine off)" sanitized
stage "fuzzers (${seconds} s each)" fuzzed

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "all passed"
