#!/usr/bin/env bash
# Lets the installed Chromium import a bookmarks.html the way it does on a first run, and prints the
# path of the Bookmarks file it wrote:
#   tests/history/chromium-import.sh bookmarks.html PROFILE_FOLDER
# The file must hold at least one bookmark: that is how the end of the import is seen.
# Chromium reads the file to import from its system-wide first-run preferences (/etc/chromium on
# Debian), so it runs in a mount namespace of its own where that folder is a fresh tmpfs holding ours;
# nothing outside changes. It never goes on the network: no page but about:blank, a dead proxy, a
# resolver that finds nothing, background services off.
# Exits 77 when it cannot run here (no Chromium, or no mount namespace), so callers can skip.
set -euo pipefail
html=$(realpath "${1:?usage: $0 BOOKMARKS_HTML PROFILE_FOLDER}")
profile=${2:?usage: $0 BOOKMARKS_HTML PROFILE_FOLDER}
wait_seconds=${KOVALIS_CHROMIUM_WAIT:-120}

# Debian's /usr/bin/chromium is a wrapper that adds flags of its own (extensions among them).
chromium=${KOVALIS_CHROMIUM:-}
if [ -z "$chromium" ]; then
    if [ -x /usr/lib/chromium/chromium ]; then
        chromium=/usr/lib/chromium/chromium
    else
        chromium=$(command -v chromium || command -v chromium-browser || true)
    fi
fi
if [ -z "$chromium" ] || [ ! -x "$chromium" ]; then
    echo "chromium-import: Chromium is not installed (KOVALIS_WITH_CHROMIUM=1 scripts/install-deps.sh)" >&2
    exit 77
fi
prefs_folder=/etc/chromium
if [ ! -d "$prefs_folder" ]; then
    echo "chromium-import: $prefs_folder is missing; this Chromium is not Debian's" >&2
    exit 77
fi
# Root makes the namespace directly; anyone else through a user namespace, as root inside it.
namespace=(unshare --mount)
[ "$(id -u)" = 0 ] || namespace=(unshare --user --map-root-user --mount)
if ! "${namespace[@]}" sh -c "mount -t tmpfs kovalis $prefs_folder" 2>/dev/null; then
    echo "chromium-import: cannot make a mount namespace here (${namespace[*]})" >&2
    exit 77
fi

rm -rf "$profile"
mkdir -p "$profile/home"
profile=$(realpath "$profile")
prefs=$profile/initial_preferences
# Only the import; no first-run questions, nothing that reaches out.
cat >"$prefs" <<EOF
{
  "distribution": {
    "import_bookmarks": false,
    "import_bookmarks_from_file": "$html",
    "make_chrome_default_for_user": false,
    "create_all_shortcuts": false
  },
  "browser": { "check_default_browser": false, "has_seen_welcome_page": true },
  "safebrowsing": { "enabled": false },
  "search": { "suggest_enabled": false },
  "net": { "network_prediction_options": 2 },
  "signin": { "allowed": false }
}
EOF

bookmarks=$profile/data/Default/Bookmarks
pid=
launch() {
    rm -rf "$profile/data" "$profile/home"
    mkdir -p "$profile/home"
    HOME=$profile/home XDG_CONFIG_HOME=$profile/home/.config XDG_CACHE_HOME=$profile/home/.cache \
        setsid "${namespace[@]}" sh -c '
            mount -t tmpfs kovalis "$1" && cp "$2" "$1/initial_preferences" && shift 2 && exec "$@"' sh \
        "$prefs_folder" "$prefs" \
        "$chromium" --headless --no-sandbox --user-data-dir="$profile/data" --force-first-run \
        --disable-background-networking --disable-component-update --disable-sync --disable-default-apps \
        --disable-extensions --disable-domain-reliability --disable-breakpad --no-pings \
        --no-default-browser-check --proxy-server=http://127.0.0.1:9 --host-resolver-rules='MAP * ~NOTFOUND' \
        about:blank >>"$profile/chromium.log" 2>&1 &
    pid=$!
}
stop() {
    [ -n "$pid" ] || return 0
    # The whole group Chromium made (its zygote and helpers) goes with it.
    kill -TERM -- "-$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
}
trap stop EXIT

fail() {
    echo "chromium-import: $1; the end of Chromium's log (without its D-Bus complaints):" >&2
    grep -v -e 'dbus/' "$profile/chromium.log" | tail -n 25 >&2 || true
    echo "chromium-import: $1" >&2
    exit 1
}

# The bookmark store is written once when it loads, empty, and again after the import; the file is
# replaced whole, never written in place. A Chromium that ends on its own before that, which a busy
# machine has been seen to cause once, gets one more try.
start=$SECONDS
for try in 1 2; do
    launch
    until [ -f "$bookmarks" ] && grep -q '"type": "url"' "$bookmarks"; do
        # Still running, and not only a process nobody has waited for yet.
        if ! kill -0 "$pid" 2>/dev/null || [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = Z ]; then
            wait "$pid" 2>/dev/null && status=0 || status=$?
            pid=
            [ "$try" = 2 ] && fail "Chromium ended (status $status) before it imported anything, twice"
            echo "chromium-import: Chromium ended (status $status) before it imported anything; trying again" >&2
            break
        fi
        [ $((SECONDS - start)) -lt "$wait_seconds" ] || fail "no bookmarks imported after $wait_seconds s"
        sleep 0.5
    done
    [ -n "$pid" ] && break
done
# A normal end writes whatever is still pending.
stop
trap - EXIT
echo "$bookmarks"
