#!/usr/bin/env bash
# Installs what is missing, builds, and starts the browser. Arguments go to the browser.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
if [ "$(id -u)" = 0 ]; then
    # The web engine's sandbox cannot run as root.
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting the browser on a virtual screen (Xvfb :99)."
    Xvfb :99 -screen 0 1280x800x24 >/dev/null 2>&1 &
    export DISPLAY=:99
    sleep 1
fi
if [ ! -e /dev/dri/renderD128 ]; then
    export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu}"
fi
exec "$here/build/src/app/kovalis" "$@"
