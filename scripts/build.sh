#!/usr/bin/env bash
# Configures and builds Kovalis into build/ (or $KOVALIS_BUILD_DIR). Extra arguments go to CMake.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KOVALIS_BUILD_DIR:-$here/build}
launcher=()
if command -v ccache >/dev/null; then
    # Paths relative to the checkout's parent, so every checkout and root shares one cache.
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$here")}
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
