#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the engine-free tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzzer for a bounded time. Every stage
# runs even when an earlier one failed; the script fails when any did.
# KOVALIS_BUILD_DIR (default build/) names the normal build; the other two go beside it with
# -asan and -fuzz appended. KOVALIS_FUZZ_SECONDS sets each fuzzer's time (default 30).
# Then the Debian package is built and tested in a fresh root (scripts/package-test.sh).
# Last, the whole suite again inside a root folder of each release in KOVALIS_RELEASES (default trixie,
# Debian 13; empty skips it) through scripts/test-on.sh, and the package test of each release in
# KOVALIS_PACKAGE_RELEASES (default none: it builds the package once more, which CI has no time for).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KOVALIS_BUILD_DIR:-$here/build}
seconds=${KOVALIS_FUZZ_SECONDS:-30}
releases=${KOVALIS_RELEASES-trixie}
package_releases=${KOVALIS_PACKAGE_RELEASES-}
# Chromium too, here and in the roots (tests/history/tst_chromium: an exported bookmarks.html read by
# Chromium's own import): half a minute to install and a few seconds to run; KOVALIS_WITH_CHROMIUM=0
# leaves it out.
export KOVALIS_WITH_CHROMIUM=${KOVALIS_WITH_CHROMIUM:-1}
KOVALIS_WITH_FUZZ=1 "$here/scripts/install-deps.sh"

launcher=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$here")}
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

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
        -DKOVALIS_SANITIZE=ON "${launcher[@]}" >/dev/null &&
        cmake --build "$build-asan" -j"$(nproc)" &&
        (cd "$build-asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
            UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure --timeout 900 -j1)
}

fuzzed() {
    cmake -S "$here" -B "$build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DKOVALIS_WITH_ENGINE=OFF -DKOVALIS_BUILD_TESTS=OFF -DKOVALIS_FUZZ=ON "${launcher[@]}" >/dev/null &&
        cmake --build "$build-fuzz" --target fuzzers -j"$(nproc)" &&
        "$here/scripts/fuzz.sh" "$build-fuzz" "$seconds"
}

stage "build and test" normal
stage "sanitizers (engine off)" sanitized
stage "fuzzers (${seconds} s each)" fuzzed
stage "package" bash "$here/scripts/package-test.sh"
for release in $releases; do
    stage "suite on $release" "$here/scripts/test-on.sh" "$release"
done
for release in $package_releases; do
    stage "package on $release" bash "$here/scripts/package-test.sh" "$release"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "all passed"
