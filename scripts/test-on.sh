#!/usr/bin/env bash
# Builds and tests this checkout inside a root folder of another Debian release, made here with debootstrap:
#   bash scripts/test-on.sh trixie            # Debian 13: the whole CTest suite
#   bash scripts/test-on.sh forky             # Debian testing
#   bash scripts/test-on.sh trixie -- CMD...  # any other command in the checkout's copy (bench/run.sh, say)
# The root is kept in $KOVALIS_ROOTS (default /var/cache/kovalis/roots) and reused while it is younger than
# a day and still works; otherwise it is made again. Needs root. Runs on the same root wait for each other.
# KOVALIS_WITH_CHROMIUM=1 installs Chromium in the root too, for the bookmarks check (tst_chromium).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
release=${1:?"usage: $0 RELEASE [-- COMMAND...]"}
shift
[ "${1:-}" = -- ] && shift
mirror=${KOVALIS_MIRROR:-http://deb.debian.org/debian}
roots=${KOVALIS_ROOTS:-/var/cache/kovalis/roots}
root=$roots/$release
if [ "$(id -u)" != 0 ]; then
    echo "test-on: must run as root (debootstrap, chroot and mounts)" >&2
    exit 2
fi
# Each checkout builds in a folder of its own inside the root, so two checkouts can share one root.
work=/kovalis/$(printf '%s' "$here" | sha1sum | cut -c1-12)

. "$here/scripts/lib/roots.sh"
ensure_debootstrap

mkdir -p "$roots"
exec 9>"$roots/$release.lock"
flock 9

# Nothing stays mounted, however the script ends.
trap unmount_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
unmount_leftovers

start=$SECONDS
healthy || make_root
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mount_system

# The checkout as it stands, committed or not, without build folders. Unchanged files keep their
# times, so the build inside stays incremental.
rm -rf "$root$work/src.new"
mkdir -p "$root$work/src.new"
(cd "$here" && git ls-files -z --cached --others --exclude-standard |
    xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
    tar --null -T - -cf -) | tar -xf - -C "$root$work/src.new"
# A file whose content changed since the last copy is dated now: the last build inside may have ended
# after the edit, and would otherwise keep its old objects.
(cd "$root$work/src.new" && find . -type f -print0 |
    while IFS= read -r -d '' f; do cmp -s "$f" "../src/$f" || touch "$f"; done)
rm -rf "$root$work/src"
mv "$root$work/src.new" "$root$work/src"
echo "== root ready in $((SECONDS - start)) s"

if [ $# -gt 0 ]; then
    in_root bash -c 'cd "$1" && shift && "$@"' sh "$work/src" "$@"
    exit
fi

# The suite, as on the host: offscreen, as root with the engine's sandbox off.
in_root KOVALIS_WERROR="${KOVALIS_WERROR:-OFF}" KOVALIS_WITH_CHROMIUM="${KOVALIS_WITH_CHROMIUM:-0}" \
    bash -euo pipefail -c '
    work=$1
    . /etc/os-release
    echo "== release: $PRETTY_NAME"
    start=$SECONDS
    mkdir -p "$work/build"
    bash "$work/src/scripts/install-deps.sh" >"$work/build/install.log" 2>&1 ||
        { tail -30 "$work/build/install.log"; exit 1; }
    echo "== packages ready in $((SECONDS - start)) s"
    echo "== Qt: $(dpkg-query -W -f="\${Version}" qt6-webengine-dev 2>/dev/null) (qt6-webengine-dev)"
    start=$SECONDS
    KOVALIS_BUILD_DIR=$work/build bash "$work/src/scripts/build.sh" -DKOVALIS_WERROR="$KOVALIS_WERROR" \
        >"$work/build/build.log" 2>&1 || { tail -60 "$work/build/build.log"; exit 1; }
    grep -E "warning:" "$work/build/build.log" | sort -u || echo "== no compiler warnings"
    echo "== built in $((SECONDS - start)) s"
    echo "== engine: $(QT_QPA_PLATFORM=offscreen "$work/build/src/app/kovalis" --version | tr "\n" " ")"
    start=$SECONDS
    cd "$work/build"
    status=0
    ctest --output-on-failure --timeout 900 -j1 >ctest.log 2>&1 || status=$?
    # What failed, and where, without the passing lines.
    grep -E "tests passed|tests failed|Failed|\*\*\*|Not Run|Timeout|FAIL!|^   (Actual|Expected|Loc)" ctest.log || true
    [ $status = 0 ] || sed -n "/The following tests FAILED/,\$p" ctest.log
    echo "== tests ran in $((SECONDS - start)) s"
    exit $status
' sh "$work"
