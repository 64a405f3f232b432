# The package test's steps inside the fresh root (run by scripts/package-test.sh as root there):
#   inside.sh PACKAGE PORT
# The loopback page is http://127.0.0.1:PORT/<anything>; the paths it was asked for are in
# /kovalis-test/requests.log.
set -euo pipefail
deb=$1
port=$2
page=http://127.0.0.1:$port
requests=/kovalis-test/requests.log
export DEBIAN_FRONTEND=noninteractive
failures=0
pass() { echo "ok   $*"; }
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}
# Waits up to $1 seconds for the command after it to succeed.
within() {
    local seconds=$1
    shift
    local i
    for ((i = 0; i < seconds * 10; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
requested() { grep -qx "$1" "$requests" 2>/dev/null; }

echo "== $(. /etc/os-release && echo "$PRETTY_NAME")"
apt-get update -qq
if apt-get install -y -qq "$deb" >/kovalis-test/install.log 2>&1; then
    pass "apt-get install $(basename "$deb") ($(dpkg-query -W -f='${Version}' kovalis))"
else
    tail -20 /kovalis-test/install.log
    fail "apt-get install"
    exit 1
fi
# What the test itself needs: a virtual screen, the desktop's URL opener, pgrep.
apt-get install -y -qq --no-install-recommends xvfb xauth xdg-utils procps >/dev/null 2>&1

user=kovalis-tester
useradd --create-home --shell /bin/bash "$user"
home=/home/$user
uid=$(id -u "$user")

Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>/kovalis-test/display >/kovalis-test/xvfb.log 2>&1 &
within 20 test -s /kovalis-test/display || { fail "Xvfb did not start"; exit 1; }
display=:$(head -1 /kovalis-test/display)

# As the new user, in a plain session: no sandbox switch, only the virtual screen without GPU.
as_user() {
    setpriv --reuid="$user" --regid="$user" --init-groups --reset-env \
        env HOME="$home" USER="$user" LOGNAME="$user" LANG=C.UTF-8 PATH=/usr/local/bin:/usr/bin:/bin \
        DISPLAY="$display" QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu KOVALIS_UNATTENDED=1 "$@"
}

as_user mkdir -p "$home/.config"
touch /kovalis-test/before
cd "$home"
as_user kovalis "$page/first" >/kovalis-test/first.log 2>&1 &
first=$!
if within 60 requested /first; then pass "a new user's start opens the page"; else
    cat /kovalis-test/first.log
    fail "the first start never asked for its page"
    exit 1
fi

data=$home/.local/share/Kovalis
if within 20 test -f "$data/搜索.txt" && [ "$(stat -c %U "$data/搜索.txt")" = "$user" ]; then
    pass "data in the user's data folder ($data)"
else
    fail "no 搜索.txt of $user in $data"
fi
version=$(as_user kovalis --version)
if grep -qx "数据文件夹 Data folder: $data" <<<"$version"; then pass "kovalis --version names $data"; else
    fail "kovalis --version: $version"
fi

# The renderers: forked from the engine's sandboxed zygote (whose command line they keep), in PID
# namespaces of their own, none of them root, the renderer under a seccomp filter. Started with the
# sandbox off, the engine has no sandboxed zygote and passes --no-sandbox.
sandboxed=0
filtered=0
bad=""
check_renderers() {
    sandboxed=0
    filtered=0
    bad=""
    local p line
    for p in /proc/[0-9]*; do
        line=$(tr '\0' ' ' <"$p/cmdline" 2>/dev/null) || continue
        case $line in
        *QtWebEngineProcess*--no-sandbox*)
            bad="$bad ${p#/proc/}:no-sandbox"
            continue
            ;;
        *QtWebEngineProcess*--type=zygote*--no-zygote-sandbox*) continue ;;
        *QtWebEngineProcess*--type=zygote* | *QtWebEngineProcess*--type=renderer*) ;;
        *) continue ;;
        esac
        sandboxed=$((sandboxed + 1))
        [ "$(awk '/^Uid:/ { print $2 }' "$p/status")" != 0 ] || bad="$bad ${p#/proc/}:root"
        [ "$(readlink "$p/ns/pid")" != "$(readlink "/proc/$first/ns/pid")" ] || bad="$bad ${p#/proc/}:same-pid-namespace"
        [ "$(awk '/^Seccomp:/ { print $2 }' "$p/status")" != 2 ] || filtered=$((filtered + 1))
    done
    [ "$filtered" -gt 0 ]
}
within 20 check_renderers || true
if [ "$filtered" -gt 0 ] && [ -z "$bad" ]; then
    pass "renderer sandboxed: $sandboxed sandboxed engine processes, none root, own PID namespaces, $filtered under seccomp"
else
    fail "renderer not sandboxed: $sandboxed sandboxed engine processes, $filtered under seccomp;$bad"
    ps -eo pid,ppid,user,args | grep -i [w]ebengine | cut -c1-200
fi

if as_user kovalis "$page/second" >/kovalis-test/second.log 2>&1 && within 30 requested /second &&
    kill -0 "$first" 2>/dev/null; then
    pass "a second start hands over to the window already open"
else
    cat /kovalis-test/second.log
    fail "a second start did not hand over"
fi

browsers() { pgrep -c -u "$uid" -x kovalis-browser || true; }
if as_user xdg-settings set default-web-browser kovalis.desktop &&
    [ "$(as_user xdg-settings get default-web-browser)" = kovalis.desktop ] &&
    as_user xdg-open "$page/third" >/kovalis-test/xdg-open.log 2>&1 && within 30 requested /third &&
    within 10 test "$(browsers)" = 1; then
    pass "xdg-open with Kovalis as the default browser hands over"
else
    cat /kovalis-test/xdg-open.log
    fail "xdg-open did not hand the address to the open window ($(browsers) browsers)"
fi

written=$(find /usr -newer /kovalis-test/before -print 2>/dev/null | head -20)
if [ -z "$written" ]; then pass "nothing written into /usr"; else
    fail "written into /usr:"
    echo "$written"
fi

# Root is another user: an instance of its own in its own data folder.
QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu \
    KOVALIS_UNATTENDED=1 HOME=/root kovalis "$page/root" >/kovalis-test/root.log 2>&1 &
as_root=$!
if within 60 requested /root && kill -0 "$as_root" 2>/dev/null && within 20 test -f /root/.local/share/Kovalis/搜索.txt; then
    pass "root's start is an instance of its own with its data in /root/.local/share/Kovalis"
else
    cat /kovalis-test/root.log
    fail "root's start"
fi
# The engine itself, as root, may make an empty folder of its own among its files; say so.
find /usr -newer /kovalis-test/before -print 2>/dev/null | sed 's/^/note: made in \/usr while root ran the engine: /'
kill "$as_root" 2>/dev/null || true
within 20 sh -c "! kill -0 $as_root 2>/dev/null" || kill -9 "$as_root" 2>/dev/null || true

kill "$first" 2>/dev/null || true
within 20 sh -c "! kill -0 $first 2>/dev/null" || kill -9 "$first" 2>/dev/null || true
within 20 test "$(browsers)" = 0 || true

dpkg -L kovalis >/kovalis-test/files
apt-get purge -y -qq kovalis >/kovalis-test/purge.log 2>&1 || fail "apt-get purge kovalis"
left=()
while read -r f; do
    [ "$f" = /. ] && continue
    [ -e "$f" ] || [ -L "$f" ] || continue
    # A folder stays when another package owns it too.
    if [ -d "$f" ] && [ ! -L "$f" ] && dpkg -S "$f" >/dev/null 2>&1; then
        continue
    fi
    left+=("$f")
done </kovalis-test/files
left+=($(ls /var/lib/dpkg/info/kovalis.* 2>/dev/null || true))
if [ ${#left[@]} = 0 ]; then pass "apt-get purge kovalis leaves no file of the package"; else
    fail "left after purge: ${left[*]}"
fi

if [ "$failures" = 0 ]; then
    echo "== package test passed"
else
    echo "== package test: $failures failed"
    exit 1
fi
