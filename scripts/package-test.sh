#!/usr/bin/env bash
# Tests the Debian package the way a user meets it, in a fresh root of the release it was built for
# (made with debootstrap, as scripts/test-on.sh makes its roots):
#   bash scripts/package-test.sh                    # builds the package here (scripts/package.sh), tests it
#   bash scripts/package-test.sh trixie             # builds it in a Debian 13 root of its own, tests it
#   bash scripts/package-test.sh RELEASE PACKAGE    # tests a package built before
# In a copy of a clean root: apt-get installs the package, a newly made user starts it on a virtual
# screen on a loopback page, and the script checks that the data land in that user's data folder,
# that nothing was written into /usr, that a second start and xdg-open hand over, that the
# renderer runs sandboxed, and that apt-get purge leaves no file of the package behind.
# Needs root. The clean root is kept in $KOVALIS_ROOTS (default /var/cache/kovalis/roots) as
# <release>-clean and made again when older than a day.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. /etc/os-release
release=${1:-$VERSION_CODENAME}
deb=${2:-}
if [ "$(id -u)" != 0 ]; then
    echo "package-test: must run as root (debootstrap, chroot and mounts)" >&2
    exit 2
fi
roots=${KOVALIS_ROOTS:-/var/cache/kovalis/roots}
mirror=${KOVALIS_MIRROR:-http://deb.debian.org/debian}
. "$here/scripts/lib/roots.sh"
ensure_debootstrap
mkdir -p "$roots"

# Builds the package inside a root of its own for the release, holding only what the build needs
# (as a build daemon would), kept between runs; the result goes to build-deb/<release>/.
build_in_root() {
    root=$roots/$release-package-build
    exec 7>"$root.lock"
    flock 7
    trap unmount_all EXIT
    unmount_leftovers
    healthy || make_root
    cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
    mount_system
    rm -rf "$root/kovalis/src"
    mkdir -p "$root/kovalis/src"
    (cd "$here" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
        tar --null -T - -cf -) | tar -xf - -C "$root/kovalis/src"
    in_root env KOVALIS_PACKAGE_DIR=/kovalis/deb bash /kovalis/src/scripts/package.sh
    unmount_all
    trap - EXIT
    flock -u 7
    mkdir -p "$here/build-deb/$release"
    deb=$(ls -t "$root"/kovalis/deb/kovalis_*.deb | head -1)
    cp "$deb" "$here/build-deb/$release/"
    deb=$here/build-deb/$release/$(basename "$deb")
}

if [ -z "$deb" ]; then
    if [ "$release" = "$VERSION_CODENAME" ]; then
        bash "$here/scripts/package.sh"
        deb=$(ls -t "$here"/build-deb/kovalis_*.deb | head -1)
    else
        build_in_root
    fi
fi
if [ ! -f "$deb" ]; then
    echo "package-test: no package $deb" >&2
    exit 2
fi
# The clean root is only ever copied, never changed.
root=$roots/$release-clean
(
    flock 9
    healthy || make_root
) 9>"$roots/$release-clean.lock"

exec 8>"$roots/$release-package.lock"
flock 8
clean=$root
root=$roots/$release-package
server=""
logs=$(dirname "$(readlink -f "$deb")")/package-test-$release
finish() {
    # What the programs inside said, for a look after a failure.
    rm -rf "$logs"
    [ -d "$root/kovalis-test" ] && mkdir -p "$logs" && cp "$root"/kovalis-test/*.log "$logs/" 2>/dev/null || true
    unmount_all
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    rm -rf --one-file-system "$root"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
unmount_leftovers
rm -rf --one-file-system "$root"
cp -a "$clean" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mount_system
# Downloaded packages stay for the next run; the root itself is thrown away.
mkdir -p "$roots/$release-archives" "$root/var/cache/apt/archives"
mount --bind "$roots/$release-archives" "$root/var/cache/apt/archives"
mounted+=("$root/var/cache/apt/archives")

mkdir -p "$root/kovalis-test"
cp "$deb" "$root/kovalis-test/"
cp "$here/scripts/lib/package-test-inside.sh" "$root/kovalis-test/inside.sh"

# The loopback page, served from outside the root: every request path goes to a log inside it.
python=$(command -v python3)
port_file=$root/kovalis-test/port
"$python" - "$root/kovalis-test/requests.log" "$port_file" <<'PY' &
import http.server, sys
log, port_file = sys.argv[1], sys.argv[2]
class Page(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log, "a") as f:
            f.write(self.path + "\n")
        body = b"<!doctype html><title>Kovalis package test</title><p>ok</p>"
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Page)
with open(port_file + ".new", "w") as f:
    f.write(str(server.server_port))
import os
os.rename(port_file + ".new", port_file)
server.serve_forever()
PY
server=$!
for _ in $(seq 100); do [ -s "$port_file" ] && break; sleep 0.1; done
port=$(cat "$port_file")

# A mount and PID namespace of its own whose root is the root folder itself (not a chroot, in which
# the kernel refuses the user namespaces the engine's sandbox makes); everything started inside
# ends with it.
echo "== testing $(basename "$deb") on $release"
unshare --mount --pid --fork --propagation private /bin/sh -eu -c '
    root=$1
    shift
    mount --rbind "$root" "$root"
    cd "$root"
    mkdir -p .host
    pivot_root . .host
    cd /
    mount -t proc proc /proc
    umount -l /.host
    rmdir /.host
    exec /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
' sh "$root" bash /kovalis-test/inside.sh "/kovalis-test/$(basename "$deb")" "$port"
