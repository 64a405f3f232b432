#!/usr/bin/env bash
# Installs what is missing, builds, and starts the browser. Arguments go to the browser.
# Started as root, the browser runs as the unprivileged user "kovalis" (made when missing), so the
# web engine's sandbox stays on: pages never run as root.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KOVALIS_BUILD_DIR:-$here/build}
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    echo "No display found: starting the browser on a virtual screen (Xvfb :99)."
    Xvfb :99 -screen 0 1280x800x24 >/dev/null 2>&1 &
    export DISPLAY=:99
    sleep 1
fi
if [ ! -e /dev/dri/renderD128 ]; then
    export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu}"
fi

if [ "$(id -u)" != 0 ]; then
    exec "$build/src/app/kovalis" "$@"
fi

user=kovalis
if ! id "$user" >/dev/null 2>&1; then
    groups=()
    for g in video render audio; do
        getent group "$g" >/dev/null && groups+=("$g")
    done
    useradd --create-home --user-group --shell /usr/sbin/nologin --comment "Kovalis browser" \
        ${groups:+--groups "$(IFS=,; echo "${groups[*]}")"} "$user"
    echo "Made the user \"$user\" to run the browser (pages never run as root)."
fi
home=$(getent passwd "$user" | cut -d: -f6)

# The program folder is the user's own (it keeps the favorites and search engines), and root's
# checkout may be closed to other users. A running copy is replaced by a rename, never rewritten.
program=$home/kovalis
install -d -o "$user" -g "$(id -gn "$user")" -m 0755 "$program"
for f in kovalis kovalis-browser; do
    if ! cmp -s "$build/src/app/$f" "$program/$f"; then
        install -o root -g root -m 0755 "$build/src/app/$f" "$program/.$f.new"
        mv -f "$program/.$f.new" "$program/$f"
    fi
done

if ! runuser -u "$user" -- unshare --user --map-root-user true 2>/dev/null; then
    echo "The kernel does not let \"$user\" make user namespaces, which the web engine's sandbox needs" \
        "(sysctl user.max_user_namespaces, kernel.unprivileged_userns_clone); not starting without it." >&2
    exit 1
fi

env=(HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/sh PATH=/usr/local/bin:/usr/bin:/bin
    LANG="${LANG:-C.UTF-8}")
for v in LC_ALL LC_CTYPE LANGUAGE DISPLAY QT_QPA_PLATFORM QT_IM_MODULE XMODIFIERS QTWEBENGINE_CHROMIUM_FLAGS \
    KOVALIS_UNATTENDED KOVALIS_TRACE; do
    [ -n "${!v:-}" ] && env+=("$v=${!v}")
done

# The display: root's X cookie for it, copied to the user.
if [ -n "${DISPLAY:-}" ] && command -v xauth >/dev/null; then
    cookie=$(xauth -f "${XAUTHORITY:-$HOME/.Xauthority}" nlist "$DISPLAY" 2>/dev/null || true)
    if [ -n "$cookie" ]; then
        printf '%s\n' "$cookie" | runuser -u "$user" -- xauth -f "$home/.Xauthority" nmerge - 2>/dev/null || true
        env+=(XAUTHORITY="$home/.Xauthority")
    fi
fi
# Wayland and sound: only the sockets themselves are opened to the user, nothing else of root's.
share_socket() { # PATH: lets the user reach one socket inside root's runtime folder
    command -v setfacl >/dev/null || return 1
    setfacl -m "u:$user:x" "$(dirname "$1")" "$(dirname "$(dirname "$1")")" 2>/dev/null &&
        setfacl -m "u:$user:rw" "$1" 2>/dev/null
}
runtime=${XDG_RUNTIME_DIR:-/run/user/0}
if [ -z "${DISPLAY:-}" ] && [ -n "${WAYLAND_DISPLAY:-}" ]; then
    socket=$WAYLAND_DISPLAY
    [ "${socket#/}" = "$socket" ] && socket=$runtime/$socket
    share_socket "$socket" && env+=(WAYLAND_DISPLAY="$socket")
fi
if [ -S "$runtime/pulse/native" ] && share_socket "$runtime/pulse/native"; then
    env+=(PULSE_SERVER="unix:$runtime/pulse/native")
fi

# Paths given relative to where root started are meant from there.
args=()
for a in "$@"; do
    [ -e "$a" ] && a=$(realpath -- "$a")
    args+=("$a")
done
cd "$home"
exec runuser -u "$user" -- env -i "${env[@]}" "$program/kovalis" "${args[@]}"
